#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::cz {

// Eight digits for a company, nine or ten for a person.
bool is_valid(std::string_view national) noexcept { return digits_of_length_between(national, 8, 10); }

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::cz
