#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::es {

// Seven digits between two places that hold a digit or a letter.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 9 && is_upper_alnum(national[0]) && all_digits(national.substr(1, 7)) &&
           is_upper_alnum(national[8]);
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::es
