#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::de {

// Nine digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 9); }

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::de
