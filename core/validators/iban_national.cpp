// National check digits of the BBAN, one algorithm per banking standard. Each
// takes the BBAN (or, for the MOD 97-10 keys, the whole IBAN) after the
// registry layout has been checked, so a place the layout gives to digits
// holds a digit.
#include "core/validators/iban_national.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/algorithms/check_digits.hpp"
#include "core/algorithms/decimal.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/mod97_10.hpp"
#include "core/algorithms/weighted_sum.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::iban {
namespace {

using algorithms::place_values_modulo;
using algorithms::two_digits_at;
using algorithms::weighted_sum;
using algorithms::weights_from;
namespace mod11 = algorithms::mod11;

// The check digit 11 - r of a MOD 11 sum (0 for r = 0); r = 1 would need
// the digit 10, which such numbers never carry.
constexpr bool mod11_check_digit_holds(unsigned sum, char check) noexcept {
    return digit_value(check) == mod11::complement_digit<mod11::NOT_ISSUED, 0>(sum);
}

// ---- ISO 7064 MOD 97-10 over the whole BBAN ----------------------------------

inline constexpr unsigned TEN_TO_THE_SIX = 1'000'000 % 97;
inline constexpr unsigned INVERSE_OF_TEN_TO_THE_SIX = 18;
static_assert(TEN_TO_THE_SIX * INVERSE_OF_TEN_TO_THE_SIX % 97 == 1);

// The BBAN's own MOD 97-10 remainder, read from the IBAN's first four
// characters instead of a second pass over the account number: the IBAN
// check made BBAN * 10^6 + CCkk = 1 (mod 97), the country letters counting
// as two digits each, so the BBAN leaves (1 - CCkk) / 10^6.
constexpr unsigned bban_remainder(std::string_view iban) noexcept {
    const unsigned head = head_number({iban[0], iban[1], iban[2], iban[3]});
    return (1 + 97 - head % 97) * INVERSE_OF_TEN_TO_THE_SIX % 97;
}

// Bosnia and Herzegovina, Kosovo, Montenegro, North Macedonia, Portugal,
// Serbia, Slovenia, Timor-Leste (their central banks; Portugal's NIB): the
// key 98 - r makes the BBAN leave 1, and only 02..98 are ever computed.
constexpr bool mod97_10(std::string_view iban) noexcept {
    const unsigned key = two_digits_at(iban, iban.size() - 2);
    return bban_remainder(iban) == 1 && key >= 2 && key <= 98;
}

// Mauritania and Tunisia (their central banks' RIB): the key 97 - r makes
// the BBAN divide by 97, and only 01..97 are ever computed.
constexpr bool mod97_complement(std::string_view iban) noexcept {
    const unsigned key = two_digits_at(iban, iban.size() - 2);
    return bban_remainder(iban) == 0 && key >= 1 && key <= 97;
}

static_assert(bban_remainder("PT50000201231234567890154") == 1 &&
              algorithms::mod97_10::remainder("000201231234567890154") == 1);
static_assert(mod97_10("PT50000201231234567890154") && mod97_10("MK07250120000058984") &&
              mod97_10("XK051212012345678906") && !mod97_10("PT51000201231234567890154"));
static_assert(mod97_complement("TN5910006035183598478831") && mod97_complement("MR1300020001010000123456753"));

// ---- one country each --------------------------------------------------------

// Belgium (Febelfin): the first ten digits mod 97 are the last two, 97 for 0.
constexpr bool belgium(std::string_view bban) noexcept {
    const unsigned r = algorithms::mod97_10::remainder(bban.substr(0, 10));
    return two_digits_at(bban, 10) == (r == 0 ? 97 : r);
}

// Czech Republic and Slovakia (Czech National Bank decree 169/2011, National
// Bank of Slovakia): the prefix and the account number are each a multiple
// of 11 under the weights 6, 3, 7, 9, 10, 5, 8, 4, 2, 1 (the prefix takes the
// last six).
inline constexpr std::array<unsigned, 10> CZECH_SLOVAK_WEIGHTS{6, 3, 7, 9, 10, 5, 8, 4, 2, 1};
inline constexpr auto CZECH_SLOVAK_PREFIX_WEIGHTS = weights_from<4, 6>(CZECH_SLOVAK_WEIGHTS);
constexpr bool czech_slovak(std::string_view bban) noexcept {
    return weighted_sum(bban.substr(4), CZECH_SLOVAK_PREFIX_WEIGHTS) % 11 == 0 &&
           weighted_sum(bban.substr(10), CZECH_SLOVAK_WEIGHTS) % 11 == 0;
}

// Estonia (Estonian Banking Association, 7-3-1): the account number after
// the bank code, weighted 7, 3, 1 from its right end, with the check digit
// making the sum a multiple of 10.
inline constexpr std::array<unsigned, 13> ESTONIA_WEIGHTS{7, 1, 3, 7, 1, 3, 7, 1, 3, 7, 1, 3, 7};
constexpr bool estonia(std::string_view bban) noexcept {
    return (weighted_sum(bban.substr(2), ESTONIA_WEIGHTS) + digit_value(bban[15])) % 10 == 0;
}

// Finland (Finance Finland): the 14-digit account number carries a Luhn
// check digit (weights 2, 1 from the left).
constexpr bool finland(std::string_view bban) noexcept { return algorithms::luhn::checksum(bban) % 10 == 0; }

// France and Monaco (Banque de France, the RIB key): bank, branch, account
// and key read as one 23-digit number divide by 97, letters of the account
// counting as digits (A..I and J..R as 1..9, S..Z as 2..9); the key is
// 01..97.
constexpr std::array<std::uint8_t, 256> make_rib_digits() noexcept {
    std::array<std::uint8_t, 256> digits{};
    for (char c = '0'; c <= '9'; ++c) digits[static_cast<std::uint8_t>(c)] = static_cast<std::uint8_t>(digit_value(c));
    for (char c = 'A'; c <= 'Z'; ++c) {
        const unsigned n = static_cast<unsigned>(c - 'A') + (c >= 'S' ? 2 : 1);  // S skips a value
        digits[static_cast<std::uint8_t>(c)] = static_cast<std::uint8_t>(n % 9 == 0 ? 9 : n % 9);
    }
    return digits;
}
inline constexpr std::array<std::uint8_t, 256> RIB_DIGITS = make_rib_digits();
static_assert(RIB_DIGITS['A'] == 1 && RIB_DIGITS['I'] == 9 && RIB_DIGITS['J'] == 1 && RIB_DIGITS['R'] == 9 &&
              RIB_DIGITS['S'] == 2 && RIB_DIGITS['Z'] == 9);

inline constexpr std::size_t RIB_LENGTH = 23;
// 10^k mod 97 for the place of each of the 23 characters.
inline constexpr auto RIB_PLACE_VALUES = place_values_modulo<97, RIB_LENGTH>();

constexpr bool france(std::string_view bban) noexcept {
    unsigned sum = 0;
    for (std::size_t i = 0; i < RIB_LENGTH; ++i) {
        sum += RIB_PLACE_VALUES[i] * RIB_DIGITS[static_cast<std::uint8_t>(bban[i])];
    }
    const unsigned key = two_digits_at(bban, RIB_LENGTH - 2);
    return sum % 97 == 0 && key >= 1 && key <= 97;
}

// Iceland (Registers Iceland): the account holder's kennitala, the last ten
// digits, has a MOD 11 check digit in its ninth place (weights 3, 2, 7, 6,
// 5, 4, 3, 2).
inline constexpr std::array<unsigned, 8> KENNITALA_WEIGHTS{3, 2, 7, 6, 5, 4, 3, 2};
constexpr bool iceland(std::string_view bban) noexcept {
    const std::string_view kennitala = bban.substr(12);
    return mod11_check_digit_holds(weighted_sum(kennitala, KENNITALA_WEIGHTS), kennitala[8]);
}

// Italy and San Marino (Banca d'Italia, the CIN): the letter in front is the
// sum mod 26 of the 22 characters after it, a character counting its value
// (digits 0..9, letters A..Z 0..25) in even places and that value mapped
// through CIN_ODD in odd ones (first, third, ...).
inline constexpr std::array<std::uint8_t, 26> CIN_ODD{1,  0,  5,  7,  9,  13, 15, 17, 19, 21, 2,  4,  18,
                                                      20, 11, 3,  6,  8,  12, 14, 16, 10, 22, 25, 24, 23};
constexpr bool italy(std::string_view bban) noexcept {
    unsigned sum = 0;
    for (std::size_t i = 1; i < bban.size(); ++i) {
        const char c = bban[i];
        const unsigned value = is_digit(c) ? digit_value(c) : static_cast<unsigned>(c - 'A');
        sum += i % 2 == 1 ? CIN_ODD[value] : value;
    }
    return bban[0] == static_cast<char>('A' + sum % 26);
}

// Norway (Bits, the banks' standards body): MOD 11 over the first ten
// digits, weights 5, 4, 3, 2, 7, 6, 5, 4, 3, 2.
inline constexpr std::array<unsigned, 10> NORWAY_WEIGHTS{5, 4, 3, 2, 7, 6, 5, 4, 3, 2};
constexpr bool norway(std::string_view bban) noexcept {
    return mod11_check_digit_holds(weighted_sum(bban, NORWAY_WEIGHTS), bban[10]);
}

// Poland (Narodowy Bank Polski): the eighth digit of the bank's sort code is
// its check digit, weights 3, 9, 7, 1, 3, 9, 7, making the sum a multiple of 10.
inline constexpr std::array<unsigned, 7> POLAND_WEIGHTS{3, 9, 7, 1, 3, 9, 7};
constexpr bool poland(std::string_view bban) noexcept {
    return (weighted_sum(bban, POLAND_WEIGHTS) + digit_value(bban[7])) % 10 == 0;
}

// Spain (the CCC of the Spanish banks): one MOD 11 digit over bank and
// branch, one over the account, weights 1, 2, 4, 8, 5, 10, 9, 7, 3, 6 (bank
// and branch take the last eight); 11 - r, with 10 written 1 and 11 written 0.
inline constexpr std::array<unsigned, 10> SPAIN_WEIGHTS{1, 2, 4, 8, 5, 10, 9, 7, 3, 6};
inline constexpr auto SPAIN_BANK_BRANCH_WEIGHTS = weights_from<2, 8>(SPAIN_WEIGHTS);
constexpr unsigned spanish_check_digit(unsigned sum) noexcept { return mod11::complement_digit<1, 0>(sum); }
constexpr bool spain(std::string_view bban) noexcept {
    return digit_value(bban[8]) == spanish_check_digit(weighted_sum(bban, SPAIN_BANK_BRANCH_WEIGHTS)) &&
           digit_value(bban[9]) == spanish_check_digit(weighted_sum(bban.substr(10), SPAIN_WEIGHTS));
}

// The registry's sample BBANs.
static_assert(belgium("539007547034") && !belgium("539007547035"));
static_assert(czech_slovak("08000000192000145399") && czech_slovak("12000000198742637541"));
static_assert(estonia("2200221020145685") && !estonia("2200221020145686"));
static_assert(finland("12345600000785") && !finland("12345600000786"));
static_assert(france("20041010050500013M02606") && france("12739000700011111000H79") &&
              !france("20041010050500013M02607"));
static_assert(iceland("0159260076545510730339"));
static_assert(italy("X0542811101000000123456") && italy("U0322509800000000270100") &&
              !italy("Y0542811101000000123456"));
static_assert(norway("15037577003") && !norway("15037577004"));
static_assert(poland("109010140000071219812874"));
static_assert(spain("00490290342413528341") && !spain("00490290352413528341"));

using Algorithm = bool (*)(std::string_view iban) noexcept;

template <bool (*check)(std::string_view bban) noexcept>
constexpr bool on_bban(std::string_view iban) noexcept {
    return check(iban.substr(4));
}

constexpr bool none(std::string_view) noexcept { return true; }

// In the order of NationalCheck. A table rather than a switch: each check is
// a small function of its own, reached by one indirect jump, instead of
// branches of one function that must save the registers all of them use.
inline constexpr std::array<Algorithm, 13> ALGORITHMS{
    none,           mod97_10,          mod97_complement, on_bban<belgium>, on_bban<czech_slovak>,
    on_bban<estonia>, on_bban<finland>, on_bban<france>, on_bban<iceland>, on_bban<italy>,
    on_bban<norway>, on_bban<poland>,  on_bban<spain>,
};
static_assert(ALGORITHMS.size() == static_cast<std::size_t>(NationalCheck::Spain) + 1);
static_assert(ALGORITHMS[static_cast<std::size_t>(NationalCheck::Norway)] == on_bban<norway>);
static_assert(ALGORITHMS[static_cast<std::size_t>(NationalCheck::Mod97Complement)] == mod97_complement);

}  // namespace

bool national_check_holds(NationalCheck check, std::string_view iban) noexcept {
    return ALGORITHMS[static_cast<std::size_t>(check)](iban);
}

}  // namespace cobalis::validators::iban
