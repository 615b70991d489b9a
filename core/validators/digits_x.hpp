// Numbers written in digits with a final check character that may be "X"
// (ISBN-10, ISSN): their normal form, and the modulus-11 sum with weights
// falling to 1 at the check character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/algorithms/check_digits.hpp"
#include "core/kernels/digit_strings.hpp"
#include "core/kernels/separators.hpp"
#include "core/types.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators {

using kernels::FullStops;

// The normal form of a text already known to hold only digits, X or x and
// separators (core/kernels/digit_strings.hpp), and to fit: separators
// dropped, x stored as X, by the shared normaliser.
template <FullStops full_stops>
constexpr void keep_digits_x(std::string_view input, InlineString& out) noexcept {
    out.commit(kernels::drop_separators<kernels::FoldUpper, kernels::DigitSeparators<full_stops>>(
        input, out.raw(), InlineString::CAPACITY));
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
    const unsigned value = algorithms::mod11::complement_digit<X_VALUE, 0>(sums.weighted + sums.plain);
    return value == X_VALUE ? 'X' : static_cast<char>('0' + value);
}

}  // namespace cobalis::validators
