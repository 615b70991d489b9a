// Numbers written in decimal digits: a digit's value, the number a run of
// digits writes, and powers of ten. The readers trust their caller to have
// checked that every byte they read is a digit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cobalis::algorithms {

constexpr unsigned digit_value(char c) noexcept { return static_cast<unsigned>(c - '0'); }

// 10^n, for n up to 19.
constexpr std::uint64_t power_of_ten(std::size_t n) noexcept {
    std::uint64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

// The number a run of at most 19 digits writes.
constexpr std::uint64_t number_of(std::string_view digits) noexcept {
    std::uint64_t n = 0;
    for (char c : digits) n = n * 10 + digit_value(c);
    return n;
}

// The two-digit number at `position`: a day, a month, a year of a century,
// a pair of check digits.
constexpr unsigned two_digits_at(std::string_view digits, std::size_t position = 0) noexcept {
    return 10 * digit_value(digits[position]) + digit_value(digits[position + 1]);
}

static_assert(digit_value('0') == 0 && digit_value('9') == 9);
static_assert(power_of_ten(0) == 1 && power_of_ten(6) == 1'000'000 && power_of_ten(19) == 10'000'000'000'000'000'000U);
static_assert(number_of("") == 0 && number_of("007") == 7 && number_of("9999999999999999999") == power_of_ten(19) - 1);
static_assert(two_digits_at("1903") == 19 && two_digits_at("1903", 2) == 3);

}  // namespace cobalis::algorithms
