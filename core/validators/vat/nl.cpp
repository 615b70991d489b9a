#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::nl {

// Nine digits, "B" and a two-digit branch number.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 12 && all_digits(national.substr(0, 9)) && national[9] == 'B' &&
           all_digits(national.substr(10));
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::nl
