// International Bank Account Numbers (ISO 13616).
#pragma once

#include <cstdint>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::iban {

// ISO 7064 MOD 97-10 remainder of `text` read as one long decimal number in
// which a letter A..Z stands for the two digits 10..35; any other byte is
// skipped. The digits are gathered in 64 bits and reduced only when the next
// one could overflow, so the loop carries no division and no length can
// overflow it; the remainder is the same as reducing after every digit.
constexpr unsigned mod97_remainder(std::string_view text, unsigned start = 0) noexcept {
    constexpr std::uint64_t REDUCE_ABOVE = std::uint64_t{1} << 56;
    std::uint64_t r = start;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            r = r * 10 + static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'Z') {
            r = r * 100 + static_cast<unsigned>(c - 'A') + 10;
        } else {
            continue;
        }
        if (r >= REDUCE_ABOVE) r %= 97;
    }
    return static_cast<unsigned>(r % 97);
}

// IBANs move the country code and check digits to the end before MOD 97-10;
// a correct IBAN leaves the remainder 1. `iban` holds at least 4 bytes.
constexpr bool iban_mod97_check(std::string_view iban) noexcept {
    return mod97_remainder(iban.substr(0, 4), mod97_remainder(iban.substr(4))) == 1;
}

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::iban
