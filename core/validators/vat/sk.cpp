// Slovakia: the IČ DPH is ten digits. The number the tax office issues has
// a first digit other than 0, a third digit of 2, 3, 4, 7, 8 or 9, and
// divides by 11. A person may also be registered under the birth number
// (rodné číslo): YYMMDD, the month plus 50 for women and plus 20 when a
// day's serials run out, three serial digits, and a check digit that is the
// first nine digits modulo 11 (a remainder of 10 written 0). The month is
// read modulo 50 and then modulo 20, which takes off either offset.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::sk {
namespace {

constexpr unsigned MODULUS = 11;

// Ten is -1 modulo 11, so a number is its digits summed with alternating
// signs from the right; these are the signs as weights modulo 11.
constexpr std::array<unsigned, 10> TEN_DIGITS_MOD_11{10, 1, 10, 1, 10, 1, 10, 1, 10, 1};
constexpr std::array<unsigned, 9> NINE_DIGITS_MOD_11{1, 10, 1, 10, 1, 10, 1, 10, 1};

constexpr bool is_company_number(std::string_view national) noexcept {
    const char third = national[2];
    const bool third_allowed = (third >= '2' && third <= '4') || third >= '7';
    return national[0] != '0' && third_allowed && weighted_sum(national, TEN_DIGITS_MOD_11) % MODULUS == 0;
}

// Ten-digit birth numbers are issued from 1954 on, so a two-digit year
// below 54 is of this century.
constexpr bool has_birth_date(std::string_view national) noexcept {
    constexpr unsigned FIRST_YEAR = 54;
    constexpr unsigned WOMEN_OFFSET = 50;
    constexpr unsigned OVERFLOW_OFFSET = 20;
    const unsigned two_digit_year = two_digits_at(national, 0);
    const unsigned year = two_digit_year + (two_digit_year < FIRST_YEAR ? 2000 : 1900);
    const unsigned month = two_digits_at(national, 2) % WOMEN_OFFSET % OVERFLOW_OFFSET;
    return is_calendar_date(year, month, two_digits_at(national, 4));
}

constexpr bool is_birth_number(std::string_view national) noexcept {
    return has_birth_date(national) &&
           digit_value(national[9]) == mod11::remainder_digit<0>(weighted_sum(national, NINE_DIGITS_MOD_11));
}

constexpr bool check_holds(std::string_view national) noexcept {
    return is_company_number(national) || is_birth_number(national);
}

static_assert(check_holds("2022749619") && !check_holds("2022749618"));
static_assert(check_holds("7103192745") && !check_holds("7113192745"));  // a birth number, then month 13
static_assert(check_holds("7103190040"));                                // first nine digits 10 modulo 11
static_assert(has_birth_date("0402290000") && !has_birth_date("0502290000"));  // 2004 is a leap year, 2005 not

}  // namespace

// Ten digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 10); }

bool has_valid_check(std::string_view national) noexcept { return check_holds(national); }

}  // namespace cobalis::validators::vat::sk
