// ISO 7064 MOD 11,10, the hybrid system of the German and Croatian tax
// numbers: a running product P in 1..10, 10 at the start, meets each digit d
// in turn as S = (P + d) mod 10, 0 read as 10, and P = 2S mod 11; with the
// check digit as the last one, the final S is 1, so the final P is 2.
//
// For each digit, and for each pair of digits, a step is a permutation of
// the ten products, packed into one word: six bits a product, each field
// holding the bit offset of the next product's field. A step is then a
// shift and a mask rather than two divisions, and the chain of steps is
// half as long when they are taken two digits at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/algorithms/decimal.hpp"

namespace cobalis::algorithms::mod11_10 {

namespace detail {
inline constexpr unsigned FIELD_BITS = 6;
inline constexpr unsigned FIELD_MASK = (1U << FIELD_BITS) - 1;

constexpr unsigned field_of(unsigned product) noexcept { return (product - 1) * FIELD_BITS; }

constexpr unsigned step(unsigned product, unsigned digit) noexcept {
    const unsigned sum = (product + digit) % 10;
    return (sum == 0 ? 10 : sum) * 2 % 11;
}

// Entry n steps through the digits of n, one digit or two.
template <std::size_t DIGITS>
constexpr auto make_steps() noexcept {
    constexpr std::size_t ENTRIES = DIGITS == 1 ? 10 : 100;
    std::array<std::uint64_t, ENTRIES> steps{};
    for (unsigned n = 0; n < ENTRIES; ++n) {
        for (unsigned product = 1; product <= 10; ++product) {
            const unsigned after = DIGITS == 1 ? step(product, n) : step(step(product, n / 10), n % 10);
            steps[n] |= std::uint64_t{field_of(after)} << field_of(product);
        }
    }
    return steps;
}
inline constexpr auto ONE_DIGIT = make_steps<1>();
inline constexpr auto TWO_DIGITS = make_steps<2>();

constexpr unsigned next(unsigned field, std::uint64_t step) noexcept {
    return static_cast<unsigned>(step >> field) & FIELD_MASK;
}
}  // namespace detail

// Whether a run of digits, its check digit last, passes; the caller has
// checked that they are digits.
constexpr bool passes(std::string_view digits) noexcept {
    unsigned field = detail::field_of(10);
    std::size_t i = digits.size() % 2;
    if (i == 1) field = detail::next(field, detail::ONE_DIGIT[digit_value(digits[0])]);
    for (; i < digits.size(); i += 2) {
        field = detail::next(field, detail::TWO_DIGITS[two_digits_at(digits, i)]);
    }
    return field == detail::field_of(2);
}

static_assert(passes("794623") && passes("002006673085") && passes("136695976"));
static_assert(!passes("794624") && !passes("136695977"));

}  // namespace cobalis::algorithms::mod11_10
