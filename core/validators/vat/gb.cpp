#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::gb {
namespace {

// Government departments ("GD") and health authorities ("HA") with three digits.
bool is_short_form(std::string_view national) noexcept {
    const std::string_view kind = national.substr(0, 2);
    return (kind == "GD" || kind == "HA") && all_digits(national.substr(2));
}

// Nine digits, optionally followed by a three-digit branch number that takes
// no part in the check. The first seven digits are weighted 8 down to 2 and
// the two check digits added as a number: the total leaves 0 modulo 97 under
// the original scheme and 42 under the newer one (total + 55 divisible by 97).
bool is_standard_form(std::string_view national) noexcept {
    constexpr std::array<unsigned, 7> WEIGHTS{8, 7, 6, 5, 4, 3, 2};
    constexpr unsigned MODULUS = 97;
    constexpr unsigned NEWER_SCHEME_REMAINDER = 42;
    if (!all_digits(national)) return false;
    const std::string_view number = national.substr(0, 9);
    if (number == "000000000") return false;
    const unsigned total = weighted_sum(number, WEIGHTS) + static_cast<unsigned>(number_of(number.substr(7)));
    const unsigned r = total % MODULUS;
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

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::gb
