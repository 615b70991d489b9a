// Weighted digit sums, the arithmetic under most national check digits: each
// digit times the weight of its place, the sum then taken modulo 10, 11, 23,
// 37, 89 or 97 by the rule that owns it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "core/algorithms/decimal.hpp"

namespace cobalis::algorithms {

// The sum of the first N digits, each times its weight; the caller has
// checked that at least N digits are there.
template <std::size_t N>
constexpr unsigned weighted_sum(std::string_view digits, const std::array<unsigned, N>& weights) noexcept {
    unsigned even = 0;  // two running sums, so that each addition need not wait on the one before
    unsigned odd = 0;
    for (std::size_t i = 0; i + 1 < N; i += 2) {
        even += weights[i] * digit_value(digits[i]);
        odd += weights[i + 1] * digit_value(digits[i + 1]);
    }
    if constexpr (N % 2 == 1) even += weights[N - 1] * digit_value(digits[N - 1]);
    return even + odd;
}

// `Count` weights from the one at `First`: the part of a row of weights that
// a shorter field takes.
template <std::size_t First, std::size_t Count, std::size_t N>
constexpr std::array<unsigned, Count> weights_from(const std::array<unsigned, N>& weights) noexcept {
    static_assert(First + Count <= N);
    std::array<unsigned, Count> part{};
    for (std::size_t i = 0; i < Count; ++i) part[i] = weights[First + i];
    return part;
}

// The place values 10^k modulo M of a run of N digits, the leftmost first:
// the digits weighted by them leave the number's remainder modulo M, summed
// side by side rather than in a chain of multiplications by ten.
template <unsigned M, std::size_t N>
constexpr std::array<unsigned, N> place_values_modulo() noexcept {
    std::array<unsigned, N> values{};
    unsigned value = 1;
    for (std::size_t i = N; i-- > 0;) {
        values[i] = value;
        value = value * 10 % M;
    }
    return values;
}

// The place values 10^k themselves, for a run short enough that the number
// fits the sum: the digits weighted by them sum to the number.
template <std::size_t N>
constexpr std::array<unsigned, N> place_values() noexcept {
    static_assert(N <= 9, "ten nines overflow the sum");
    std::array<unsigned, N> values{};
    for (std::size_t i = 0; i < N; ++i) values[i] = static_cast<unsigned>(power_of_ten(N - 1 - i));
    return values;
}

static_assert(weighted_sum("854512123", place_values_modulo<11, 9>()) % 11 == 854512123 % 11);
static_assert(weighted_sum("99999999", place_values_modulo<23, 8>()) % 23 == 99999999 % 23);
static_assert(weighted_sum("999999999", place_values<9>()) == 999'999'999);
static_assert(weighted_sum("0421", place_values<3>()) == 42);
static_assert(weighted_sum("1234", std::array<unsigned, 3>{3, 2, 1}) == 10);
static_assert(weights_from<2, 3>(std::array<unsigned, 6>{1, 2, 4, 8, 5, 10}) == std::array<unsigned, 3>{4, 8, 5});

}  // namespace cobalis::algorithms
