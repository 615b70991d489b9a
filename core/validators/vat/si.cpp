#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::si {

// Eight digits, the first not zero.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 8) && national[0] != '0'; }

}  // namespace cobalis::validators::vat::si
