#include "core/validators/lei.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/kernels/classes.hpp"
#include "core/kernels/mod97.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::lei {
namespace {

inline constexpr std::size_t LOU_PREFIX_LENGTH = 4;

// Characters 5 and 6 are not checked for "00": that reserved pair belongs to
// the old layout, retired since ISO 17442-1:2020, and real LEIs issued since
// carry any alphanumerics there. Characters 5 to 18 are the entity's own.
//
// The checks read the normal form in one pass over the input without writing
// it down (core/kernels/mod97.hpp): its length, its character set and its
// MOD 97-10 remainder. The check digits already stand at the end, so nothing
// is rotated.
std::optional<ErrorCode> first_failure(std::string_view input) noexcept {
    const kernels::NormalMod97 lei = kernels::mod97_of_normal_form(input, InlineString::CAPACITY);
    // A normal form past the capacity: the normaliser's own refusal.
    if (lei.size > InlineString::CAPACITY) return ErrorCode::InvalidCharset;
    if (lei.size != LENGTH) return ErrorCode::InvalidLength;
    if (!lei.all_alphanumeric) return ErrorCode::InvalidCharset;
    if (lei.remainder() != 1) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

// Strict validation: the last two characters of a LEI that passes the plain
// checks, the last two bytes of the input that are no separators, are digits.
std::optional<ErrorCode> strict_failure(std::string_view input) noexcept {
    if (auto error = first_failure(input)) return error;
    unsigned digits = 0;
    for (std::size_t i = input.size(); i-- > 0 && digits < 2;) {
        const auto byte = static_cast<std::uint8_t>(input[i]);
        if (kernels::Separators::is(byte)) continue;
        if (!is_digit(input[i])) return ErrorCode::InvalidCharset;
        ++digits;
    }
    return std::nullopt;
}

enum class Rules : bool { Plain, Strict };

template <Rules rules>
ValidationResult validate_with(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (auto error = rules == Rules::Strict ? strict_failure(input) : first_failure(input)) return error;
        (void)normalise<Fold::Upper>(input, r.compact);  // fits: its bytes were counted
        r.formatted = r.compact;
        r.details.emplace<LeiDetails>(LeiDetails{FixedCode<4>::from(r.compact.view().substr(0, LOU_PREFIX_LENGTH))});
        return std::nullopt;
    });
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept { return validate_with<Rules::Plain>(input); }
bool is_valid(std::string_view input) noexcept { return !first_failure(input); }

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<Rules::Strict>(input); }
bool is_valid_strict(std::string_view input) noexcept { return !strict_failure(input); }

}  // namespace cobalis::validators::lei
