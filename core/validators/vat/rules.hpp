// The national rules of the VAT numbers we accept, one module per country.
//
// Each rule takes the national part of a normalised number (the text after
// the two-letter prefix: separators dropped, letters upper case) and answers
// whether it has that country's shape and, where the country has one, the
// right check. Every rule tests the length before it reads a position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/validators/text.hpp"

namespace cobalis::validators::vat {

// Shapes several countries share.

constexpr bool digits_of_length(std::string_view s, std::size_t length) noexcept {
    return s.size() == length && all_digits(s);
}

constexpr bool digits_of_length_between(std::string_view s, std::size_t shortest, std::size_t longest) noexcept {
    return s.size() >= shortest && s.size() <= longest && all_digits(s);
}

// The `Length` bytes at `position` of a national part whose shape rule has
// already made sure they are there: a view of a length known when compiling,
// so that the loops over it unroll.
template <std::size_t Length>
constexpr std::string_view part_of(std::string_view national, std::size_t position) noexcept {
    return {national.data() + position, Length};
}

// The number written by a run of digits; the caller has checked they are digits.
constexpr std::uint64_t number_of(std::string_view digits) noexcept {
    std::uint64_t n = 0;
    for (char c : digits) n = n * 10 + digit_value(c);
    return n;
}

// The two-digit number at `position`; the caller has checked both are digits.
constexpr unsigned two_digits_at(std::string_view digits, std::size_t position) noexcept {
    return 10 * digit_value(digits[position]) + digit_value(digits[position + 1]);
}

// The sum of the first N digits, each times its weight; the caller has
// checked that at least N digits are there.
template <std::size_t N>
constexpr unsigned weighted_sum(std::string_view digits, const std::array<unsigned, N>& weights) noexcept {
    unsigned even = 0;  // two running sums, so that each addition need not wait on the one before
    unsigned odd = 0;
    for (std::size_t i = 0; i + 1 < N; i += 2) {
        even += weights[i] * digit_value(digits[i]);
        odd += weights[i + 1] * digit_value(digits[i + 1]);
    }
    if constexpr (N % 2 == 1) even += weights[N - 1] * digit_value(digits[N - 1]);
    return even + odd;
}

// The place values 10^k modulo M of a run of N digits, the leftmost first:
// the digits weighted by them leave the number's remainder modulo M, summed
// side by side rather than in a chain of multiplications by ten.
template <unsigned M, std::size_t N>
constexpr std::array<unsigned, N> place_values_modulo() noexcept {
    std::array<unsigned, N> values{};
    unsigned value = 1;
    for (std::size_t i = N; i-- > 0;) {
        values[i] = value;
        value = value * 10 % M;
    }
    return values;
}

static_assert(weighted_sum("854512123", place_values_modulo<11, 9>()) % 11 == 854512123 % 11);
static_assert(weighted_sum("99999999", place_values_modulo<23, 8>()) % 23 == 99999999 % 23);

// Checks several countries share.

// ISO 7064 MOD 11,10 (the German and Croatian tax numbers): a running
// product P in 1..10, 10 at the start, meets each digit d in turn as
// S = (P + d) mod 10, 0 read as 10, and P = 2S mod 11; with the check digit
// as the last one, the final S is 1, so the final P is 2.
//
// For each digit, and for each pair of digits, a step is a permutation of
// the ten products, packed into one word: six bits a product, each field
// holding the bit offset of the next product's field. A step is then a
// shift and a mask rather than two divisions, and the chain of steps is
// half as long when they are taken two digits at a time.
namespace detail {
inline constexpr unsigned MOD_11_10_FIELD_BITS = 6;
inline constexpr unsigned MOD_11_10_FIELD_MASK = (1U << MOD_11_10_FIELD_BITS) - 1;

constexpr unsigned mod_11_10_field(unsigned product) noexcept { return (product - 1) * MOD_11_10_FIELD_BITS; }

constexpr unsigned mod_11_10_step(unsigned product, unsigned digit) noexcept {
    const unsigned sum = (product + digit) % 10;
    return (sum == 0 ? 10 : sum) * 2 % 11;
}

// Entry n steps through the digits of n, one digit or two.
template <std::size_t DIGITS>
constexpr auto make_mod_11_10_steps() noexcept {
    constexpr std::size_t ENTRIES = DIGITS == 1 ? 10 : 100;
    std::array<std::uint64_t, ENTRIES> steps{};
    for (unsigned n = 0; n < ENTRIES; ++n) {
        for (unsigned product = 1; product <= 10; ++product) {
            const unsigned after = DIGITS == 1 ? mod_11_10_step(product, n)
                                               : mod_11_10_step(mod_11_10_step(product, n / 10), n % 10);
            steps[n] |= std::uint64_t{mod_11_10_field(after)} << mod_11_10_field(product);
        }
    }
    return steps;
}
inline constexpr auto MOD_11_10_ONE_DIGIT = make_mod_11_10_steps<1>();
inline constexpr auto MOD_11_10_TWO_DIGITS = make_mod_11_10_steps<2>();

constexpr unsigned mod_11_10_next(unsigned field, std::uint64_t step) noexcept {
    return static_cast<unsigned>(step >> field) & MOD_11_10_FIELD_MASK;
}
}  // namespace detail

constexpr bool passes_mod_11_10(std::string_view digits) noexcept {
    unsigned field = detail::mod_11_10_field(10);
    std::size_t i = digits.size() % 2;
    if (i == 1) field = detail::mod_11_10_next(field, detail::MOD_11_10_ONE_DIGIT[digit_value(digits[0])]);
    for (; i < digits.size(); i += 2) {
        const unsigned pair = 10 * digit_value(digits[i]) + digit_value(digits[i + 1]);
        field = detail::mod_11_10_next(field, detail::MOD_11_10_TWO_DIGITS[pair]);
    }
    return field == detail::mod_11_10_field(2);
}

static_assert(passes_mod_11_10("794623") && passes_mod_11_10("002006673085") && passes_mod_11_10("136695976"));
static_assert(!passes_mod_11_10("794624") && !passes_mod_11_10("136695977"));

// A remainder modulo 11 as a check digit, where a remainder of 10 is written 0.
constexpr unsigned mod_11_check_digit(unsigned remainder) noexcept { return remainder == 10 ? 0 : remainder; }

// Gregorian dates, for the birth dates that personal numbers carry.
constexpr bool is_leap_year(unsigned year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

namespace detail {
inline constexpr std::array<unsigned, 12> DAYS_IN_MONTH{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}

constexpr bool is_calendar_date(unsigned year, unsigned month, unsigned day) noexcept {
    if (month < 1 || month > 12 || day < 1) return false;
    const unsigned last = month == 2 && is_leap_year(year) ? 29 : detail::DAYS_IN_MONTH[month - 1];
    return day <= last;
}

static_assert(is_calendar_date(2000, 2, 29) && !is_calendar_date(1900, 2, 29) && is_calendar_date(1896, 2, 29));
static_assert(!is_calendar_date(1999, 4, 31) && !is_calendar_date(1999, 13, 1) && !is_calendar_date(1999, 1, 0));

// One module per country; GR serves the prefix EL as well. `is_valid` is the
// country's shape (and, for some, its check); `has_valid_check` is the
// national check digit or letter its tax authority publishes, asked only of a
// national part that `is_valid` accepted, for strict validation.
namespace at {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace be {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace bg {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace cy {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace cz {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace de {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace dk {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace ee {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace es {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace fi {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace fr {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace gb {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace gr {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace hr {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace hu {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace ie {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace it {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace lt {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace lu {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace lv {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace mt {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace nl {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace pl {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace pt {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace ro {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace se {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace si {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace sk {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}

}  // namespace cobalis::validators::vat
