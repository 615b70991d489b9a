// Luxembourg: the numéro d'identification TVA is six digits followed by
// their number modulo 89, written with two digits.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::lu {

// Eight digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 8); }

bool has_valid_check(std::string_view national) noexcept {
    constexpr auto SIX_DIGITS = place_values<6>();
    constexpr unsigned MODULUS = 89;
    return weighted_sum(national, SIX_DIGITS) % MODULUS == two_digits_at(national, 6);
}

}  // namespace cobalis::validators::vat::lu
