// Slovenia: the davčna številka is eight digits, the first not 0. The first
// seven are weighted 8 down to 2; the check digit is 11 minus the sum modulo
// 11, written 0 when that is 10. A remainder of 0 would need 11: no number
// is issued with one.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::si {

// Eight digits, the first not zero.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 8) && national[0] != '0'; }

bool has_valid_check(std::string_view national) noexcept {
    constexpr std::array<unsigned, 7> WEIGHTS{8, 7, 6, 5, 4, 3, 2};
    return digit_value(national[7]) == mod11::complement_digit<0, mod11::NOT_ISSUED>(weighted_sum(national, WEIGHTS));
}

}  // namespace cobalis::validators::vat::si
