#include "core/validators/iban.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include "core/data/letter_pair_map.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/mod97.hpp"
#include "core/kernels/mod97_rearranged.hpp"
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
constexpr data::LetterPairMap<std::uint8_t, IBAN_REGISTRY.size()> IBAN_LENGTHS{length_entries()};
static_assert(IBAN_LENGTHS.size() == 89);
static_assert(*IBAN_LENGTHS.find("NO") == 15 && *IBAN_LENGTHS.find("RU") == 33 && *IBAN_LENGTHS.find("GB") == 22);
static_assert(IBAN_LENGTHS.find("XX") == nullptr && IBAN_LENGTHS.find("gb") == nullptr);

// Reaching this while the rules are built stops the compilation.
void registry_layout_disagrees_with_its_length();

namespace {

// ---- strict: the registry's BBAN layout and the national check digits ------

// Places of an IBAN, one bit each: the registry's longest has 34 characters.
inline constexpr std::size_t MAX_IBAN = kernels::SHORT_TEXT;
using Places = std::uint64_t;

// A country's rules for strict validation: its length, as in IBAN_LENGTHS;
// its BBAN layout as masks over the places, `fixed` marking the places open
// to one class only and `letters` those of them that take letters (the
// others take digits); and its national check.
struct StrictRules {
    std::uint8_t length = 0;
    NationalCheck check = NationalCheck::None;
    Places fixed = 0;
    Places letters = 0;
};

// Past the international checks only digits and letters remain: the layout
// holds when the letters stand where it wants letters and nowhere it wants
// digits.
constexpr bool layout_holds(const StrictRules& rules, Places letters) noexcept {
    return (letters & rules.fixed) == rules.letters;
}

// A layout such as "4!a6!n8!n": runs of a count, "!" and a class (n digits,
// a upper-case letters, c either). The country code and check digits are
// left open: the international checks have judged them.
consteval StrictRules rules_of(const Registered& entry) {
    std::array<char, MAX_IBAN> classes{'c', 'c', 'c', 'c'};
    std::size_t length = 4;
    std::size_t count = 0;
    for (const char c : entry.bban) {
        if (is_digit(c)) {
            count = count * 10 + digit_value(c);
        } else if (c != '!') {
            if (length + count > MAX_IBAN) registry_layout_disagrees_with_its_length();
            for (; count > 0; --count) classes[length++] = c;
        }
    }
    if (length != entry.length) registry_layout_disagrees_with_its_length();
    StrictRules rules{entry.length, entry.check, 0, 0};
    for (std::size_t p = 0; p < length; ++p) {
        if (classes[p] != 'c') rules.fixed |= Places{1} << p;
        if (classes[p] == 'a') rules.letters |= Places{1} << p;
    }
    return rules;
}

// The letters' places in a text: the letter set's mask over it.
inline constexpr kernels::AsciiSet SPACE{" "};

constexpr Places letter_places(std::string_view text) noexcept {
    return kernels::set_masks<kernels::ASCII_LETTERS>(text)[0];
}

// The printed form of an IBAN: groups of four separated by one space, the
// spaces at places 4, 9, 14, ... (before the last byte) of a text of `n`
// bytes.
constexpr Places printed_spaces(std::size_t n) noexcept {
    Places spaces = 0;
    for (std::size_t p = 4; p + 1 < n; p += 5) spaces |= Places{1} << p;
    return spaces;
}

// How many spaces the printed form of n characters holds: one after every
// group of four but the last.
constexpr std::size_t printed_space_count(std::size_t n) noexcept { return n < 6 ? 0 : (n - 6) / 5 + 1; }
static_assert([] {
    for (std::size_t n = 0; n <= kernels::SHORT_TEXT; ++n) {
        if (printed_space_count(n) != static_cast<std::size_t>(std::popcount(printed_spaces(n)))) return false;
    }
    return true;
}());

// The places of the printed form moved to those of the normal form: every
// fifth place, a space, dropped.
constexpr Places without_spaces(Places printed) noexcept {
    Places normal = 0;
    for (std::size_t group = 0; 5 * group < kernels::SHORT_TEXT; ++group) {
        normal |= ((printed >> (5 * group)) & 0xF) << (4 * group);
    }
    return normal;
}

inline constexpr Registered GB{"GB", 22, "4!a6!n8!n", NationalCheck::None};
inline constexpr Registered BR{"BR", 29, "8!n5!n10!n1!a1!c", NationalCheck::None};
static_assert(layout_holds(rules_of(GB), letter_places("GB82WEST12345698765432")));
static_assert(!layout_holds(rules_of(GB), letter_places("GB82WES712345698765432")));
static_assert(!layout_holds(rules_of(GB), letter_places("GB82WEST1234569876543Z")));
static_assert(layout_holds(rules_of(BR), letter_places("BR1800360305000010009795493C1")) &&
              layout_holds(rules_of(BR), letter_places("BR1800360305000010009795493CZ")) &&
              !layout_holds(rules_of(BR), letter_places("BR18003603050000100097954931Z")) &&
              !layout_holds(rules_of(BR), letter_places("BR18A0360305000010009795493C1")));
static_assert(without_spaces(letter_places("GB82 WEST 1234 5698 7654 32")) == letter_places("GB82WEST12345698765432"));
static_assert(printed_spaces(27) == kernels::set_masks<SPACE>("GB82 WEST 1234 5698 7654 32")[0]);

consteval std::array<data::Entry<StrictRules>, IBAN_REGISTRY.size()> strict_entries() {
    std::array<data::Entry<StrictRules>, IBAN_REGISTRY.size()> entries{};
    for (std::size_t i = 0; i < IBAN_REGISTRY.size(); ++i) {
        entries[i] = {IBAN_REGISTRY[i].country, rules_of(IBAN_REGISTRY[i])};
    }
    return entries;
}

constexpr data::LetterPairMap<StrictRules, IBAN_REGISTRY.size()> STRICT_RULES{strict_entries()};

// ---- the checks ----------------------------------------------------------------

inline constexpr std::size_t MIN_STORED = 5;

constexpr std::size_t length_of(std::uint8_t length) noexcept { return length; }
constexpr std::size_t length_of(const StrictRules& rules) noexcept { return rules.length; }

// What the international checks need of the normal form, read from the input
// without writing the normal form down: its first four bytes, its length,
// its character set, and what MOD 97-10 makes of it.
using Facts = kernels::NormalMod97;

constexpr Facts facts_of(std::string_view input) noexcept {
    return kernels::mod97_of_normal_form(input, InlineString::CAPACITY);
}

// Whether MOD 97-10 of the IBAN with its first four characters moved to the
// end leaves 1. The IBAN as written reads H * 10^p + R, the rearranged one
// R * 10^6 + H, where H is the first four (six places, as they are two
// letters and two digits) and R the rest; so the rearranged one is
// 10^6 * (written) + H * (1 - 10^(p + 6)), all mod 97.
constexpr bool rearranged_leaves_one(const Facts& f) noexcept {
    using kernels::MODULUS;
    using kernels::power_of_ten;
    const std::uint32_t one_minus_power = MODULUS + 1 - power_of_ten(f.places);
    const std::uint64_t rearranged = std::uint64_t{f.residue} * power_of_ten(HEAD_PLACES) +
                                     std::uint64_t{head_number({f[0], f[1], f[2], f[3]})} * one_minus_power;
    return rearranged % MODULUS == 1;
}
static_assert(rearranged_leaves_one(facts_of("GB82 WEST 1234 5698 7654 32")));
static_assert(!rearranged_leaves_one(facts_of("GB82WEST12345698765433")));

// The international checks in their order; the first that fails names the
// error. `table` gives each country's entry, whose length the IBAN must
// have; `found` receives it.
template <const auto& table, class Value>
constexpr std::optional<ErrorCode> international_failure(const Facts& f, const Value*& found) noexcept {
    // A normal form past the capacity: the normaliser's own refusal.
    if (f.size > InlineString::CAPACITY) return ErrorCode::InvalidCharset;
    if (f.size < MIN_STORED) return ErrorCode::InvalidLength;
    if (!is_upper(f[0]) || !is_upper(f[1])) return ErrorCode::InvalidCountry;
    if (!is_digit(f[2]) || !is_digit(f[3])) return ErrorCode::InvalidStructure;
    found = table.find(f[0], f[1]);
    if (found == nullptr) return ErrorCode::UnsupportedCountry;
    if (f.size != length_of(*found)) return ErrorCode::InvalidLength;
    if (!f.all_alphanumeric) return ErrorCode::InvalidCharset;
    if (!rearranged_leaves_one(f)) return ErrorCode::InvalidChecksum;
    return std::nullopt;
}

// The letters' places in the normal form, read from the input where it is
// written compact or in its printed form (letters of either case), from the
// normal form otherwise.
template <class NormalForm>
Places letters_of_normal_form(std::string_view input, std::size_t normal_size, NormalForm& normal_form) noexcept {
    if (input.size() <= kernels::SHORT_TEXT) {
        const auto [letters, spaces] = kernels::set_masks<kernels::ASCII_LETTERS, SPACE>(input);
        if (normal_size == input.size()) return letters;
        const Places printed = printed_spaces(input.size());
        if (spaces == printed && normal_size == input.size() - printed_space_count(input.size())) {
            return without_spaces(letters);
        }
    }
    return letter_places(normal_form());
}

// The checks strict validation adds, in their order, for an IBAN that has
// passed the international ones: its normal form has the country's length.
template <class NormalForm>
std::optional<ErrorCode> national_failure(std::string_view input, const StrictRules& rules,
                                          NormalForm& normal_form) noexcept {
    if (!layout_holds(rules, letters_of_normal_form(input, rules.length, normal_form))) {
        return ErrorCode::InvalidStructure;
    }
    // Most countries have no national check: no call for them.
    if (rules.check != NationalCheck::None && !national_check_holds(rules.check, normal_form())) {
        return ErrorCode::InvalidChecksum;
    }
    return std::nullopt;
}

// The checks of plain or strict validation in their order. Strict
// validation adds the BBAN's layout and its national check digits, which
// read the normal form: `normal_form()` writes it down, once the
// international checks have passed.
template <bool strict, class NormalForm>
std::optional<ErrorCode> first_failure(std::string_view input, const Facts& f, NormalForm& normal_form) noexcept {
    if constexpr (strict) {
        const StrictRules* rules = nullptr;
        if (const auto error = international_failure<STRICT_RULES>(f, rules)) return error;
        return national_failure(input, *rules, normal_form);
    } else {
        const std::uint8_t* length = nullptr;
        return international_failure<IBAN_LENGTHS>(f, length);
    }
}

// ---- the fast path -----------------------------------------------------------

// Total IBAN length per country, read without a branch: 32 x 32 places
// indexed by the low five bits of the country code's two bytes (1..26 for a
// letter of either case), 0 where no country is registered. Any two bytes
// read a place; whether they are letters is checked apart.
inline constexpr std::size_t LETTER_BITS = 0x1F;
inline constexpr auto LENGTH_BY_PAIR = [] {
    std::array<std::uint8_t, (LETTER_BITS + 1) * (LETTER_BITS + 1)> lengths{};
    for (const Registered& entry : IBAN_REGISTRY) {
        lengths[(entry.country[0] & LETTER_BITS) * (LETTER_BITS + 1) + (entry.country[1] & LETTER_BITS)] = entry.length;
    }
    return lengths;
}();

inline constexpr std::size_t SHORTEST_IBAN = std::min_element(IBAN_REGISTRY.begin(), IBAN_REGISTRY.end(),
                                                               [](const Registered& a, const Registered& b) {
                                                                   return a.length < b.length;
                                                               })->length;
static_assert(SHORTEST_IBAN == 15);

// Byte i of a head of four bytes.
constexpr std::uint32_t head_byte(std::uint32_t head, unsigned i) noexcept { return (head >> (8 * i)) & 0xFF; }

constexpr std::size_t registered_length(std::uint32_t head) noexcept {
    return LENGTH_BY_PAIR[(head_byte(head, 0) & LETTER_BITS) * (LETTER_BITS + 1) + (head_byte(head, 1) & LETTER_BITS)];
}

// Two letters of either case, then two digits.
constexpr bool head_well_formed(std::uint32_t head) noexcept {
    const auto letter = [head](unsigned i) { return ((head_byte(head, i) | 0x20) - 'a') < 26; };
    const auto digit = [head](unsigned i) { return (head_byte(head, i) - '0') < 10; };
    return letter(0) & letter(1) & digit(2) & digit(3);
}

// Whether the international checks all pass, the same answer as
// international_failure finding none, but every check made and their answers
// joined without a branch: about half the inputs fail, and which check fails
// varies from one to the next. A length past the capacity is no registered
// length.
constexpr bool international_checks_pass(const Facts& f) noexcept {
    return head_well_formed(f.head) & (registered_length(f.head) == f.size) & f.all_alphanumeric &
           rearranged_leaves_one(f);
}
static_assert(international_checks_pass(facts_of("GB82 WEST 1234 5698 7654 32")));
static_assert(!international_checks_pass(facts_of("GB82 WEST 1234 5698 7654 3")));
static_assert(!international_checks_pass(facts_of("gb82 WEST 1234 5698 7654 33")));

// The same over MOD 97-10 of the IBAN already rearranged, for a text whose
// head is its first four bytes, `head` (letters of either case).
inline constexpr std::uint32_t HEAD_LETTERS = 0b0011, HEAD_DIGITS = 0b1100;

constexpr bool rearranged_checks_pass(const kernels::RearrangedMod97& r, std::uint32_t head) noexcept {
    return (r.head_letters == HEAD_LETTERS) & (r.head_digits == HEAD_DIGITS) & (registered_length(head) == r.size) &
           r.all_alphanumeric & (r.remainder() == 1);
}
static_assert(rearranged_checks_pass(kernels::scalar::mod97_rearranged("GB82 WEST 1234 5698 7654 32"), 0x32384247));
static_assert(rearranged_checks_pass(kernels::scalar::mod97_rearranged("gb82WEST12345698765432"), 0x32386267));
static_assert(!rearranged_checks_pass(kernels::scalar::mod97_rearranged("GB82WEST12345698765433"), 0x32384247));
static_assert(!rearranged_checks_pass(kernels::scalar::mod97_rearranged("G382WEST12345698765432"), 0x32383347));

// Writes the normal form into `s` once, when first asked for it; its bytes
// were counted by the checks, so it fits.
struct NormalForm {
    std::string_view input;
    InlineString& s;
    bool written = false;

