#include "core/validators/iban.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include "core/data/static_map.hpp"
#include "core/validators/iban_registry.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::iban {
namespace {

// The registry read as map entries: country code to total length.
constexpr std::array<data::Entry<std::uint8_t>, IBAN_REGISTRY.size()> length_entries() noexcept {
    std::array<data::Entry<std::uint8_t>, IBAN_REGISTRY.size()> entries{};
    for (std::size_t i = 0; i < IBAN_REGISTRY.size(); ++i) {
        entries[i] = {IBAN_REGISTRY[i].country, IBAN_REGISTRY[i].length};
    }
    return entries;
}

}  // namespace

// Total IBAN length per country, country code and check digits included. The
// type is spelled out: deduced from the initialiser, g++ 12 places the
// constant in writable data.
constexpr data::StaticMap<std::uint8_t, IBAN_REGISTRY.size()> IBAN_LENGTHS{length_entries()};
static_assert(IBAN_LENGTHS.size() == 89);
static_assert(*IBAN_LENGTHS.find("NO") == 15 && *IBAN_LENGTHS.find("RU") == 33 && *IBAN_LENGTHS.find("GB") == 22);
static_assert(IBAN_LENGTHS.find("XX") == nullptr && IBAN_LENGTHS.find("gb") == nullptr);

