// Payment card numbers (ISO/IEC 7812 primary account numbers).
#pragma once

#include <cstddef>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::credit_card {

inline constexpr std::size_t MIN_DIGITS = 12;
inline constexpr std::size_t MAX_DIGITS = 19;

// The brand named by the leading digits and the length of `digits` (12 to 19
// ASCII digits). Reads at most the first six digits.
CardBrand detect_brand(std::string_view digits) noexcept;

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::credit_card
