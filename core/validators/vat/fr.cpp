#include "core/algorithms/luhn.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::fr {
namespace {

// The places of the characters of an alphabetic key: digits 0-9, then the
// letters without I and O, 10-33. No place (NOT_IN_KEYS) for I and O.
constexpr unsigned NOT_IN_KEYS = 99;
constexpr unsigned key_place(char c) noexcept {
    if (is_digit(c)) return digit_value(c);
    if (c == 'I' || c == 'O') return NOT_IN_KEYS;
    return static_cast<unsigned>(c - 'A') + 10 - (c > 'I' ? 1 : 0) - (c > 'O' ? 1 : 0);
}
static_assert(key_place('A') == 10 && key_place('H') == 17 && key_place('J') == 18 && key_place('P') == 23 &&
              key_place('Z') == 33);

// Monaco's numbers (000 after the key) are not SIRENs.
constexpr bool is_monaco(std::string_view siren) noexcept { return siren.substr(0, 3) == "000"; }

// A key of a digit and a letter counts 0 to 239, a key opened by a letter
// 240 on; the SIREN plus 1 plus that count divided by 11 leaves, modulo 11,
// the count's own remainder.
bool has_alphabetic_key(std::string_view national) noexcept {
    constexpr unsigned DIGIT_LED_BASE = 24;
    constexpr unsigned DIGIT_LED_OFFSET = 10;
    constexpr unsigned LETTER_LED_BASE = 34;
    constexpr unsigned LETTER_LED_OFFSET = 100;
    const unsigned first = key_place(national[0]);
    const unsigned second = key_place(national[1]);
    if (first == NOT_IN_KEYS || second == NOT_IN_KEYS) return false;
    const unsigned count = is_digit(national[0]) ? first * DIGIT_LED_BASE + second - DIGIT_LED_OFFSET
                                                 : first * LETTER_LED_BASE + second - LETTER_LED_OFFSET;
    const unsigned siren_remainder = weighted_sum(part_of<9>(national, 2), place_values_modulo<11, 9>());
    return (siren_remainder + 1 + count / 11 + (11 - count % 11)) % 11 == 0;
}

}  // namespace

// A two-place key followed by the nine-digit SIREN. A numeric key is
// (12 + 3 × (SIREN mod 97)) mod 97; keys holding a letter follow another
// scheme, which only strict validation checks.
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

// INSEE gives the SIREN a Luhn check digit (Monaco's numbers aside); a
// numeric key is checked by the shape rule, an alphabetic one here.
bool has_valid_check(std::string_view national) noexcept {
    const std::string_view siren = part_of<9>(national, 2);
    if (!is_monaco(siren) && algorithms::luhn::checksum(siren) % 10 != 0) return false;
    if (is_digit(national[0]) && is_digit(national[1])) return true;
    return has_alphabetic_key(national);
}

}  // namespace cobalis::validators::vat::fr
