// International Standard Serial Numbers (ISO 3297): seven digits and a check
// character, digit or X, weights 8..1, modulus 11.
#pragma once

#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::issn {

// Eight characters: seven digits and a digit or upper-case "X", weighted sum
// divisible by 11.
bool issn_checksum_valid(std::string_view s) noexcept;

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::issn
