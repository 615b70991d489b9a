// Latvia: the PVN reģistrācijas numurs is eleven digits. A legal entity's
// begins with 4 to 9 and its weighted sum modulo 11 is 3. A person's is the
// personal code: the birth date (day, month, two-digit year, then the
// century as 18 plus the seventh digit) and a serial, or from 2017 on "32"
// and nine digits with no date; either ends in a MOD 11 check digit.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::lv {
namespace {

constexpr char LAST_PERSON_FIRST_DIGIT = '3';

constexpr bool entity_check_holds(std::string_view national) noexcept {
    constexpr std::array<unsigned, 11> WEIGHTS{9, 1, 4, 8, 3, 10, 2, 5, 7, 6, 1};
    constexpr unsigned REMAINDER = 3;
    return weighted_sum(national, WEIGHTS) % 11 == REMAINDER;
}

// The personal code's check is 1101 minus the sum weighted 1 6 3 7 9 10 5 8
// 4 2, modulo 11 (a remainder of 10 written 0); the weights below are those
// negated modulo 11, and 1101 is 1 modulo 11.
constexpr bool person_check_holds(std::string_view national) noexcept {
    constexpr std::array<unsigned, 10> WEIGHTS{10, 5, 8, 4, 2, 1, 6, 3, 7, 9};
    return digit_value(national[10]) == mod11::remainder_digit<0>(1 + weighted_sum(national, WEIGHTS));
}

constexpr bool has_birth_date(std::string_view national) noexcept {
    constexpr unsigned FIRST_CENTURY = 1800;
    const unsigned year = FIRST_CENTURY + 100 * digit_value(national[6]) + two_digits_at(national, 4);
    return is_calendar_date(year, two_digits_at(national, 2), two_digits_at(national, 0));
}

static_assert(entity_check_holds("40003521600") && !entity_check_holds("40003521601"));
static_assert(has_birth_date("16117519997") && person_check_holds("16117519997") && !has_birth_date("16137519997"));
static_assert(has_birth_date("29020020000") && !has_birth_date("29029920000"));  // 2000 is a leap year, 1999 not
static_assert(person_check_holds("32867300679") && !person_check_holds("32867300677"));

}  // namespace

// Eleven digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 11); }

bool has_valid_check(std::string_view national) noexcept {
    if (national[0] > LAST_PERSON_FIRST_DIGIT) return entity_check_holds(national);
    const bool dateless = national.substr(0, 2) == "32";
    return (dateless || has_birth_date(national)) && person_check_holds(national);
}

}  // namespace cobalis::validators::vat::lv