    std::string_view operator()() noexcept {
        if (!written) written = normalise<Fold::Upper>(input, s);
        return s.view();
    }
};

template <bool strict>
ValidationResult validate_with(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        NormalForm normal_form{input, r.compact};
        if (auto error = first_failure<strict>(input, facts_of(input), normal_form)) return error;
        const std::string_view text = normal_form();
        r.details.emplace<IbanDetails>(IbanDetails{FixedCode<2>::from(text.substr(0, 2)),
                                                   FixedCode<2>::from(text.substr(2, 2)),
                                                   static_cast<std::uint8_t>(text.size() - 4)});
        group_by_four_into(text, r.formatted);
        return std::nullopt;
    });
}

// Plain is_valid, one body per processor, chosen once: the MOD 97-10 kernel
// is built into each, so that its answer never leaves the registers and the
// checks above run on it where it is made.
bool is_valid_plain_scalar(const char* p, std::size_t size) noexcept {
    return international_checks_pass(kernels::scalar::mod97_of_normal_form({p, size}, InlineString::CAPACITY));
}

#ifdef COBALIS_KERNELS_SSE2
[[gnu::target("ssse3,popcnt")]] bool is_valid_plain_ssse3(const char* p, std::size_t size) noexcept {
    return international_checks_pass(kernels::ssse3::mod97_of_normal_form(p, size, InlineString::CAPACITY));
}

