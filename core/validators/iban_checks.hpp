// The checks of an IBAN, and the tables they read, all derived when compiling
// from the one registry table (iban_registry.hpp). The international checks
// are listed once, in their order and with their errors (`judged`), for
// validate and the fast path alike; strict validation adds the country's BBAN
// layout (invalid_structure) and its national check digits
// (invalid_checksum).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/data/letter_pair_map.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/mod97.hpp"
#include "core/kernels/mod97_rearranged.hpp"
#include "core/types.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/iban_registry.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::iban {

// ---- the registry's lengths --------------------------------------------------

// Total IBAN length per country, country code and check digits included, 0
// where no country is registered: 32 x 32 places indexed by the low five
// bits of the country code's two bytes (1..26 for a letter of either case),
// so any two bytes read a place without a branch; whether they are letters
// is checked apart.
inline constexpr std::uint32_t LETTER_BITS = 0x1F;

constexpr std::size_t pair_place(std::uint32_t first, std::uint32_t second) noexcept {
    return (first & LETTER_BITS) * (LETTER_BITS + 1) + (second & LETTER_BITS);
}

inline constexpr auto IBAN_LENGTHS = [] {
    std::array<std::uint8_t, (LETTER_BITS + 1) * (LETTER_BITS + 1)> lengths{};
    for (const Registered& entry : IBAN_REGISTRY) {
        lengths[pair_place(static_cast<std::uint8_t>(entry.country[0]), static_cast<std::uint8_t>(entry.country[1]))] =
            entry.length;
    }
    return lengths;
}();

// Byte i of a head of four bytes.
constexpr std::uint32_t head_byte(std::uint32_t head, unsigned i) noexcept { return (head >> (8 * i)) & 0xFF; }

// The registered length of the country whose letters open `head`.
constexpr std::size_t registered_length(std::uint32_t head) noexcept {
    return IBAN_LENGTHS[pair_place(head_byte(head, 0), head_byte(head, 1))];
}

// Every country has a place of its own, and two letters of either case find it.
static_assert(static_cast<std::size_t>(std::count_if(IBAN_LENGTHS.begin(), IBAN_LENGTHS.end(),
                                                    [](std::uint8_t n) { return n != 0; })) == IBAN_REGISTRY.size());
