#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::lu {

// Eight digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 8); }

}  // namespace cobalis::validators::vat::lu