// Texts past the short window, or with a separator among their first four
// bytes, kept apart so that the common body saves no registers for them.
[[gnu::target("avx2,popcnt"), gnu::noinline]] bool is_valid_plain_avx2_other(const char* p,
                                                                            std::size_t size) noexcept {
    return international_checks_pass(kernels::avx2::mod97_of_normal_form(p, size, InlineString::CAPACITY));
}

[[gnu::target("avx2,popcnt")]] bool is_valid_plain_avx2(const char* p, std::size_t size) noexcept {
    // Dropping separators only shortens a text: one shorter than the
    // shortest IBAN holds none.
    if (size < SHORTEST_IBAN) return false;
    kernels::RearrangedMod97 r;
    if (kernels::fits_short_window(size)) {
        r = kernels::avx2::mod97_rearranged_short(p, size);
    } else if (kernels::avx2::fits_two_windows(size)) {
        r = kernels::avx2::mod97_rearranged_two_windows(p, size);
    } else {
        return is_valid_plain_avx2_other(p, size);
    }
    if (!r.head_in_place) return is_valid_plain_avx2_other(p, size);
    return rearranged_checks_pass(r, kernels::sse2::load32(p));
}
#endif

bool is_valid_plain(std::string_view input) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    return kernels::Chosen<&is_valid_plain_scalar, &is_valid_plain_ssse3, &is_valid_plain_avx2>::call(input.data(),
                                                                                                     input.size());
#else
    return is_valid_plain_scalar(input.data(), input.size());
#endif
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept { return validate_with<false>(input); }
bool is_valid(std::string_view input) noexcept { return is_valid_plain(input); }

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<true>(input); }
// Strict is_valid: the plain answer first, as most invalid inputs fail
// there; an IBAN that passes it has a registered country and its length,
// and the country's layout and national check follow.
bool is_valid_strict(std::string_view input) noexcept {
    if (!is_valid_plain(input)) return false;
    // The country's letters, of either case: most IBANs begin with them.
    const char first = to_upper(input[0]), second = to_upper(input[1]);
    const StrictRules* rules = nullptr;
    if (is_upper(first) && is_upper(second)) {
        rules = STRICT_RULES.find(first, second);
    } else {
        const std::uint32_t head = kernels::scalar::head_of_normal_form(input);
        rules = STRICT_RULES.find(static_cast<char>(head_byte(head, 0)), static_cast<char>(head_byte(head, 1)));
    }
    InlineString s;
    NormalForm normal_form{input, s};
    return !national_failure(input, *rules, normal_form);
}

}  // namespace cobalis::validators::iban
