#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::pt {

// Nine digits (the NIF), the first eight weighted 9 down to 2; the check is
// 11 minus the remainder modulo 11, and 0 for the remainders 0 and 1.
bool is_valid(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{9, 8, 7, 6, 5, 4, 3, 2};
    if (!digits_of_length(national, 9)) return false;
    return digit_value(national[8]) == mod11::complement_digit<0, 0>(weighted_sum(national, WEIGHTS));
}

// The shape rule holds the check digit; the first digit names the kind of
// holder (1 to 3 persons, 5 companies, and so on), and none is 0.
bool has_valid_check(std::string_view national) noexcept { return national[0] != '0'; }

}  // namespace cobalis::validators::vat::pt
