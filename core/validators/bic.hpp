// Business Identifier Codes (ISO 9362): bank code, country, location and an
// optional branch. There is no check digit, and the country is not looked up.
#pragma once

#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::bic {

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::bic
