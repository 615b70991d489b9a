// European VAT identification numbers: a two-letter country prefix and a
// national part checked by that country's rule.
#pragma once

#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::vat {

// One of the 28 countries with a rule of their own. "EL" is not one: it is
// the Greek prefix standing for GR.
bool is_known_country(char first, char second) noexcept;

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

// Strict validation: everything above, then the national check digit of the
// country (invalid_checksum when it does not match). Valid only where
// `validate` is valid too, with the same forms and details.
ValidationResult validate_strict(std::string_view input) noexcept;
bool is_valid_strict(std::string_view input) noexcept;

// is_valid and is_valid_strict of a text that is its own normal form (no
// separator, no lower-case letter, at most InlineString::CAPACITY bytes),
// which they answer without normalising it again: for callers that try many
// such forms (core/repair/).
bool is_valid_normal(std::string_view normal) noexcept;
bool is_valid_strict_normal(std::string_view normal) noexcept;

}  // namespace cobalis::validators::vat
