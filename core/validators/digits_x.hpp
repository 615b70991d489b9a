// Numbers written in digits with a final check character that may be "X"
// (ISBN-10, ISSN): the normaliser that keeps only digits and X, and the
// modulus-11 sum with weights falling to 1 at the check character.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/types.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators {

// Whether a full stop is a separator (ISBN) or an unaccepted byte (ISSN).
enum class FullStop : bool { Separator, Rejected };

// Drops tab, space, hyphen-minus (and the full stop when it is a separator),
// keeps digits and stores "x" as "X". Answers false at the first byte that is
// neither, or when a kept byte would be the 255th; each kind names its own
// error code for both.
template <FullStop full_stop>
constexpr bool normalise_digits_x(std::string_view input, InlineString& out) noexcept {
    char* const buffer = out.raw();
    std::size_t n = 0;
    for (char c : input) {
        if (c == '\t' || c == ' ' || c == '-' || (full_stop == FullStop::Separator && c == '.')) continue;
        if (c == 'x') {
            c = 'X';
        } else if (!is_digit(c) && c != 'X') {
            return false;
        }
        if (n == InlineString::CAPACITY) return false;
        buffer[n++] = c;
    }
    out.commit(n);
    return true;
}

inline constexpr unsigned X_VALUE = 10;

struct DescendingSums {
    unsigned plain;     // the values added up
    unsigned weighted;  // each value times its weight
};

// The weights run from the length of `text` down to 1 at the last character;
// "X" counts 10. Kept as a running total of running totals, so the loop has
// no multiplication and no division.
constexpr DescendingSums descending_sums(std::string_view text) noexcept {
    DescendingSums sums{0, 0};
    for (char c : text) {
        sums.plain += c == 'X' ? X_VALUE : digit_value(c);
        sums.weighted += sums.plain;
    }
    return sums;
}

// Digits followed by a check character (digit or upper-case "X") whose
// weighted sum divides by 11. `text` is not empty.
constexpr bool mod11_check(std::string_view text) noexcept {
    const char check = text.back();
    return all_digits(text.substr(0, text.size() - 1)) && (is_digit(check) || check == 'X') &&
           descending_sums(text).weighted % 11 == 0;
}

// The check character that completes the digits of `payload`.
constexpr char mod11_check_character(std::string_view payload) noexcept {
    // One more character raises every weight by one, which adds the plain sum.
    const DescendingSums sums = descending_sums(payload);
    const unsigned value = (11 - (sums.weighted + sums.plain) % 11) % 11;
    return value == X_VALUE ? 'X' : static_cast<char>('0' + value);
}

}  // namespace cobalis::validators
