#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::ie {

// Either seven digits and a letter, optionally followed by a second letter,
// or the older form: a digit, a letter, five digits and a letter.
bool is_valid(std::string_view national) noexcept {
    const std::size_t n = national.size();
    if ((n != 8 && n != 9) || !is_digit(national[0]) || !all_digits(national.substr(2, 5)) || !is_upper(national[7])) {
        return false;
    }
    if (is_digit(national[1])) return n == 8 || is_upper(national[8]);
    return n == 8 && is_upper(national[1]);
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::ie
