// Ireland: the VAT number is the tax reference number, whose check letter is
// a weighted sum modulo 23 (W for 0, then A to V). The current form is seven
// digits and the check letter, optionally a second letter that counts in the
// sum; the old form is a digit, a letter, five digits and the check letter,
// checked as the seven-digit number 0, the five digits, the first digit.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::ie {
namespace {

constexpr unsigned CHECK_MODULUS = 23;
constexpr unsigned SECOND_LETTER_WEIGHT = 9;

// The letter of a remainder modulo 23.
constexpr char check_letter(unsigned remainder) noexcept {
    return remainder == 0 ? 'W' : static_cast<char>('A' + remainder - 1);
}

// The second letter of the current form counts with the value of its place
// among the check letters: W (the old suffix of married women) 0, A to V 1
// to 22. X, Y and Z are not letters of this alphabet and are never issued.
constexpr bool second_letter_value(char letter, unsigned& value) noexcept {
    if (letter == 'W') {
        value = 0;
        return true;
    }
    value = static_cast<unsigned>(letter - 'A') + 1;
    return letter >= 'A' && letter <= 'V';
}

constexpr bool current_form_holds(std::string_view national) noexcept {
    constexpr std::array<unsigned, 7> WEIGHTS{8, 7, 6, 5, 4, 3, 2};
    unsigned second = 0;
    if (national.size() == 9 && !second_letter_value(national[8], second)) return false;
    const unsigned sum = weighted_sum(national, WEIGHTS) + SECOND_LETTER_WEIGHT * second;
    return national[7] == check_letter(sum % CHECK_MODULUS);
}

constexpr bool old_form_holds(std::string_view national) noexcept {
    constexpr std::array<unsigned, 5> WEIGHTS{7, 6, 5, 4, 3};
    constexpr unsigned FIRST_DIGIT_WEIGHT = 2;
    const unsigned sum = weighted_sum(national.substr(2), WEIGHTS) + FIRST_DIGIT_WEIGHT * digit_value(national[0]);
    return national[7] == check_letter(sum % CHECK_MODULUS);
}

static_assert(current_form_holds("6433435F") && current_form_holds("6433435OA") && !current_form_holds("6433435E"));
static_assert(old_form_holds("8D79739I") && !old_form_holds("8D79729I"));

}  // namespace

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

bool has_valid_check(std::string_view national) noexcept {
    return is_digit(national[1]) ? current_form_holds(national) : old_form_holds(national);
}

}  // namespace cobalis::validators::vat::ie
