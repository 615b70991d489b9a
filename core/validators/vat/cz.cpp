#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::cz {

// Eight digits for a company, nine or ten for a person.
bool is_valid(std::string_view national) noexcept { return digits_of_length_between(national, 8, 10); }

}  // namespace cobalis::validators::vat::cz
