#include "core/validators/issn.hpp"

#include <cstddef>
#include <optional>

#include "core/validators/digits_x.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::issn {
namespace {

inline constexpr std::size_t ISSN_LENGTH = 8;

static_assert(mod11_check("03785955") && mod11_check("2434561X") && !mod11_check("03785956"));
static_assert(mod11_check_character("0378595") == '5' && mod11_check_character("2434561") == 'X');

// The full stop is not a separator here: "0378.5955" is refused.
constexpr bool normalise(std::string_view input, InlineString& out) noexcept {
    return normalise_digits_x<FullStop::Rejected>(input, out);
}

// The checks in their order; every kept character is a digit or "X" by now.
std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() != ISSN_LENGTH) return ErrorCode::InvalidLength;
    if (!all_digits(s.substr(0, ISSN_LENGTH - 1))) return ErrorCode::InvalidCharset;
    if (!issn_checksum_valid(s)) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

}  // namespace

bool issn_checksum_valid(std::string_view s) noexcept { return s.size() == ISSN_LENGTH && mod11_check(s); }

ValidationResult validate(std::string_view input) noexcept {
    InlineString s;
    if (!normalise(input, s)) return ValidationResult::invalid(ErrorCode::InvalidCharset);
    if (auto error = first_failure(s.view())) return ValidationResult::invalid(*error);
    const InlineString formatted = grouped<ISSN_LENGTH / 2, ISSN_LENGTH / 2>(s.view(), '-');
    return ValidationResult::valid(s, formatted, IssnDetails{});
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return normalise(input, s) && issn_checksum_valid(s.view());
}

}  // namespace cobalis::validators::issn
