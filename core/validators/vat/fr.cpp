#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::fr {

// A two-place key followed by the nine-digit SIREN. A numeric key is
// (12 + 3 × (SIREN mod 97)) mod 97; keys holding a letter are issued by
// another scheme and are accepted as they stand.
bool is_valid(std::string_view national) noexcept {
    constexpr std::uint64_t MODULUS = 97;
    constexpr std::uint64_t KEY_OFFSET = 12;
    if (national.size() != 11 || !is_upper_alnum(national[0]) || !is_upper_alnum(national[1]) ||
        !all_digits(national.substr(2))) {
        return false;
    }
    if (!is_digit(national[0]) || !is_digit(national[1])) return true;
    const std::uint64_t key = number_of(national.substr(0, 2));
    const std::uint64_t siren = number_of(national.substr(2));
    return key == (KEY_OFFSET + 3 * (siren % MODULUS)) % MODULUS;
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::fr
