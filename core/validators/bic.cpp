#include "core/validators/bic.hpp"

#include <cstddef>
#include <optional>

#include "core/data/country_codes.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::bic {
namespace {

// AAAA CC LL [BBB]: bank code, country, location, branch.
inline constexpr std::size_t BANK_CODE_AT = 0;
inline constexpr std::size_t COUNTRY_AT = 4;
inline constexpr std::size_t LOCATION_AT = 6;
inline constexpr std::size_t BRANCH_AT = 8;
inline constexpr std::size_t SHORT_LENGTH = 8;   // the head office, no branch part
inline constexpr std::size_t LONG_LENGTH = 11;

// Strict validation adds a last check: a country that BICs really carry.
enum class Rules : bool { Plain, Strict };

template <Rules rules>
constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() != SHORT_LENGTH && s.size() != LONG_LENGTH) return ErrorCode::InvalidLength;
    if (!all_upper(s.substr(BANK_CODE_AT, COUNTRY_AT - BANK_CODE_AT))) return ErrorCode::InvalidCharset;
    if (!all_upper(s.substr(COUNTRY_AT, LOCATION_AT - COUNTRY_AT))) return ErrorCode::InvalidCountry;
    if (!all_upper_alnum(s.substr(LOCATION_AT, BRANCH_AT - LOCATION_AT))) return ErrorCode::InvalidCharset;
    if (!all_upper_alnum(s.substr(BRANCH_AT))) return ErrorCode::InvalidCharset;  // empty for 8 characters
    // SWIFT gives BICs only to ISO 3166-1 countries, and to Kosovo.
    if (rules == Rules::Strict && !data::BIC_COUNTRIES.contains(s.substr(COUNTRY_AT, LOCATION_AT - COUNTRY_AT))) {
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
        const std::string_view text = r.compact.view();
        BicDetails& details = r.details.emplace<BicDetails>(BicDetails{
            FixedCode<4>::from(text.substr(BANK_CODE_AT)), FixedCode<2>::from(text.substr(COUNTRY_AT)),
            FixedCode<2>::from(text.substr(LOCATION_AT)), std::nullopt});
        if (text.size() == LONG_LENGTH) details.branch = FixedCode<3>::from(text.substr(BRANCH_AT));
        r.formatted = r.compact;
        return std::nullopt;
    });
}

template <Rules rules>
bool is_valid_with(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, first_failure<rules>);
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept { return validate_with<Rules::Plain>(input); }
bool is_valid(std::string_view input) noexcept { return is_valid_with<Rules::Plain>(input); }

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<Rules::Strict>(input); }
bool is_valid_strict(std::string_view input) noexcept { return is_valid_with<Rules::Strict>(input); }

}  // namespace cobalis::validators::bic
