// Legal Entity Identifiers (ISO 17442): twenty alphanumerics, the first four
// naming the issuing unit, the last two ISO 7064 MOD 97-10 check digits.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::lei {

inline constexpr std::size_t LENGTH = 20;

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

// Strict validation: everything above, and characters 19 and 20 must be
// digits, else invalid_charset. MOD 97-10 alone lets letters stand there: a
// few pairs holding a letter leave the same remainder as the real digits.
ValidationResult validate_strict(std::string_view input) noexcept;
bool is_valid_strict(std::string_view input) noexcept;

}  // namespace cobalis::validators::lei
