#include "core/validators/ean.hpp"

#include <cstddef>
#include <optional>

#include "core/validators/text.hpp"

namespace cobalis::validators::ean {
namespace {

inline constexpr std::size_t EAN8_LENGTH = 8;
inline constexpr std::size_t EAN13_LENGTH = 13;
inline constexpr std::size_t COUNTRY_PREFIX_LENGTH = 3;

static_assert(gs1_check("4006381333931") && gs1_check("73513537") && !gs1_check("73513536"));
static_assert(gs1_check_digit("400638133393") == '1' && gs1_check_digit("7351353") == '7');

// The checks in their order; the length is judged before the characters.
constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() != EAN8_LENGTH && s.size() != EAN13_LENGTH) return ErrorCode::InvalidLength;
    if (!all_digits(s)) return ErrorCode::InvalidCharset;
    if (!gs1_check(s)) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (auto error = first_failure_of<Fold::None, ErrorCode::InvalidLength>(input, r.compact, first_failure)) {
            return error;
        }
        r.formatted = r.compact;
        // Filled in apart and copied in: emplace<EanDetails>() would clear
        // the prefix's whole inline buffer first.
        EanDetails details;
        if (r.compact.size() == EAN13_LENGTH) {
            details.ean_type = EanType::Ean13;
            details.country_prefix = InlineString(r.compact.view().substr(0, COUNTRY_PREFIX_LENGTH));
        } else {
            details.ean_type = EanType::Ean8;
        }
        r.details.emplace<EanDetails>(details);
        return std::nullopt;
    });
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::None, ErrorCode::InvalidLength>(input, s, first_failure);
}

}  // namespace cobalis::validators::ean
