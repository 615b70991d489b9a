// Business Identifier Codes (ISO 9362): bank code, country, location and an
// optional branch. There is no check digit, and the country is not looked up.
#pragma once

#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::bic {

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

// Strict validation: everything above, and the country must be an ISO 3166-1
// alpha-2 code (XK included), else invalid_country.
ValidationResult validate_strict(std::string_view input) noexcept;
bool is_valid_strict(std::string_view input) noexcept;

}  // namespace cobalis::validators::bic
