// Check digits made from the remainder of a weighted sum. A MOD 11 digit is
// either the remainder r itself or its complement 11 - r; each issuer writes
// the values no digit can hold (10, and 11 for the complement) its own way,
// or issues no number that needs them. A MOD 10 digit is the complement
// 10 - r, with 10 written 0.
#pragma once

#include <array>
#include <cstdint>

namespace cobalis::algorithms {

namespace mod11 {

// The check of a remainder no number is issued with: a value no digit has.
inline constexpr unsigned NOT_ISSUED = 10;

namespace detail {
// The check of each remainder 0..10. A table rather than comparisons: the
// remainder of a mistyped number is anyone's guess, and compilers make the
// comparisons branches that would be mispredicted.
template <unsigned Ten>
constexpr std::array<std::uint8_t, 11> make_remainder_digits() noexcept {
    std::array<std::uint8_t, 11> digits{};
    for (unsigned r = 0; r < 11; ++r) digits[r] = static_cast<std::uint8_t>(r == 10 ? Ten : r);
    return digits;
}
template <unsigned Ten, unsigned Eleven>
constexpr std::array<std::uint8_t, 11> make_complement_digits() noexcept {
    std::array<std::uint8_t, 11> digits{};
    for (unsigned r = 0; r < 11; ++r) digits[r] = static_cast<std::uint8_t>(r == 0 ? Eleven : r == 1 ? Ten : 11 - r);
    return digits;
}
template <unsigned Ten>
inline constexpr auto REMAINDER_DIGITS = make_remainder_digits<Ten>();
template <unsigned Ten, unsigned Eleven>
inline constexpr auto COMPLEMENT_DIGITS = make_complement_digits<Ten, Eleven>();
}  // namespace detail

// The remainder r of `sum` modulo 11 as the check, 10 written `Ten`.
template <unsigned Ten>
constexpr unsigned remainder_digit(unsigned sum) noexcept {
    if constexpr (Ten == NOT_ISSUED) {
        return sum % 11;
    } else {
        return detail::REMAINDER_DIGITS<Ten>[sum % 11];
    }
}

// 11 - r as the check, for the remainder r of `sum` modulo 11: 10 (r = 1)
// written `Ten`, 11 (r = 0) written `Eleven`.
template <unsigned Ten, unsigned Eleven>
constexpr unsigned complement_digit(unsigned sum) noexcept {
    return detail::COMPLEMENT_DIGITS<Ten, Eleven>[sum % 11];
}

static_assert(remainder_digit<0>(21) == 0 && remainder_digit<0>(33) == 0 && remainder_digit<0>(25) == 3);
static_assert(remainder_digit<NOT_ISSUED>(21) == NOT_ISSUED && remainder_digit<NOT_ISSUED>(11) == 0);
static_assert(complement_digit<1, 0>(22) == 0 && complement_digit<1, 0>(23) == 1 && complement_digit<1, 0>(24) == 9);
static_assert(complement_digit<NOT_ISSUED, 0>(12) == NOT_ISSUED && complement_digit<0, 1>(31) == 2);
static_assert(complement_digit<0, 1>(33) == 1 && complement_digit<0, NOT_ISSUED>(33) == NOT_ISSUED);

}  // namespace mod11

namespace mod10 {

// 10 - r as the check, for the remainder r of `sum` modulo 10, 10 written 0.
constexpr unsigned complement_digit(unsigned sum) noexcept { return (10 - sum % 10) % 10; }

static_assert(complement_digit(0) == 0 && complement_digit(67) == 3 && complement_digit(70) == 0);

}  // namespace mod10

}  // namespace cobalis::algorithms