static_assert(registered_length(0x3230'4F4E) == 15 && registered_length(0x3230'6F6E) == 15);  // "NO02", "no02"
static_assert(registered_length(0x3238'4247) == 22 && registered_length(0x3230'5552) == 33);  // "GB82", "RU02"
static_assert(registered_length(0x3230'5858) == 0);                                          // "XX02"

inline constexpr std::size_t SHORTEST_IBAN =
    std::min_element(IBAN_REGISTRY.begin(), IBAN_REGISTRY.end(), [](const Registered& a, const Registered& b) {
        return a.length < b.length;
    })->length;
static_assert(SHORTEST_IBAN == 15);

// ---- the international checks ------------------------------------------------

// What the international checks read of an IBAN's normal form, however the
// MOD 97-10 kernel found it.
struct Facts {
    std::size_t size;         // bytes of the normal form; past the capacity when it does not fit
    std::uint32_t head;       // its first four bytes, byte i in bits 8i..8i+7
    bool country_letters;     // bytes 1 and 2 are letters, of either case
    bool check_digit_places;  // bytes 3 and 4 are digits
    bool all_alphanumeric;
    bool leaves_one;  // MOD 97-10 of it with the first four bytes moved to the end is 1
};

// A check's answer, and the error of an IBAN that fails it first. The fast
// path skips a check that the others imply once they all hold.
struct Rule {
    bool holds;
    ErrorCode error;
    bool implied_by_the_others = false;
};

inline constexpr bool IMPLIED = true;

inline constexpr std::size_t MIN_STORED = 5;
static_assert(SHORTEST_IBAN >= MIN_STORED &&
              std::all_of(IBAN_REGISTRY.begin(), IBAN_REGISTRY.end(),
                          [](const Registered& entry) { return entry.length <= InlineString::CAPACITY; }));

// The international checks in their order, handed to `verdict`. Every check
// is made: the fast path joins their answers without a branch, as about half
// the inputs it sees fail and which check fails varies from one to the next.
template <class Verdict>
constexpr auto judged(const Facts& f, Verdict verdict) noexcept {
    const std::size_t length = registered_length(f.head);
    // Implied: a text of a registered length fits and has five bytes; one
    // that opens with letters is not empty, so a length of 0 is no match.
    return verdict(Rule{f.size <= InlineString::CAPACITY, ErrorCode::InvalidCharset, IMPLIED},  // else not normalised
                   Rule{f.size >= MIN_STORED, ErrorCode::InvalidLength, IMPLIED},
                   Rule{f.country_letters, ErrorCode::InvalidCountry},
                   Rule{f.check_digit_places, ErrorCode::InvalidStructure},
                   Rule{length != 0, ErrorCode::UnsupportedCountry, IMPLIED},
                   Rule{f.size == length, ErrorCode::InvalidLength},
                   Rule{f.all_alphanumeric, ErrorCode::InvalidCharset},
                   Rule{f.leaves_one, ErrorCode::InvalidChecksum});
}

constexpr bool all_pass(const Facts& f) noexcept {
    return judged(f, [](auto... rule) { return ((rule.implied_by_the_others | rule.holds) & ...); });
}

// The error of the first check failed, if any.
constexpr std::optional<ErrorCode> first_failure(const Facts& f) noexcept {
    return judged(f, [](auto... rule) {
        std::optional<ErrorCode> error;
        (void)((rule.holds || (error = rule.error, false)) && ...);
        return error;
    });
}

// ---- the facts, from the kernels' answers -------------------------------------

// Two letters of either case, then two digits.
constexpr bool country_letters_in(std::uint32_t head) noexcept {
    const auto letter = [head](unsigned i) { return ((head_byte(head, i) | 0x20) - 'a') < 26; };
    return letter(0) & letter(1);
}
constexpr bool check_digit_places_in(std::uint32_t head) noexcept {
    const auto digit = [head](unsigned i) { return (head_byte(head, i) - '0') < 10; };
    return digit(2) & digit(3);
}

// Whether MOD 97-10 of the IBAN with its first four characters moved to the
// end leaves 1. The IBAN as written reads H * 10^p + R, the rearranged one
// R * 10^6 + H, where H is the first four (six places, as they are two
// letters and two digits) and R the rest; so the rearranged one is
// 10^6 * (written) + H * (1 - 10^(p + 6)), all mod 97.
constexpr bool rearranged_leaves_one(const kernels::NormalMod97& f) noexcept {
    using kernels::MODULUS;
    using kernels::power_of_ten;
    const std::uint32_t one_minus_power = MODULUS + 1 - power_of_ten(f.places);
    const std::uint64_t rearranged = std::uint64_t{f.residue} * power_of_ten(HEAD_PLACES) +
                                     std::uint64_t{head_number({f[0], f[1], f[2], f[3]})} * one_minus_power;
    return rearranged % MODULUS == 1;
}

// From MOD 97-10 of the normal form as written; its head is folded.
constexpr Facts facts_of(const kernels::NormalMod97& f) noexcept {
    return {f.size,
            f.head,
            country_letters_in(f.head),
            check_digit_places_in(f.head),
            f.all_alphanumeric,
            rearranged_leaves_one(f)};
}

// From MOD 97-10 of the normal form already rearranged, for a text whose
// head, its first four bytes, is in place.
inline constexpr std::uint32_t COUNTRY_PLACES = 0b0011, CHECK_DIGIT_PLACES = 0b1100;

constexpr Facts facts_of(const kernels::RearrangedMod97& r, std::uint32_t head) noexcept {
    return {r.size,
            head,
            (r.head_letters & COUNTRY_PLACES) == COUNTRY_PLACES,
            (r.head_digits & CHECK_DIGIT_PLACES) == CHECK_DIGIT_PLACES,
            r.all_alphanumeric,
            r.remainder() == 1};
}

// The international checks as the fast path's kernels take them.
struct InternationalChecks {
    static constexpr std::size_t CAPACITY = InlineString::CAPACITY;
    static constexpr std::size_t SHORTEST = SHORTEST_IBAN;
    static constexpr bool pass(const kernels::NormalMod97& f, std::string_view) noexcept {
        return all_pass(facts_of(f));
    }
    static constexpr bool pass(const kernels::RearrangedMod97& r, std::uint32_t head, std::string_view) noexcept {
        return all_pass(facts_of(r, head));
    }
};

constexpr std::optional<ErrorCode> first_failure_of(std::string_view text) noexcept {
    return first_failure(facts_of(kernels::scalar::mod97_of_normal_form(text, InlineString::CAPACITY)));
}
static_assert(!first_failure_of("GB82 WEST 1234 5698 7654 32") && !first_failure_of("gb82west12345698765432"));
static_assert(first_failure_of("GB82WEST12345698765433") == ErrorCode::InvalidChecksum);
static_assert(first_failure_of("GB82WEST1234569876543") == ErrorCode::InvalidLength);
static_assert(first_failure_of("XX82WEST12345698765432") == ErrorCode::UnsupportedCountry);
static_assert(first_failure_of("G382WEST12345698765432") == ErrorCode::InvalidCountry);
static_assert(first_failure_of("GBX2WEST12345698765432") == ErrorCode::InvalidStructure);
static_assert(first_failure_of("GB82WEST1234569876543!") == ErrorCode::InvalidCharset);
static_assert(first_failure_of("GB82") == ErrorCode::InvalidLength);
static_assert(InternationalChecks::pass(kernels::scalar::mod97_rearranged("gb82WEST12345698765432"), 0x32386267, {}));
static_assert(!InternationalChecks::pass(kernels::scalar::mod97_rearranged("GB82WEST12345698765433"), 0x32384247, {}));
static_assert(!InternationalChecks::pass(kernels::scalar::mod97_rearranged("G382WEST12345698765432"), 0x32383347, {}));

// ---- strict: the registry's BBAN layout and the national check digits --------

// Places of an IBAN, one bit each: the registry's longest has 34 characters.
inline constexpr std::size_t MAX_IBAN = kernels::SHORT_TEXT;
using Places = std::uint64_t;

// A country's BBAN layout as masks over the places, `fixed` marking the
// places open to one class only and `letters` those of them that take
// letters (the others take digits); and its national check.
// And the places of the bank and branch identifiers in the IBAN (no branch
// where its length is 0).
struct Layout {
    NationalCheck check = NationalCheck::None;
    Places fixed = 0;
    Places letters = 0;
    std::uint8_t bank_offset = 0, bank_length = 0, branch_offset = 0, branch_length = 0;
};

// Past the international checks only digits and letters remain: the layout
// holds when the letters stand where it wants letters and nowhere it wants
// digits.
constexpr bool layout_holds(const Layout& layout, Places letters) noexcept {
    return (letters & layout.fixed) == layout.letters;
}

// Reaching this while the layouts are built stops the compilation.
void registry_layout_disagrees_with_its_length();

// A layout such as "4!a6!n8!n": runs of a count, "!" and a class (n digits,
// a upper-case letters, c either). The country code and check digits are
// left open: the international checks have judged them.
consteval Layout layout_of(const Registered& entry) {
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
    if (entry.bank_offset + entry.bank_length > length - 4 || entry.branch_offset + entry.branch_length > length - 4 ||
        entry.bank_length > StrictIbanDetails::MAX_CODE || entry.branch_length > StrictIbanDetails::MAX_CODE) {
        registry_layout_disagrees_with_its_length();
    }
    Layout layout{entry.check,
                  0,
                  0,
                  static_cast<std::uint8_t>(4 + entry.bank_offset),
                  entry.bank_length,
                  static_cast<std::uint8_t>(4 + entry.branch_offset),
                  entry.branch_length};
    for (std::size_t p = 0; p < length; ++p) {
        if (classes[p] != 'c') layout.fixed |= Places{1} << p;
        if (classes[p] == 'a') layout.letters |= Places{1} << p;
    }
    return layout;
}

consteval std::array<data::Entry<Layout>, IBAN_REGISTRY.size()> layout_entries() {
    std::array<data::Entry<Layout>, IBAN_REGISTRY.size()> entries{};
    for (std::size_t i = 0; i < IBAN_REGISTRY.size(); ++i) {
        entries[i] = {IBAN_REGISTRY[i].country, layout_of(IBAN_REGISTRY[i])};
    }
    return entries;
}

// The type is spelled out: deduced from the initialiser, g++ 12 places the
// constant in writable data.
inline constexpr data::LetterPairMap<Layout, IBAN_REGISTRY.size()> LAYOUTS{layout_entries()};

// The letters' places in a text: the letter set's mask over it.
constexpr Places letter_places(std::string_view text) noexcept {
    return kernels::set_masks<kernels::ASCII_LETTERS>(text)[0];
}

namespace examples {
inline constexpr Registered GB{"GB", 22, "4!a6!n8!n", NationalCheck::None, 0, 4, 4, 6};
inline constexpr Registered BR{"BR", 29, "8!n5!n10!n1!a1!c", NationalCheck::None, 0, 8, 8, 5};
static_assert(layout_holds(layout_of(GB), letter_places("GB82WEST12345698765432")));
static_assert(!layout_holds(layout_of(GB), letter_places("GB82WES712345698765432")));
static_assert(!layout_holds(layout_of(GB), letter_places("GB82WEST1234569876543Z")));
static_assert(layout_holds(layout_of(BR), letter_places("BR1800360305000010009795493C1")) &&
              layout_holds(layout_of(BR), letter_places("BR1800360305000010009795493CZ")) &&
              !layout_holds(layout_of(BR), letter_places("BR18003603050000100097954931Z")) &&
              !layout_holds(layout_of(BR), letter_places("BR18A0360305000010009795493C1")));
}  // namespace examples

}  // namespace cobalis::validators::iban
