// Check digits made from the remainder of a weighted sum. A MOD 11 digit is
// either the remainder r itself or its complement 11 - r; each issuer writes
// the values no digit can hold (10, and 11 for the complement) its own way,
// or issues no number that needs them. A MOD 10 digit is the complement
// 10 - r, with 10 written 0.
#pragma once

namespace cobalis::algorithms {

namespace mod11 {

// The check of a remainder no number is issued with: a value no digit has.
inline constexpr unsigned NOT_ISSUED = 10;

// The remainder r of `sum` modulo 11 as the check, 10 written `ten`.
constexpr unsigned remainder_digit(unsigned sum, unsigned ten) noexcept {
    const unsigned r = sum % 11;
    return r == 10 ? ten : r;
}

// 11 - r as the check, for the remainder r of `sum` modulo 11: 10 (r = 1)
// written `ten`, 11 (r = 0) written `eleven`.
constexpr unsigned complement_digit(unsigned sum, unsigned ten, unsigned eleven) noexcept {
    const unsigned r = sum % 11;
    return r == 0 ? eleven : r == 1 ? ten : 11 - r;
}

static_assert(remainder_digit(21, 0) == 0 && remainder_digit(33, 0) == 0 && remainder_digit(25, 0) == 3);
static_assert(remainder_digit(21, NOT_ISSUED) == NOT_ISSUED && remainder_digit(11, NOT_ISSUED) == 0);
static_assert(complement_digit(22, 1, 0) == 0 && complement_digit(23, 1, 0) == 1 && complement_digit(24, 1, 0) == 9);
static_assert(complement_digit(12, NOT_ISSUED, 0) == NOT_ISSUED && complement_digit(31, 0, 1) == 2);

}  // namespace mod11

namespace mod10 {

// 10 - r as the check, for the remainder r of `sum` modulo 10, 10 written 0.
constexpr unsigned complement_digit(unsigned sum) noexcept { return (10 - sum % 10) % 10; }

static_assert(complement_digit(0) == 0 && complement_digit(67) == 3 && complement_digit(70) == 0);

}  // namespace mod10

}  // namespace cobalis::algorithms
