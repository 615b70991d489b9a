#include "core/validators/issn.hpp"

#include <cstddef>
#include <optional>

#include "core/kernels/digit_strings.hpp"
#include "core/validators/digits_x.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::issn {
namespace {

inline constexpr std::size_t ISSN_LENGTH = 8;

static_assert(mod11_check("03785955") && mod11_check("2434561X") && !mod11_check("03785956"));
static_assert(mod11_check_character("0378595") == '5' && mod11_check_character("2434561") == 'X');

// What the checks need of the normal form, read from the input in one pass
// without writing it down (core/kernels/digit_strings.hpp). The full stop is
// not a separator here: "0378.5955" is refused.
constexpr kernels::NormalDigits digits_of(std::string_view input) noexcept {
    return kernels::digits_of_normal_form<kernels::FullStops::Kept>(input, InlineString::CAPACITY);
}

// The checks in their order: seven digits and a digit or X, the weights
// falling from 8 to 1.
constexpr std::optional<ErrorCode> first_failure(const kernels::NormalDigits& d) noexcept {
    // A byte that is no digit, X, x or separator, or a 255th kept byte: the
    // normaliser's refusal.
    if (d.other || d.size > InlineString::CAPACITY) return ErrorCode::InvalidCharset;
    if (d.size != ISSN_LENGTH) return ErrorCode::InvalidLength;
    if (d.x_before) return ErrorCode::InvalidCharset;
    if (d.descending % 11 != 0) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

static_assert(!first_failure(digits_of("0378-5955")) && !first_failure(digits_of("2434-561x")));
static_assert(first_failure(digits_of("0378.5955")) == ErrorCode::InvalidCharset);
static_assert(first_failure(digits_of("0378-5956")) == ErrorCode::InvalidChecksum);

}  // namespace

bool issn_checksum_valid(std::string_view s) noexcept { return s.size() == ISSN_LENGTH && mod11_check(s); }

ValidationResult validate(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (auto error = first_failure(digits_of(input))) return error;
        keep_digits_x<FullStops::Kept>(input, r.compact);  // every byte is a digit, X, x or separator by now
        grouped_into<ISSN_LENGTH / 2, ISSN_LENGTH / 2>(r.compact.view(), '-', r.formatted);
        r.details.emplace<IssnDetails>();
        return std::nullopt;
    });
}

bool is_valid(std::string_view input) noexcept { return !first_failure(digits_of(input)); }

}  // namespace cobalis::validators::issn
