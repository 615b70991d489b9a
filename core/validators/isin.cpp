#include "core/validators/isin.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/algorithms/luhn.hpp"
#include "core/data/country_codes.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::isin {
namespace {

inline constexpr std::size_t COUNTRY_LENGTH = 2;
inline constexpr unsigned LETTER_BASE = 10;  // A stands for 10, Z for 35

// What one character adds to the Luhn sum of the expanded digits, read from
// the right: a digit is one digit, a letter its two digits (units first, then
// tens, one place further left). Indexed by whether the character's rightmost
// digit stands at a doubled place. `digits` is 0 for any other byte.
struct LuhnTerm {
    std::array<std::uint8_t, 2> sum;  // [0]: rightmost digit plain, [1]: doubled
    std::uint8_t digits;
};

constexpr std::array<LuhnTerm, 256> make_luhn_terms() noexcept {
    std::array<LuhnTerm, 256> terms{};
    const auto& doubled = algorithms::luhn::DOUBLED;
    for (unsigned d = 0; d <= 9; ++d) {
        terms['0' + d] = {{static_cast<std::uint8_t>(d), doubled[d]}, 1};
    }
    for (unsigned c = 'A'; c <= 'Z'; ++c) {
        const unsigned v = c - 'A' + LETTER_BASE;
        const unsigned tens = v / 10;
        const unsigned units = v % 10;
        terms[c] = {{static_cast<std::uint8_t>(units + doubled[tens]), static_cast<std::uint8_t>(doubled[units] + tens)},
                    2};
    }
    return terms;
}
inline constexpr std::array<LuhnTerm, 256> LUHN_TERMS = make_luhn_terms();

// Strict validation adds two checks: a check character that is a digit, and
// a prefix that ISINs really carry.
enum class Rules : bool { Plain, Strict };

template <Rules rules>
constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() != LENGTH) return ErrorCode::InvalidLength;
    if (!all_upper(s.substr(0, COUNTRY_LENGTH))) return ErrorCode::InvalidCountry;
    // Plain validation takes a letter as the check character too.
    if (!all_upper_alnum(s.substr(COUNTRY_LENGTH))) return ErrorCode::InvalidCharset;
    if (!isin_luhn_valid(s)) return ErrorCode::InvalidChecksum;
    // The check character is the digit that completes the Luhn sum: a letter
    // passes the sum only through its two expanded digits, and is never issued.
    if (rules == Rules::Strict && !is_digit(s[LENGTH - 1])) return ErrorCode::InvalidCharset;
    // A country, one that was a country when its ISINs were issued, or the
    // prefix of securities that belong to no one country.
    if (rules == Rules::Strict && !data::ISIN_PREFIXES.contains(s.substr(0, COUNTRY_LENGTH))) {
        return ErrorCode::InvalidCountry;
    }
    return std::nullopt;
}

template <Rules rules>
ValidationResult validate_with(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (auto error = first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, r.compact, first_failure<rules>)) {
            return error;
        }
        r.formatted = r.compact;
        r.details.emplace<IsinDetails>(IsinDetails{FixedCode<2>::from(r.compact.view())});
        return std::nullopt;
    });
}

template <Rules rules>
bool is_valid_with(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, first_failure<rules>);
}

}  // namespace

// Luhn over the characters with letters expanded to two digits, summed
// straight from the characters: no expanded copy is made.
bool isin_luhn_valid(std::string_view isin) noexcept {
    if (isin.size() != LENGTH) return false;
    unsigned sum = 0;
    unsigned doubled_place = 0;  // the check digit's place is plain
    for (std::size_t i = isin.size(); i-- > 0;) {
        const LuhnTerm& term = LUHN_TERMS[static_cast<std::uint8_t>(isin[i])];
        if (term.digits == 0) return false;
        sum += term.sum[doubled_place];
        doubled_place ^= term.digits & 1;
    }
    return sum % 10 == 0;
}

ValidationResult validate(std::string_view input) noexcept { return validate_with<Rules::Plain>(input); }
bool is_valid(std::string_view input) noexcept { return is_valid_with<Rules::Plain>(input); }

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<Rules::Strict>(input); }
bool is_valid_strict(std::string_view input) noexcept { return is_valid_with<Rules::Strict>(input); }

}  // namespace cobalis::validators::isin
