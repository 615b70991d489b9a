// International Securities Identification Numbers (ISO 6166): a country
// prefix, nine alphanumerics and a check character found by Luhn over the
// text with every letter written as its two-digit number (A = 10 .. Z = 35).
#pragma once

#include <cstddef>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::isin {

inline constexpr std::size_t LENGTH = 12;

// True when the 12 characters, letters expanded to two digits, pass Luhn.
// Any byte that is neither a digit nor A..Z, or another length, answers false.
bool isin_luhn_valid(std::string_view isin) noexcept;

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

// Strict validation: everything above, the check character must be a digit
// (else invalid_charset), and the prefix must be one that ISINs really carry
// (an ISO 3166-1 code, a former code existing ISINs still carry, or one of
// the prefixes used beyond countries), else invalid_country.
ValidationResult validate_strict(std::string_view input) noexcept;
bool is_valid_strict(std::string_view input) noexcept;

}  // namespace cobalis::validators::isin
