// CUSIP numbers, the North American numbers for securities: eight
// characters and a check digit. A character counts as its digit, a letter as
// 10 (A) to 35 (Z), and *, @ and # as 36, 37 and 38; every second value, from
// the second, is doubled; the decimal digits of the eight values and the check
// digit sum to a multiple of ten.
#pragma once

#include <cstddef>
#include <string_view>

namespace cobalis::algorithms::cusip {

inline constexpr std::size_t LENGTH = 9;
inline constexpr unsigned NOT_A_CHARACTER = 99;

constexpr unsigned value_of(char c) noexcept {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A') + 10;
    if (c == '*') return 36;
    if (c == '@') return 37;
    if (c == '#') return 38;
    return NOT_A_CHARACTER;
}

// Whether the nine bytes of `s` are a CUSIP: eight characters of its
// alphabet and the check digit they imply.
constexpr bool is_valid(std::string_view s) noexcept {
    if (s.size() != LENGTH || s[LENGTH - 1] < '0' || s[LENGTH - 1] > '9') return false;
    unsigned sum = static_cast<unsigned>(s[LENGTH - 1] - '0');
    for (std::size_t i = 0; i + 1 < LENGTH; ++i) {
        unsigned value = value_of(s[i]);
        if (value == NOT_A_CHARACTER) return false;
        if (i % 2 == 1) value *= 2;  // at most 76: two decimal digits
        sum += value / 10 + value % 10;
    }
    return sum % 10 == 0;
}

static_assert(is_valid("037833100") && is_valid("38259P508") && is_valid("91324PAE2") && is_valid("DUS0421C5"));
static_assert(!is_valid("037833109") && !is_valid("307833100") && !is_valid("DUS0421CN") && !is_valid("37833100"));
static_assert(!is_valid("0378331!0") && !is_valid("38259p508"));

}  // namespace cobalis::algorithms::cusip
