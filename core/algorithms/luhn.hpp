// Luhn (ISO/IEC 7812-1 mod 10): from the check digit leftwards, every second
// digit is doubled and its digit sum taken; the total must divide by ten.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/algorithms/check_digits.hpp"
#include "core/kernels/digit_sums.hpp"

namespace cobalis::algorithms::luhn {

// The most digits validate_str gathers; a 65th digit fails the check.
inline constexpr std::size_t MAX_DIGITS = 64;

// The digit sum of 2v (2v - 9 above 4). Defined for any byte value so that
// generation never fails on text that is not digits.
constexpr unsigned doubled(unsigned v) noexcept { return v > 4 ? 2 * v - 9 : 2 * v; }

// The digit sum of every doubled digit 0..9.
inline constexpr std::array<std::uint8_t, 10> DOUBLED{0, 2, 4, 6, 8, 1, 3, 5, 7, 9};

// The Luhn sum of a string of ASCII digits whose last digit is the check
// digit.
constexpr unsigned checksum(std::string_view digits) noexcept {
    return kernels::sum_from_right<kernels::DigitSum::Luhn>(digits);
}

static_assert(checksum("79927398713") % 10 == 0 && checksum("4111111111111111") % 10 == 0);
static_assert(checksum("0") == 0 && checksum("5") == 5 && checksum("50") == 1);

// Spaces and hyphens are skipped anywhere; any other non-digit fails.
constexpr bool validate_str(std::string_view input) noexcept {
    std::array<char, MAX_DIGITS> digits{};
    std::size_t count = 0;
    for (char c : input) {
        if (c == ' ' || c == '-') continue;
        if (c < '0' || c > '9') return false;
        if (count == MAX_DIGITS) return false;
        digits[count++] = c;
    }
    if (count == 0) return false;
    return checksum({digits.data(), count}) % 10 == 0;
}

// The check digit to append to `payload`. Spaces and hyphens are skipped, as
// validate_str skips them, so a grouped payload round-trips; any other byte
// counts as (byte - '0') mod 256, so any text yields a digit 0..9.
constexpr std::uint8_t generate_str(std::string_view payload) noexcept {
    std::uint64_t sum = 0;  // at most 501 per byte: no input is long enough to overflow it
    bool double_it = true;  // the rightmost payload digit sits next to the check digit
    for (std::size_t i = payload.size(); i-- > 0;) {
        if (payload[i] == ' ' || payload[i] == '-') continue;
        const unsigned v = static_cast<std::uint8_t>(payload[i] - '0');
        sum += double_it ? doubled(v) : v;
        double_it = !double_it;
    }
    return static_cast<std::uint8_t>(mod10::complement_digit(static_cast<unsigned>(sum % 10)));
}

static_assert(generate_str("7992-7398-71") == 3 && generate_str("7992 7398 71") == 3 && generate_str("- ") == 0);

}  // namespace cobalis::algorithms::luhn
