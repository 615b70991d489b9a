#include "core/validators/vat/vat.hpp"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <utility>

#include "core/validators/text.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat {
namespace {

// The prefix and at least two bytes of national part (Romania's shortest).
inline constexpr std::size_t MIN_STORED = 4;
inline constexpr std::size_t PREFIX_LENGTH = 2;

using Rule = bool (*)(std::string_view) noexcept;

// The rule for a prefix, or nullptr when there is none: a switch on the
// first letter, then on the second.
constexpr Rule rule_for(char first, char second) noexcept {
    const auto pick = [second](std::initializer_list<std::pair<char, Rule>> rules) -> Rule {
        for (const auto& [letter, rule] : rules) {
            if (letter == second) return rule;
        }
        return nullptr;
    };
    switch (first) {
        case 'A': return pick({{'T', at::is_valid}});
        case 'B': return pick({{'E', be::is_valid}, {'G', bg::is_valid}});
        case 'C': return pick({{'Y', cy::is_valid}, {'Z', cz::is_valid}});
        case 'D': return pick({{'E', de::is_valid}, {'K', dk::is_valid}});
        case 'E': return pick({{'E', ee::is_valid}, {'L', gr::is_valid}, {'S', es::is_valid}});
        case 'F': return pick({{'I', fi::is_valid}, {'R', fr::is_valid}});
        case 'G': return pick({{'B', gb::is_valid}, {'R', gr::is_valid}});
        case 'H': return pick({{'R', hr::is_valid}, {'U', hu::is_valid}});
        case 'I': return pick({{'E', ie::is_valid}, {'T', it::is_valid}});
        case 'L': return pick({{'T', lt::is_valid}, {'U', lu::is_valid}, {'V', lv::is_valid}});
        case 'M': return pick({{'T', mt::is_valid}});
        case 'N': return pick({{'L', nl::is_valid}});
        case 'P': return pick({{'L', pl::is_valid}, {'T', pt::is_valid}});
        case 'R': return pick({{'O', ro::is_valid}});
        case 'S': return pick({{'E', se::is_valid}, {'I', si::is_valid}, {'K', sk::is_valid}});
        default: return nullptr;
    }
}

constexpr bool is_greek_alias(char first, char second) noexcept { return first == 'E' && second == 'L'; }

// A known country is a prefix with a rule of its own: every rule but the
// Greek alias.
constexpr bool has_own_rule(char first, char second) noexcept {
    return !is_greek_alias(first, second) && rule_for(first, second) != nullptr;
}

constexpr std::size_t KNOWN_COUNTRY_COUNT = 28;
constexpr std::size_t count_known_countries() noexcept {
    std::size_t n = 0;
    for (char first = 'A'; first <= 'Z'; ++first) {
        for (char second = 'A'; second <= 'Z'; ++second) n += has_own_rule(first, second) ? 1 : 0;
    }
    return n;
}
static_assert(count_known_countries() == KNOWN_COUNTRY_COUNT);

// The checks before the country rule, in their order.
constexpr std::optional<ErrorCode> prefix_failure(std::string_view s) noexcept {
    if (s.size() < MIN_STORED) return ErrorCode::InvalidLength;
    if (!is_upper(s[0]) || !is_upper(s[1])) return ErrorCode::InvalidCountry;
    return std::nullopt;
}

// The country's rule applied to the national part; false when there is no rule.
bool passes_country_rule(std::string_view s) noexcept {
    const Rule rule = rule_for(s[0], s[1]);
    return rule != nullptr && rule(s.substr(PREFIX_LENGTH));
}

}  // namespace

bool is_known_country(char first, char second) noexcept { return has_own_rule(first, second); }

ValidationResult validate(std::string_view input) noexcept {
    InlineString s;
    if (!normalise<Fold::Upper>(input, s)) return ValidationResult::invalid(ErrorCode::InvalidCharset);
    const std::string_view text = s.view();
    if (auto error = prefix_failure(text)) return ValidationResult::invalid(*error);
    const auto country = is_greek_alias(text[0], text[1]) ? FixedCode<2>::from("GR") : FixedCode<2>::from(text);
    if (!passes_country_rule(text)) {
        return ValidationResult::invalid(is_known_country(country.bytes[0], country.bytes[1])
                                             ? ErrorCode::InvalidStructure
                                             : ErrorCode::UnsupportedCountry);
    }
    return ValidationResult::valid(s, s, VatDetails{country});
}

bool is_valid(std::string_view input) noexcept {
    InlineString s;
    return normalise<Fold::Upper>(input, s) && !prefix_failure(s.view()) && passes_country_rule(s.view());
}

}  // namespace cobalis::validators::vat
