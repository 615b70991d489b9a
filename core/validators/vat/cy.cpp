#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::cy {
namespace {

// What a digit in an even place counts for the check letter.
constexpr std::array<unsigned, 10> EVEN_PLACE_VALUES{1, 0, 5, 7, 9, 13, 15, 17, 19, 21};

}  // namespace

// Eight digits and a letter; no number begins with 12.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 9 && all_digits(national.substr(0, 8)) && is_upper(national[8]) &&
           national.substr(0, 2) != "12";
}

// The check letter: the digits in even places count by EVEN_PLACE_VALUES, those
// in odd places as they are, and the sum modulo 26 names the letter (0 is A).
bool has_valid_check(std::string_view national) noexcept {
    constexpr unsigned LETTERS = 26;
    unsigned sum = 0;
    for (std::size_t i = 0; i < 8; i += 2) {
        sum += EVEN_PLACE_VALUES[digit_value(national[i])] + digit_value(national[i + 1]);
    }
    return national[8] == static_cast<char>('A' + sum % LETTERS);
}

}  // namespace cobalis::validators::vat::cy
