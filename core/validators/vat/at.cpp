#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::at {

// "U" followed by eight digits.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 9 && national[0] == 'U' && all_digits(national.substr(1));
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::at
