#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::gb {
namespace {

constexpr unsigned MODULUS = 97;

// Government departments ("GD") and health authorities ("HA") with three digits.
bool is_short_form(std::string_view national) noexcept {
    const std::string_view kind = national.substr(0, 2);
    return (kind == "GD" || kind == "HA") && all_digits(national.substr(2));
}

// The first seven digits weighted 8 down to 2, and the two check digits
// added as a number, modulo 97.
unsigned remainder_of(std::string_view number) noexcept {
    constexpr std::array<unsigned, 7> WEIGHTS{8, 7, 6, 5, 4, 3, 2};
    return (weighted_sum(number, WEIGHTS) + two_digits_at(number, 7)) % MODULUS;
}

// Nine digits, optionally followed by a three-digit branch number that takes
// no part in the check. The remainder is 0 under the original scheme and 42
// under the newer one (where the total plus 55 divides by 97).
bool is_standard_form(std::string_view national) noexcept {
    constexpr unsigned NEWER_SCHEME_REMAINDER = 42;
    if (!all_digits(national)) return false;
    if (national.substr(0, 9) == "000000000") return false;
    const unsigned r = remainder_of(national);
    return r == 0 || r == NEWER_SCHEME_REMAINDER;
}

}  // namespace

bool is_valid(std::string_view national) noexcept {
    switch (national.size()) {
        case 5: return is_short_form(national);
        case 9:
        case 12: return is_standard_form(national);
        default: return false;
    }
}

// HMRC numbers government departments GD000 to GD499 and health authorities
// HA500 to HA999. Numbers under the newer scheme start at 100 000 000: below
// it (a leading 0) only the original scheme's remainder 0 is issued.
bool has_valid_check(std::string_view national) noexcept {
    constexpr unsigned FIRST_HEALTH_AUTHORITY = 500;
    if (national.size() == 5) {
        const bool health_authority = national[0] == 'H';
        return (number_of(national.substr(2)) >= FIRST_HEALTH_AUTHORITY) == health_authority;
    }
    return national[0] != '0' || remainder_of(national) == 0;
}

}  // namespace cobalis::validators::vat::gb
