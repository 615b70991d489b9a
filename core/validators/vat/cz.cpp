#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::cz {
namespace {

constexpr std::array<unsigned, 7> WEIGHTS_8_TO_2{8, 7, 6, 5, 4, 3, 2};

// A legal entity's IČO: eight digits, never beginning with 9; the first seven
// weighted 8 down to 2 leave r modulo 11, and the check is 11 - r with 10
// written 0 and 11 written 1.
bool is_legal_entity(std::string_view national) noexcept {
    if (national[0] == '9') return false;
    return digit_value(national[7]) == mod11::complement_digit<0, 1>(weighted_sum(national, WEIGHTS_8_TO_2));
}

// Nine digits beginning with 6, issued to persons without a birth number:
// the seven digits after the 6 weighted 8 down to 2 leave r modulo 11, and
// the check is r + 8 modulo 10.
bool is_special(std::string_view national) noexcept {
    const unsigned r = weighted_sum(national.substr(1), WEIGHTS_8_TO_2) % 11;
    return digit_value(national[8]) == (r + 8) % 10;
}

// A birth number YYMMDD and a serial: women's months are raised by 50, and
// since 2004 a month may be raised by 20 more when a day's serials run out,
// so 1-12, 21-32, 51-62 and 71-82 are the months issued. Nine-digit numbers
// were issued until 1953 (years 80-99 are the 1880s and 1890s) and carry no
// check; ten-digit ones from 1954 on, and their first nine digits modulo 11
// give the check, a remainder of 10 the check 0.
bool is_birth_number(std::string_view national) noexcept {
    constexpr unsigned FOR_WOMEN = 50;
    constexpr unsigned WHEN_SERIALS_RUN_OUT = 20;
    constexpr unsigned LAST_NINE_DIGIT_YEAR = 53;
    constexpr unsigned FIRST_1800S_YEAR = 80;
    constexpr auto PLACES = place_values_modulo<11, 9>();
    const unsigned yy = two_digits_at(national, 0);
    unsigned month = two_digits_at(national, 2);
    if (month > FOR_WOMEN) month -= FOR_WOMEN;
    if (month > WHEN_SERIALS_RUN_OUT) month -= WHEN_SERIALS_RUN_OUT;
    unsigned year = 1900 + yy;
    if (national.size() == 9) {
        if (yy >= FIRST_1800S_YEAR) year -= 100;
        else if (yy > LAST_NINE_DIGIT_YEAR) return false;
    } else if (yy <= LAST_NINE_DIGIT_YEAR) {
        year += 100;
    }
    if (!is_calendar_date(year, month, two_digits_at(national, 4))) return false;
    if (national.size() == 9) return true;
    return digit_value(national[9]) == mod11::remainder_digit<0>(weighted_sum(national, PLACES));
}

}  // namespace

// Eight digits for a company, nine or ten for a person.
bool is_valid(std::string_view national) noexcept { return digits_of_length_between(national, 8, 10); }

// Eight digits are a legal entity's; nine beginning with 6 a special
// number; other nine- and ten-digit numbers birth numbers.
bool has_valid_check(std::string_view national) noexcept {
    if (national.size() == 8) return is_legal_entity(national);
    if (national.size() == 9 && national[0] == '6') return is_special(national);
    return is_birth_number(national);
}

}  // namespace cobalis::validators::vat::cz
