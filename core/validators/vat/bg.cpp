#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::bg {
namespace {

// A legal entity's nine digits: the first eight weighted 1 to 8 modulo 11;
// a remainder of 10 is taken again with weights 3 to 10, and a second 10
// gives the check 0.
bool is_legal_entity(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{1, 2, 3, 4, 5, 6, 7, 8};
    constexpr std::array<unsigned, 8> RETRY_WEIGHTS{3, 4, 5, 6, 7, 8, 9, 10};
    unsigned r = weighted_sum(national, WEIGHTS) % 11;
    if (r == 10) r = weighted_sum(national, RETRY_WEIGHTS) % 11;
    return digit_value(national[8]) == mod11::remainder_digit<0>(r);
}

// A citizen's EGN: a birth date YYMMDD, the month raised by 20 for the 1800s
// and by 40 for the 2000s, and a check of the first nine digits weighted
// 2 4 8 5 10 9 7 3 6 modulo 11, a remainder of 10 giving 0.
bool is_citizen(std::string_view national) noexcept {
    constexpr std::array<unsigned, 9> WEIGHTS{2, 4, 8, 5, 10, 9, 7, 3, 6};
    constexpr unsigned CENTURY_1800S = 20;
    constexpr unsigned CENTURY_2000S = 40;
    unsigned year = 1900 + two_digits_at(national, 0);
    unsigned month = two_digits_at(national, 2);
    if (month > CENTURY_2000S) {
        year += 100;
        month -= CENTURY_2000S;
    } else if (month > CENTURY_1800S) {
        year -= 100;
        month -= CENTURY_1800S;
    }
    return is_calendar_date(year, month, two_digits_at(national, 4)) &&
           digit_value(national[9]) == mod11::remainder_digit<0>(weighted_sum(national, WEIGHTS));
}

// A foreigner's PNF: the first nine digits weighted 21 19 17 13 11 9 7 3 1
// modulo 10.
bool is_foreigner(std::string_view national) noexcept {
    constexpr std::array<unsigned, 9> WEIGHTS{21, 19, 17, 13, 11, 9, 7, 3, 1};
    return digit_value(national[9]) == weighted_sum(national, WEIGHTS) % 10;
}

// Any other ten-digit number: 11 minus the first nine digits weighted
// 4 3 2 7 6 5 4 3 2, modulo 11; a check of 10 is never issued.
bool is_other(std::string_view national) noexcept {
    constexpr std::array<unsigned, 9> WEIGHTS{4, 3, 2, 7, 6, 5, 4, 3, 2};
    return digit_value(national[9]) == mod11::complement_digit<mod11::NOT_ISSUED, 0>(weighted_sum(national, WEIGHTS));
}

}  // namespace

// Nine digits for a company, ten for a person.
bool is_valid(std::string_view national) noexcept { return digits_of_length_between(national, 9, 10); }

// Nine digits are a legal entity's; ten digits a citizen's, a foreigner's or
// another's, whichever check holds.
bool has_valid_check(std::string_view national) noexcept {
    if (national.size() == 9) return is_legal_entity(national);
    return is_citizen(national) || is_foreigner(national) || is_other(national);
}

}  // namespace cobalis::validators::vat::bg
