// National check digits inside the BBAN, for the countries whose banking
// standard publishes their algorithm. Which country carries which is in the
// IBAN registry table (iban_registry.hpp).
#pragma once

#include <cstdint>
#include <string_view>

namespace cobalis::validators::iban {

enum class NationalCheck : std::uint8_t {
    None,             // none, or none whose algorithm is public and common to all banks
    Mod97_10,         // ISO 7064 MOD 97-10 over the BBAN, the key 98 - r in its last two digits
    Mod97Complement,  // the same remainder taken as 97 - r (the RIB key of Mauritania and Tunisia)
    Belgium,
    CzechSlovak,
    Estonia,
    Finland,
    France,           // France and Monaco
    Iceland,
    Italy,            // Italy and San Marino
    Norway,
    Poland,
    Spain,
};

// Whether the national check digits of `iban` hold. `iban` is compact and
// has passed the international checks (so its MOD 97-10 remainder is 1) and
// its country's BBAN layout, so every place holds a character of its class.
bool national_check_holds(NationalCheck check, std::string_view iban) noexcept;

}  // namespace cobalis::validators::iban
