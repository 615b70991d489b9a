#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::cy {

// Eight digits and a letter; no number begins with 12.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 9 && all_digits(national.substr(0, 8)) && is_upper(national[8]) &&
           national.substr(0, 2) != "12";
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::cy
