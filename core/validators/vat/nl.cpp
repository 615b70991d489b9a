// The Netherlands: the btw-identificatienummer is nine digits (never all
// zeros), "B" and a two-digit sequence number from 01. The nine digits are
// either the holder's RSIN or BSN, which passes the eleven test, or, for sole
// proprietors since 2020, a number of its own whose check is ISO 7064
// MOD 97-10 over "NL" and the whole number, letters counted as in an IBAN.
#include "core/algorithms/mod97_10.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::nl {
namespace {

// The eleven test: the first eight digits weighted 9 down to 2, minus the
// ninth, divide by 11.
constexpr bool passes_eleven_test(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{9, 8, 7, 6, 5, 4, 3, 2};
    return digit_value(national[8]) == mod11::remainder_digit<mod11::NOT_ISSUED>(weighted_sum(national, WEIGHTS));
}

// Sole proprietors' numbers: "NL" and the whole number read as an IBAN is,
// letters as two digits each, leave the remainder 1.
constexpr bool passes_mod97(std::string_view national) noexcept {
    return algorithms::mod97_10::remainder("NL", national) == 1;
}

constexpr bool check_holds(std::string_view national) noexcept {
    if (national.substr(0, 9) == "000000000" || national.substr(10) == "00") return false;
    return passes_eleven_test(national) || passes_mod97(national);
}

static_assert(check_holds("004495445B01") && passes_eleven_test("004495445B01"));
static_assert(check_holds("002455799B11") && !passes_eleven_test("002455799B11"));  // a sole proprietor's
static_assert(!check_holds("123456789B90") && !check_holds("000000000B01") && !check_holds("004495445B00"));

}  // namespace

// Nine digits, "B" and a two-digit branch number.
bool is_valid(std::string_view national) noexcept {
    return national.size() == 12 && all_digits(national.substr(0, 9)) && national[9] == 'B' &&
           all_digits(national.substr(10));
}

bool has_valid_check(std::string_view national) noexcept { return check_holds(national); }

}  // namespace cobalis::validators::vat::nl