namespace {

inline constexpr std::size_t MIN_STORED = 5;

// The checks in their order; the first that fails names the error.
constexpr std::optional<ErrorCode> first_failure(std::string_view s) noexcept {
    if (s.size() < MIN_STORED) return ErrorCode::InvalidLength;
    if (!is_upper(s[0]) || !is_upper(s[1])) return ErrorCode::InvalidCountry;
    if (!is_digit(s[2]) || !is_digit(s[3])) return ErrorCode::InvalidStructure;
    const auto* length = IBAN_LENGTHS.find(s.substr(0, 2));
    if (length == nullptr) return ErrorCode::UnsupportedCountry;
    if (s.size() != *length) return ErrorCode::InvalidLength;
    // The character set and the check digits in one pass, the characters
    // judged first: the first four are already known to be letters and digits.
    const Mod97 rearranged = mod97(s.substr(4), s.substr(0, 4));
    if (!rearranged.all_alphanumeric) return ErrorCode::InvalidCharset;
    if (rearranged.remainder != 1) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

}  // namespace

// Reaching this while the rules are built stops the compilation.
void registry_layout_disagrees_with_its_length();

namespace {

// ---- strict: the registry's BBAN layout and the national check digits ------

// The BBAN layout as masks over its places, bit i for character i: `fixed`
// marks the places open to one class only, `letters` those of them that take
// letters; the others take digits.
struct BbanRules {
    std::uint32_t fixed = 0;
    std::uint32_t letters = 0;
    NationalCheck check = NationalCheck::None;
};

inline constexpr std::size_t MAX_BBAN = 32;  // one bit per place
inline constexpr std::size_t WORD = 8;

// A layout such as "4!a6!n8!n": runs of a count, "!" and a class (n digits,
// a upper-case letters, c either).
consteval BbanRules rules_of(const Registered& entry) {
    BbanRules rules{0, 0, entry.check};
    std::size_t place = 0;
    std::size_t count = 0;
    for (const char c : entry.bban) {
        if (is_digit(c)) {
            count = count * 10 + digit_value(c);
        } else if (c != '!') {
            const std::uint32_t run = ((std::uint32_t{1} << count) - 1) << place;
            if (c != 'c') rules.fixed |= run;
            if (c == 'a') rules.letters |= run;
            place += count;
            count = 0;
        }
    }
    if (place != entry.length - 4u || place > MAX_BBAN || place < WORD) registry_layout_disagrees_with_its_length();
    return rules;
}

static_assert(rules_of({"GB", 22, "4!a6!n8!n", NationalCheck::None}).fixed == 0x3FFFF);
static_assert(rules_of({"GB", 22, "4!a6!n8!n", NationalCheck::None}).letters == 0xF);
static_assert(rules_of({"BR", 29, "8!n5!n10!n1!a1!c", NationalCheck::None}).fixed == 0xFFFFFF);
static_assert(rules_of({"BR", 29, "8!n5!n10!n1!a1!c", NationalCheck::None}).letters == 0x800000);

consteval std::array<data::Entry<BbanRules>, IBAN_REGISTRY.size()> rules_entries() {
    std::array<data::Entry<BbanRules>, IBAN_REGISTRY.size()> entries{};
    for (std::size_t i = 0; i < IBAN_REGISTRY.size(); ++i) {
        entries[i] = {IBAN_REGISTRY[i].country, rules_of(IBAN_REGISTRY[i])};
    }
    return entries;
}

constexpr data::StaticMap<BbanRules, IBAN_REGISTRY.size()> BBAN_RULES{rules_entries()};

// Eight characters from `at` on as one little-endian word: one load where
// the machine is little-endian.
constexpr std::uint64_t word_at(std::string_view s, std::size_t at) noexcept {
    std::uint64_t word = 0;
    if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
        std::memcpy(&word, s.data() + at, WORD);
        return word;
    }
    for (std::size_t i = 0; i < WORD; ++i) word |= std::uint64_t{static_cast<std::uint8_t>(s[at + i])} << (8 * i);
    return word;
}

inline constexpr std::uint64_t LOW_BIT_OF_EACH_BYTE = 0x0101010101010101;
// Moves bit 8i to bit 56 + i for every i, with no two products overlapping.
inline constexpr std::uint64_t GATHER = 0x0102040810204080;

// Bit i set where character i of `bban` (8 to 32 of them) is a letter. Past
// the international checks only digits and letters A..Z remain, and they
// differ in bit 6 (0x30..0x39 against 0x41..0x5A), gathered from eight
// characters at a time by one multiply; the last word may overlap the one
// before it.
constexpr std::uint32_t letters_of(std::string_view bban) noexcept {
    std::uint32_t letters = 0;
    for (std::size_t at = 0; at < bban.size(); at += WORD) {
        const std::size_t from = at + WORD <= bban.size() ? at : bban.size() - WORD;
        const std::uint64_t bit6 = (word_at(bban, from) >> 6) & LOW_BIT_OF_EACH_BYTE;
        letters |= static_cast<std::uint32_t>((bit6 * GATHER) >> 56) << from;
    }
    return letters;
}

static_assert(letters_of("WEST12345698765432") == 0xF && letters_of("12345678") == 0);
static_assert(letters_of("0000000000000000000000000000000Z") == 0x80000000);
static_assert(letters_of("A0B0C0D0E0F0G0H0I0J0K") == 0x155555);

// The plain checks, then the BBAN's layout and its national check digits.
std::optional<ErrorCode> strict_failure(std::string_view s) noexcept {
    if (const auto error = first_failure(s)) return error;
    const BbanRules& rules = *BBAN_RULES.find(s.substr(0, 2));  // the plain checks found the country
    if ((letters_of(s.substr(4)) & rules.fixed) != rules.letters) return ErrorCode::InvalidStructure;
    if (!national_check_holds(rules.check, s)) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

template <auto checks>
ValidationResult validate_with(std::string_view input) noexcept {
    InlineString s;
    if (auto error = first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, checks)) {
        return ValidationResult::invalid(*error);
    }
    const std::string_view text = s.view();
    const IbanDetails details{FixedCode<2>::from(text.substr(0, 2)), FixedCode<2>::from(text.substr(2, 2)),
                              static_cast<std::uint8_t>(text.size() - 4)};
    return ValidationResult::valid(s, group_by_four(text), details);
}

template <auto checks>
bool is_valid_with(std::string_view input) noexcept {
    InlineString s;
    return !first_failure_of<Fold::Upper, ErrorCode::InvalidCharset>(input, s, checks);
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept { return validate_with<first_failure>(input); }
bool is_valid(std::string_view input) noexcept { return is_valid_with<first_failure>(input); }

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<strict_failure>(input); }
bool is_valid_strict(std::string_view input) noexcept { return is_valid_with<strict_failure>(input); }

}  // namespace cobalis::validators::iban
