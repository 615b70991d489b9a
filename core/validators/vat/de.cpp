#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::de {

// Nine digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 9); }

// The Federal Central Tax Office issues no number beginning with 0; the
// ninth digit is an ISO 7064 MOD 11,10 check over the first eight.
bool has_valid_check(std::string_view national) noexcept {
    return national[0] != '0' && mod11_10::passes(part_of<9>(national, 0));
}

}  // namespace cobalis::validators::vat::de
