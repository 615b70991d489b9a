#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::gr {

// Nine digits (prefix GR or EL); the first eight are weighted by the powers
// of two from 256 down to 2, and the last is the sum's remainder modulo 11,
// a remainder of 10 giving 0.
bool is_valid(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{256, 128, 64, 32, 16, 8, 4, 2};
    if (!digits_of_length(national, 9)) return false;
    return digit_value(national[8]) == mod11::remainder_digit<0>(weighted_sum(national, WEIGHTS));
}

// The shape rule already holds the check.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::gr
