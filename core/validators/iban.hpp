// International Bank Account Numbers (ISO 13616).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/algorithms/mod97_10.hpp"
#include "core/types.hpp"

namespace cobalis::validators::iban {

// IBANs move the country code and check digits to the end before MOD 97-10;
// a correct IBAN leaves the remainder 1. `iban` holds at least 4 bytes.
constexpr bool iban_mod97_check(std::string_view iban) noexcept {
    return algorithms::mod97_10::remainder(iban.substr(4), iban.substr(0, 4)) == 1;
}

// The first four characters of an IBAN (two letters, two digits) as the
// number MOD 97-10 reads them: six decimal digits.
inline constexpr std::size_t HEAD_LENGTH = 4;
inline constexpr std::size_t HEAD_PLACES = 6;
constexpr unsigned head_number(std::array<char, HEAD_LENGTH> head) noexcept {
    const auto letter = [](char c) { return static_cast<unsigned>(c - 'A') + 10; };
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
    return ((letter(head[0]) * 100 + letter(head[1])) * 10 + digit(head[2])) * 10 + digit(head[3]);
}
static_assert(head_number({'G', 'B', '8', '2'}) == 161182);

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

// Strict validation: everything above, then the account number's national
// layout from the IBAN registry (invalid_structure) and, where the country's
// banking standard publishes one, its national check digits
// (invalid_checksum). Valid only where `validate` is valid too, with the same
// forms and details.
ValidationResult validate_strict(std::string_view input) noexcept;
bool is_valid_strict(std::string_view input) noexcept;

}  // namespace cobalis::validators::iban
