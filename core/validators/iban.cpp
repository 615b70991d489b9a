#include "core/validators/iban.hpp"

#include <cstdint>
#include <iterator>
#include <optional>

#include "core/data/static_map.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::iban {
namespace {

// Total IBAN length per country, country code and check digits included.
constexpr data::Entry<std::uint8_t> IBAN_LENGTH_ENTRIES[] = {
    {"AD", 24}, {"AE", 23}, {"AL", 28}, {"AT", 20}, {"AZ", 28}, {"BA", 20}, {"BE", 16}, {"BG", 22},
    {"BH", 22}, {"BR", 29}, {"BY", 28}, {"CH", 21}, {"CR", 22}, {"CY", 28}, {"CZ", 24}, {"DE", 22},
    {"DK", 18}, {"DO", 28}, {"EE", 20}, {"EG", 29}, {"ES", 24}, {"FI", 18}, {"FO", 18}, {"FR", 27},
    {"GB", 22}, {"GE", 22}, {"GI", 23}, {"GL", 18}, {"GR", 27}, {"GT", 28}, {"HR", 21}, {"HU", 28},
    {"IE", 22}, {"IL", 23}, {"IQ", 23}, {"IS", 26}, {"IT", 27}, {"JO", 30}, {"KW", 30}, {"KZ", 20},
    {"LB", 28}, {"LC", 32}, {"LI", 21}, {"LT", 20}, {"LU", 20}, {"LV", 21}, {"LY", 25}, {"MC", 27},
    {"MD", 24}, {"ME", 22}, {"MK", 19}, {"MR", 27}, {"MT", 31}, {"MU", 30}, {"NL", 18}, {"NO", 15},
    {"PK", 24}, {"PL", 28}, {"PS", 29}, {"PT", 25}, {"QA", 29}, {"RO", 24}, {"RS", 22}, {"SA", 24},
    {"SC", 31}, {"SD", 18}, {"SE", 24}, {"SI", 19}, {"SK", 24}, {"SM", 27}, {"ST", 25}, {"SV", 28},
    {"TL", 23}, {"TN", 24}, {"TR", 26}, {"UA", 29}, {"VA", 22}, {"VG", 24}, {"XK", 20},
};

}  // namespace

// The type is spelled out: deduced from the initialiser, g++ 12 places the
// constant in writable data.
constexpr data::StaticMap<std::uint8_t, std::size(IBAN_LENGTH_ENTRIES)> IBAN_LENGTHS{IBAN_LENGTH_ENTRIES};
static_assert(IBAN_LENGTHS.size() == 79);
static_assert(*IBAN_LENGTHS.find("NO") == 15 && *IBAN_LENGTHS.find("LC") == 32 && *IBAN_LENGTHS.find("GB") == 22);
static_assert(IBAN_LENGTHS.find("XX") == nullptr && IBAN_LENGTHS.find("gb") == nullptr);

namespace {

inline constexpr std::size_t MIN_STORED = 5;

// The checks in their order; the first that fails names the error.
constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() < MIN_STORED) return ErrorCode::InvalidLength;
    if (!is_upper(s[0]) || !is_upper(s[1])) return ErrorCode::InvalidCountry;
    if (!is_digit(s[2]) || !is_digit(s[3])) return ErrorCode::InvalidStructure;
    const auto* length = IBAN_LENGTHS.find(s.substr(0, 2));
    if (length == nullptr) return ErrorCode::UnsupportedCountry;
    if (s.size() != *length) return ErrorCode::InvalidLength;
    // The character set and the check digits in one pass, the characters
    // judged first: the first four are already known to be letters and digits.
    const Mod97 rearranged = mod97(s.substr(4), s.substr(0, 4));
    if (!rearranged.all_alphanumeric) return ErrorCode::InvalidCharset;
    if (rearranged.remainder != 1) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept {
    InlineString s;
    if (auto error = first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, first_failure)) {
        return ValidationResult::invalid(*error);
    }
    const std::string_view text = s.view();
    const IbanDetails details{FixedCode<2>::from(text.substr(0, 2)), FixedCode<2>::from(text.substr(2, 2)),
                              static_cast<std::uint8_t>(text.size() - 4)};
    return ValidationResult::valid(s, group_by_four(text), details);
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, first_failure);
}

// Placeholder until the national rules land: the strict answer is the plain one.
ValidationResult validate_strict(std::string_view input) noexcept { return validate(input); }
bool is_valid_strict(std::string_view input) noexcept { return is_valid(input); }

}  // namespace cobalis::validators::iban
