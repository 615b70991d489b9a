#include "core/validators/credit_card.hpp"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "core/algorithms/decimal.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::credit_card {
namespace {

// Brands are told apart by at most six leading digits, read as one number.
inline constexpr std::size_t PREFIX_DIGITS = 6;

// One rule of the brand table: the six-digit prefix lies in [low, high] and
// the number has one of the lengths marked in `lengths` (bit n for n digits).
struct BrandRule {
    std::uint32_t low;
    std::uint32_t high;
    std::uint32_t lengths;
    CardBrand brand;
};

// A rule on the first `digits` digits lying in first..last, widened to a
// range of six-digit prefixes so that every rule is one pair of comparisons.
constexpr BrandRule rule(std::uint32_t first, std::uint32_t last, std::size_t digits,
                         std::initializer_list<std::size_t> lengths, CardBrand brand) noexcept {
    const auto scale = static_cast<std::uint32_t>(algorithms::power_of_ten(PREFIX_DIGITS - digits));
    std::uint32_t mask = 0;
    for (std::size_t n : lengths) mask |= std::uint32_t{1} << n;
    return {first * scale, (last + 1) * scale - 1, mask, brand};
}

// Tried in order; the first rule that matches names the brand. The order
// matters: 622126..622925 is Discover at 16 or 19 digits and falls through
// to UnionPay's 62 at 17 or 18.
inline constexpr std::array BRAND_RULES{
    rule(34, 34, 2, {15}, CardBrand::Amex),
    rule(37, 37, 2, {15}, CardBrand::Amex),
    rule(4, 4, 1, {13, 16, 19}, CardBrand::Visa),
    rule(51, 55, 2, {16}, CardBrand::Mastercard),
    rule(2221, 2720, 4, {16}, CardBrand::Mastercard),
    rule(6011, 6011, 4, {16, 19}, CardBrand::Discover),
    rule(65, 65, 2, {16, 19}, CardBrand::Discover),
    rule(644, 649, 3, {16, 19}, CardBrand::Discover),
    rule(622126, 622925, 6, {16, 19}, CardBrand::Discover),
    rule(36, 36, 2, {14, 16}, CardBrand::DinersClub),
    rule(38, 38, 2, {14}, CardBrand::DinersClub),
    rule(300, 305, 3, {14}, CardBrand::DinersClub),
    rule(3528, 3589, 4, {16, 17, 18, 19}, CardBrand::Jcb),
    rule(62, 62, 2, {16, 17, 18, 19}, CardBrand::UnionPay),
};

// American Express prints its 15 digits 4-6-5; every other brand groups by
// four.

constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() < MIN_DIGITS || s.size() > MAX_DIGITS) return ErrorCode::InvalidLength;
    if (!all_digits(s)) return ErrorCode::InvalidCharset;
    if (algorithms::luhn::checksum(s) % 10 != 0) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

constexpr void display_form(std::string_view digits, CardBrand brand, InlineString& out) noexcept {
    if (brand == CardBrand::Amex) {
        grouped_into<4, 6, 5>(digits, ' ', out);
    } else {
        group_by_four_into(digits, out);
    }
}

}  // namespace

CardBrand detect_brand(std::string_view digits) noexcept {
    std::uint32_t prefix = 0;
    for (std::size_t i = 0; i < PREFIX_DIGITS; ++i) {
        prefix = prefix * 10 + (i < digits.size() ? digit_value(digits[i]) : 0);  // no rule fits a short number
    }
    const std::uint32_t length_bit = digits.size() < 32 ? std::uint32_t{1} << digits.size() : 0;
    for (const BrandRule& r : BRAND_RULES) {
        if (prefix >= r.low && prefix <= r.high && (r.lengths & length_bit) != 0) return r.brand;
    }
    return CardBrand::Unknown;
}

ValidationResult validate(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (auto error = first_failure_of<Fold::None, ErrorCode::InvalidLength>(input, r.compact, first_failure)) {
            return error;
        }
        const CardBrand brand = detect_brand(r.compact.view());
        display_form(r.compact.view(), brand, r.formatted);
        r.details.emplace<CreditCardDetails>(CreditCardDetails{brand});
        return std::nullopt;
    });
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::None, ErrorCode::InvalidLength>(input, s, first_failure);
}

}  // namespace cobalis::validators::credit_card
