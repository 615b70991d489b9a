#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::pt {

// Nine digits (the NIF), the first eight weighted 9 down to 2; the check is
// 11 minus the remainder modulo 11, and 0 for the remainders 0 and 1.
bool is_valid(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{9, 8, 7, 6, 5, 4, 3, 2};
    if (!digits_of_length(national, 9)) return false;
    const unsigned r = weighted_sum(national, WEIGHTS) % 11;
    return digit_value(national[8]) == (r < 2 ? 0 : 11 - r);
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::pt
