// European Article Numbers / GTIN: EAN-8 and EAN-13, GS1 modulus 10.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/algorithms/check_digits.hpp"
#include "core/kernels/digit_sums.hpp"
#include "core/types.hpp"

namespace cobalis::validators::ean {

// GS1 weights count from the check digit leftwards: 1, 3, 1, 3, ... A digit
// at zero-based position i of n has weight 3 when n - i is even. `digits`
// holds ASCII digits only.
constexpr unsigned gs1_sum(std::string_view digits) noexcept {
    return kernels::sum_from_right<kernels::DigitSum::Gs1>(digits);
}

constexpr bool gs1_check(std::string_view digits) noexcept { return gs1_sum(digits) % 10 == 0; }

// The check digit that completes `payload` (the number without it).
constexpr char gs1_check_digit(std::string_view payload) noexcept {
    // Behind one more digit every weight flips: 1 <-> 3, so the weighted sum
    // of the full number is 4 * (plain sum) - (payload's own weighted sum).
    unsigned plain = 0;
    for (char c : payload) plain += static_cast<unsigned>(c - '0');
    const unsigned sum = 4 * plain - gs1_sum(payload);
    return static_cast<char>('0' + algorithms::mod10::complement_digit(sum));
}

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::ean
