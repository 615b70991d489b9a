// International Standard Book Numbers: ISBN-10 (modulus 11, check character
// may be X) and ISBN-13 (the book prefixes 978 and 979 of EAN-13).
#pragma once

#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::isbn {

// Ten characters: nine digits and a digit or upper-case "X", weights 10..1,
// sum divisible by 11.
bool is_valid_isbn10(std::string_view s) noexcept;

// Thirteen digits starting 978 or 979, weights 1, 3, 1, ..., sum divisible by 10.
bool is_valid_isbn13(std::string_view s) noexcept;

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::isbn
