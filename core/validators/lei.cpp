#include "core/validators/lei.hpp"

#include <optional>

#include "core/validators/iban.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::lei {
namespace {

inline constexpr std::size_t LOU_PREFIX_LENGTH = 4;

// Characters 5 and 6 are not checked for "00": that reserved pair belongs to
// the old layout, retired since ISO 17442-1:2020, and real LEIs issued since
// carry any alphanumerics there. Characters 5 to 18 are the entity's own.
constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() != LENGTH) return ErrorCode::InvalidLength;
    // The character set and the check digits in one pass, the characters
    // judged first. The check digits already stand at the end, so nothing is
    // rotated.
    const iban::Mod97 lei = iban::mod97(s);
    if (!lei.all_alphanumeric) return ErrorCode::InvalidCharset;
    if (lei.remainder != 1) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept {
    InlineString s;
    if (auto error = first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, first_failure)) {
        return ValidationResult::invalid(*error);
    }
    return ValidationResult::valid(s, s, LeiDetails{FixedCode<4>::from(s.view().substr(0, LOU_PREFIX_LENGTH))});
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, first_failure);
}

}  // namespace cobalis::validators::lei
