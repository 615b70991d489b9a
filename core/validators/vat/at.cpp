#include "core/algorithms/luhn.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::at {

// "U" followed by eight digits.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 9 && national[0] == 'U' && all_digits(national.substr(1));
}

// The Federal Ministry of Finance's check digit: the Luhn sum of the seven
// digits before it (the last of them not doubled), plus 4, plus the check
// digit, divides by ten.
bool has_valid_check(std::string_view national) noexcept {
    constexpr unsigned U_OFFSET = 4;
    const unsigned sum = algorithms::luhn::checksum(part_of<7>(national, 1)) + U_OFFSET + digit_value(national[8]);
    return sum % 10 == 0;
}

}  // namespace cobalis::validators::vat::at
