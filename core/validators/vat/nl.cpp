// The Netherlands: the btw-identificatienummer is nine digits (never all
// zeros), "B" and a two-digit sequence number from 01. The nine digits are
// either the holder's RSIN or BSN, which passes the eleven test, or, for sole
// proprietors since 2020, a number of its own whose check is ISO 7064
// MOD 97-10 over "NL" and the whole number, letters counted as in an IBAN.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::nl {
namespace {

// The eleven test: the first eight digits weighted 9 down to 2, minus the
// ninth, divide by 11.
constexpr bool passes_eleven_test(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{9, 8, 7, 6, 5, 4, 3, 2};
    return digit_value(national[8]) == mod11::remainder_digit<mod11::NOT_ISSUED>(weighted_sum(national, WEIGHTS));
}

// "NL", the nine digits, "B" and the sequence number read as one decimal
// number, N as 23, L as 21 and B as 11: seventeen digits, which fit in 64
// bits, so the remainder is taken once.
constexpr bool passes_mod97(std::string_view national) noexcept {
    constexpr auto NINE_DIGITS = place_values<9>();
    constexpr std::uint64_t NL = 2321;
    constexpr std::uint64_t B = 11;
    constexpr std::uint64_t TEN_TO_13 = algorithms::power_of_ten(13);  // the places of 9 digits, "B" and 2 digits
    const std::uint64_t digits = weighted_sum(national, NINE_DIGITS);
    const std::uint64_t sequence = two_digits_at(national, 10);
    return (NL * TEN_TO_13 + digits * 10'000 + B * 100 + sequence) % 97 == 1;
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
