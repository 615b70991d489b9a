#include "core/validators/vat/vat.hpp"

#include <cstddef>
#include <optional>
#include <array>

#include "core/data/letter_pair_map.hpp"
#include "core/validators/text.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat {
namespace {

// The prefix and at least two bytes of national part (Romania's shortest).
inline constexpr std::size_t MIN_STORED = 4;
inline constexpr std::size_t PREFIX_LENGTH = 2;

using Check = bool (*)(std::string_view) noexcept;

// A country's two rules over the national part: its shape, and the national
// check digit that strict validation asks for besides.
struct Rules {
    Check shape = nullptr;
    Check check = nullptr;
};

// Each country's pair; GR serves EL as well.
constexpr Rules AT{at::is_valid, at::has_valid_check};
constexpr Rules BE{be::is_valid, be::has_valid_check};
constexpr Rules BG{bg::is_valid, bg::has_valid_check};
constexpr Rules CY{cy::is_valid, cy::has_valid_check};
constexpr Rules CZ{cz::is_valid, cz::has_valid_check};
constexpr Rules DE{de::is_valid, de::has_valid_check};
constexpr Rules DK{dk::is_valid, dk::has_valid_check};
constexpr Rules EE{ee::is_valid, ee::has_valid_check};
constexpr Rules ES{es::is_valid, es::has_valid_check};
constexpr Rules FI{fi::is_valid, fi::has_valid_check};
constexpr Rules FR{fr::is_valid, fr::has_valid_check};
constexpr Rules GB{gb::is_valid, gb::has_valid_check};
constexpr Rules GR{gr::is_valid, gr::has_valid_check};
constexpr Rules HR{hr::is_valid, hr::has_valid_check};
constexpr Rules HU{hu::is_valid, hu::has_valid_check};
constexpr Rules IE{ie::is_valid, ie::has_valid_check};
constexpr Rules IT{it::is_valid, it::has_valid_check};
constexpr Rules LT{lt::is_valid, lt::has_valid_check};
constexpr Rules LU{lu::is_valid, lu::has_valid_check};
constexpr Rules LV{lv::is_valid, lv::has_valid_check};
constexpr Rules MT{mt::is_valid, mt::has_valid_check};
constexpr Rules NL{nl::is_valid, nl::has_valid_check};
constexpr Rules PL{pl::is_valid, pl::has_valid_check};
constexpr Rules PT{pt::is_valid, pt::has_valid_check};
constexpr Rules RO{ro::is_valid, ro::has_valid_check};
constexpr Rules SE{se::is_valid, se::has_valid_check};
constexpr Rules SI{si::is_valid, si::has_valid_check};
constexpr Rules SK{sk::is_valid, sk::has_valid_check};

// The rules of each prefix, found by its two letters with one load: a chain
// of comparisons or a jump table would be one more branch whose way depends
// on the input's country.
constexpr data::LetterPairMap<Rules, 29> RULES{std::array<data::Entry<Rules>, 29>{{
    {"AT", AT}, {"BE", BE}, {"BG", BG}, {"CY", CY}, {"CZ", CZ}, {"DE", DE}, {"DK", DK}, {"EE", EE},
    {"EL", GR}, {"ES", ES}, {"FI", FI}, {"FR", FR}, {"GB", GB}, {"GR", GR}, {"HR", HR}, {"HU", HU},
    {"IE", IE}, {"IT", IT}, {"LT", LT}, {"LU", LU}, {"LV", LV}, {"MT", MT}, {"NL", NL}, {"PL", PL},
    {"PT", PT}, {"RO", RO}, {"SE", SE}, {"SI", SI}, {"SK", SK},
}}};

// The rules for a prefix, or none (both null).
constexpr Rules rules_for(char first, char second) noexcept {
    const Rules* rules = RULES.find(first, second);
    return rules != nullptr ? *rules : Rules{};
}

constexpr bool is_greek_alias(char first, char second) noexcept { return first == 'E' && second == 'L'; }

// A known country is a prefix with a rule of its own: every rule but the
// Greek alias.
constexpr bool has_own_rule(char first, char second) noexcept {
    return !is_greek_alias(first, second) && rules_for(first, second).shape != nullptr;
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

// How far a normalised text with a valid prefix gets through its country's
// rules: no rule or a failed shape, a failed national check, or both passed.
enum class Verdict { BadShape, BadCheck, Passed };

template <bool strict>
Verdict country_verdict(std::string_view s) noexcept {
    const Rules rules = rules_for(s[0], s[1]);
    const std::string_view national = s.substr(PREFIX_LENGTH);
    if (rules.shape == nullptr || !rules.shape(national)) return Verdict::BadShape;
    if (strict && !rules.check(national)) return Verdict::BadCheck;
    return Verdict::Passed;
}

template <bool strict>
ValidationResult validate_with(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (!normalise<Fold::Upper>(input, r.compact)) return ErrorCode::InvalidCharset;
        const std::string_view text = r.compact.view();
        if (auto error = prefix_failure(text)) return error;
        const auto country = is_greek_alias(text[0], text[1]) ? FixedCode<2>::from("GR") : FixedCode<2>::from(text);
        switch (country_verdict<strict>(text)) {
            case Verdict::BadShape:
                return is_known_country(country.bytes[0], country.bytes[1]) ? ErrorCode::InvalidStructure
                                                                              : ErrorCode::UnsupportedCountry;
            case Verdict::BadCheck: return ErrorCode::InvalidChecksum;
            case Verdict::Passed: break;
        }
        r.formatted = r.compact;
        r.details.emplace<VatDetails>(VatDetails{country});
        return std::nullopt;
    });
}

template <bool strict>
bool is_valid_with(std::string_view input) noexcept {
    InlineString s;
    return normalise<Fold::Upper>(input, s) && !prefix_failure(s.view()) &&
           country_verdict<strict>(s.view()) == Verdict::Passed;
}

}  // namespace

bool is_known_country(char first, char second) noexcept { return has_own_rule(first, second); }

ValidationResult validate(std::string_view input) noexcept { return validate_with<false>(input); }
bool is_valid(std::string_view input) noexcept { return is_valid_with<false>(input); }
bool is_valid_normal(std::string_view s) noexcept {
    return !prefix_failure(s) && country_verdict<false>(s) == Verdict::Passed;
}

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<true>(input); }
bool is_valid_strict(std::string_view input) noexcept { return is_valid_with<true>(input); }
bool is_valid_strict_normal(std::string_view s) noexcept {
    return !prefix_failure(s) && country_verdict<true>(s) == Verdict::Passed;
}

}  // namespace cobalis::validators::vat
