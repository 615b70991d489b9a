#include "core/validators/isin.hpp"

#include <array>
#include <cstddef>
#include <optional>

#include "core/algorithms/luhn.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::isin {
namespace {

inline constexpr std::size_t COUNTRY_LENGTH = 2;
inline constexpr unsigned LETTER_BASE = 10;  // A stands for 10, Z for 35
// Twelve letters would expand to 24 digits.
inline constexpr std::size_t EXPANDED_CAPACITY = 2 * LENGTH;

constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() != LENGTH) return ErrorCode::InvalidLength;
    if (!all_upper(s.substr(0, COUNTRY_LENGTH))) return ErrorCode::InvalidCountry;
    // The check character may be a letter like any other.
    if (!all_upper_alnum(s.substr(COUNTRY_LENGTH))) return ErrorCode::InvalidCharset;
    if (!isin_luhn_valid(s)) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

}  // namespace

bool isin_luhn_valid(std::string_view isin) noexcept {
    if (isin.size() != LENGTH) return false;
    std::array<char, EXPANDED_CAPACITY> digits;
    std::size_t n = 0;
    for (char c : isin) {
        if (is_digit(c)) {
            digits[n++] = c;
        } else if (is_upper(c)) {
            const unsigned v = static_cast<unsigned>(c - 'A') + LETTER_BASE;
            digits[n++] = static_cast<char>('0' + v / 10);
            digits[n++] = static_cast<char>('0' + v % 10);
        } else {
            return false;
        }
    }
    return algorithms::luhn::checksum({digits.data(), n}) % 10 == 0;
}

ValidationResult validate(std::string_view input) noexcept {
    InlineString s;
    if (!normalise<Fold::Upper>(input, s)) return ValidationResult::invalid(ErrorCode::InvalidCharset);
    if (auto error = first_failure(s.view())) return ValidationResult::invalid(*error);
    return ValidationResult::valid(s, s, IsinDetails{FixedCode<2>::from(s.view())});
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return normalise<Fold::Upper>(input, s) && !first_failure(s.view());
}

}  // namespace cobalis::validators::isin
