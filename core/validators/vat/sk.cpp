#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::sk {

// Ten digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 10); }

}  // namespace cobalis::validators::vat::sk
