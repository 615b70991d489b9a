#include "core/algorithms/luhn.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::es {
namespace {

// The DNI's check letter, indexed by the number modulo 23.
constexpr std::string_view DNI_LETTERS = "TRWAGMYFPDXBNJZSQVHLCKE";
static_assert(DNI_LETTERS.size() == 23);

// A CIF's check letter, indexed by its check digit.
constexpr std::string_view CIF_LETTERS = "JABCDEFGHI";

// The letters that open a CIF, one for each kind of organisation.
constexpr bool is_organisation_kind(char c) noexcept {
    switch (c) {
        case 'A': case 'B': case 'C': case 'D': case 'E': case 'F': case 'G': case 'H': case 'J':
        case 'N': case 'P': case 'Q': case 'R': case 'S': case 'U': case 'V': case 'W': return true;
        default: return false;
    }
}

// The CIF's check is the Luhn check digit of its seven digits (the last of
// them doubled), written as that digit or as its letter: organisations of
// some kinds use one, others the other, and the published lists disagree,
// so both are taken.
bool has_cif_check(std::string_view national) noexcept {
    const unsigned digit = algorithms::luhn::generate_str(part_of<7>(national, 1));
    return national[8] == static_cast<char>('0' + digit) || national[8] == CIF_LETTERS[digit];
}

}  // namespace

// Seven digits between two places that hold a digit or a letter.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 9 && is_upper_alnum(national[0]) && all_digits(national.substr(1, 7)) &&
           is_upper_alnum(national[8]);
}

// The first place tells the kind of number: a digit opens a citizen's DNI
// (eight digits and their letter); K, L and M a citizen's NIF without a DNI
// (seven digits and their letter); X, Y and Z a foreigner's NIE, read as the
// DNI with those letters standing for 0, 1 and 2; another letter the kind of
// organisation of a CIF. The letter of a DNI, NIF or NIE is that of the
// number modulo 23.
bool has_valid_check(std::string_view national) noexcept {
    constexpr unsigned MODULUS = 23;
    constexpr auto SEVEN_PLACES = place_values_modulo<MODULUS, 7>();
    constexpr unsigned LEAD_PLACE = place_values_modulo<MODULUS, 8>()[0];
    const char kind = national[0];
    unsigned lead = 0;  // the value of the first place, in front of the seven digits
    if (is_digit(kind)) {
        lead = digit_value(kind);
    } else {
        switch (kind) {
            case 'K': case 'L': case 'M': break;
            case 'X': case 'Y': case 'Z': lead = static_cast<unsigned>(kind - 'X'); break;
            default: return is_organisation_kind(kind) && has_cif_check(national);
        }
    }
    const unsigned remainder = (lead * LEAD_PLACE + weighted_sum(national.substr(1), SEVEN_PLACES)) % MODULUS;
    return national[8] == DNI_LETTERS[remainder];
}

}  // namespace cobalis::validators::vat::es
