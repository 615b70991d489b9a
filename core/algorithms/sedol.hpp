// SEDOL codes, the London Stock Exchange's numbers for securities: six
// characters and a check digit. Those issued before 2004 are all digits;
// later ones start with a letter, and no SEDOL holds a vowel. A letter counts
// as 10 (A) to 35 (Z); weighted 1, 3, 1, 7, 3, 9, 1, the seven characters sum
// to a multiple of ten.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace cobalis::algorithms::sedol {

inline constexpr std::size_t LENGTH = 7;
inline constexpr std::array<unsigned, LENGTH> WEIGHTS{1, 3, 1, 7, 3, 9, 1};

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_consonant(char c) noexcept {
    return c >= 'B' && c <= 'Z' && c != 'E' && c != 'I' && c != 'O' && c != 'U';
}

// Whether the seven bytes of `s` are a SEDOL: upper-case consonants and
// digits, all digits when the first is, the last a digit, and the weighted sum
// a multiple of ten.
constexpr bool is_valid(std::string_view s) noexcept {
    if (s.size() != LENGTH || !is_digit(s[LENGTH - 1])) return false;
    const bool old_style = is_digit(s[0]);
    unsigned sum = 0;
    for (std::size_t i = 0; i < LENGTH; ++i) {
        const char c = s[i];
        unsigned value = 0;
        if (is_digit(c)) {
            value = static_cast<unsigned>(c - '0');
        } else if (is_consonant(c) && !old_style) {
            value = static_cast<unsigned>(c - 'A') + 10;
        } else {
            return false;
        }
        sum += WEIGHTS[i] * value;
    }
    return sum % 10 == 0;
}

static_assert(is_valid("0263494") && is_valid("B0YBKJ7") && is_valid("B15KXQ8"));
static_assert(!is_valid("0263495") && !is_valid("B15KXQ7") && !is_valid("0236494"));
// No vowels, no letters after a leading digit, no lower case, seven bytes.
static_assert(!is_valid("B15KXA8") && !is_valid("0B00000") && !is_valid("b15kxq8") && !is_valid("026349"));

}  // namespace cobalis::algorithms::sedol
