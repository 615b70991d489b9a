// E-mail addresses of the plain form local-part "@" domain: an unquoted
// dot-separated local part and a host name of letters, digits and hyphens.
// Syntax only: nothing is looked up.
#pragma once

#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::email {

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::email
