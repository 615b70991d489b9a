// IBANs: the international checks (iban_checks.hpp) over what the MOD 97-10
// kernel reads of the normal form, without writing it down; strict
// validation adds the registry's BBAN layout and the national check digits,
// which read the normal form itself.
#include "core/validators/iban.hpp"

#include <array>
#include <cstring>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/kernels/classes.hpp"
#include "core/kernels/mod97.hpp"
#include "core/kernels/mod97_verdict.hpp"
#include "core/validators/iban_checks.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::iban {
namespace {

// ---- the letters' places of the normal form, for the layout ------------------

inline constexpr kernels::AsciiSet SPACE{" "};
inline constexpr kernels::AsciiSet LOWER{"abcdefghijklmnopqrstuvwxyz"};

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
constexpr Places without_spaces_by_group(Places printed) noexcept {
    Places normal = 0;
    for (std::size_t group = 0; 5 * group < kernels::SHORT_TEXT; ++group) {
        normal |= ((printed >> (5 * group)) & 0xF) << (4 * group);
    }
    return normal;
}

// The same in four steps for places whose spaces are clear (no letter
// stands there): group g moves right by g places, by 1, 2, 4 and 8 in turn
// for the bits of g, each step moving the groups that take it at once. Two
// groups stay at least four places apart after every step, so none
// overtakes another.
inline constexpr std::array<Places, 4> GROUP_STEPS = [] {
    std::array<Places, 4> steps{};
    for (std::size_t k = 0; k < steps.size(); ++k) {
        for (std::size_t group = 0; 5 * group < kernels::SHORT_TEXT; ++group) {
            if (((group >> k) & 1) == 0) continue;
            // Where the group stands once the steps before k have moved it.
            const std::size_t at = 5 * group - (group & ((std::size_t{1} << k) - 1));
            for (std::size_t b = 0; b < 4 && at + b < kernels::SHORT_TEXT; ++b) steps[k] |= Places{1} << (at + b);
        }
    }
    return steps;
}();

constexpr Places without_spaces(Places printed) noexcept {
    for (std::size_t k = 0; k < GROUP_STEPS.size(); ++k) {
        const Places moving = printed & GROUP_STEPS[k];
        printed = (printed ^ moving) | moving >> (std::size_t{1} << k);
    }
    return printed;
}
static_assert([] {
    constexpr Places SPACES = printed_spaces(kernels::SHORT_TEXT + 1);
    Places x = 0x9E37'79B9'7F4A'7C15;
    for (std::size_t n = 0; n < 200; ++n) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        for (const Places letters : {x & ~SPACES, ~SPACES >> (n % 64) << (n % 64)}) {
            if (without_spaces(letters) != without_spaces_by_group(letters)) return false;
        }
    }
    return true;
}());
static_assert(without_spaces(letter_places("GB82 WEST 1234 5698 7654 32")) == letter_places("GB82WEST12345698765432"));
static_assert(printed_spaces(27) == kernels::set_masks<SPACE>("GB82 WEST 1234 5698 7654 32")[0]);

// Writes the normal form into `s` once, when first asked for it; its bytes
// were counted by the checks, so it fits. Where only its bytes are wanted,
// not `s` (`reads_only`), an input found to be its own normal form, compact
// and in upper case, is read in place.
struct NormalForm {
    std::string_view input;
    InlineString& s;
    bool reads_only = false;
    bool written = false;
    bool is_input = false;

    std::string_view operator()() noexcept {
        if (is_input) return input;
        if (!written) written = normalise<Fold::Upper>(input, s);
        return s.view();
    }
};

// The letters' places in the normal form of `length` bytes, read from the
// input where it is written compact or in its printed form (letters of
// either case), from the normal form otherwise.
Places letters_of_normal_form(std::string_view input, std::size_t length, NormalForm& normal_form) noexcept {
    if (input.size() <= kernels::SHORT_TEXT) {
        const auto [letters, spaces, lower] = kernels::set_masks<kernels::ASCII_LETTERS, SPACE, LOWER>(input);
        if (length == input.size()) {
            normal_form.is_input = normal_form.reads_only && lower == 0;
            return letters;
        }
        const Places printed = printed_spaces(input.size());
        if (spaces == printed && length == input.size() - printed_space_count(input.size())) {
            return without_spaces(letters);
        }
    }
    return letter_places(normal_form());
}

// Check digits are 98 less the remainder MOD 97-10 leaves with them set to
// 00, so 02 to 98: 00, 01 and 99 pass MOD 97-10 too, but are never issued.
// `head` holds the IBAN's first four bytes, the last two digits.
constexpr bool issued_check_digits(std::uint32_t head) noexcept {
    const std::uint32_t value = (head_byte(head, 2) - '0') * 10 + (head_byte(head, 3) - '0');
    return value - 2 <= 96;  // wraps for 0 and 1
}
static_assert(!issued_check_digits(0x3030'4247) && !issued_check_digits(0x3130'4247) &&
              issued_check_digits(0x3230'4247) && issued_check_digits(0x3839'4247) &&
              !issued_check_digits(0x3939'4247));  // "GB00", "GB01", "GB02", "GB98", "GB99"

// The checks strict validation adds, in their order, for an IBAN that has
// passed the international ones: its normal form has its country's length,
// and opens with `head`.
std::optional<ErrorCode> national_failure(std::string_view input, std::uint32_t head, const Layout& layout,
                                          std::size_t length, NormalForm& normal_form) noexcept {
    if (!issued_check_digits(head)) return ErrorCode::InvalidChecksum;
    if (!layout_holds(layout, letters_of_normal_form(input, length, normal_form))) {
        return ErrorCode::InvalidStructure;
    }
    // Most countries have no national check: no call for them.
    if (layout.check != NationalCheck::None && !national_check_holds(layout.check, normal_form())) {
        return ErrorCode::InvalidChecksum;
    }
    return std::nullopt;
}

// The layout of the country whose (folded) letters open `head`; the
// international checks have found it registered.
const Layout& layout_of_country(std::uint32_t head) noexcept {
    return *LAYOUTS.find(static_cast<char>(head_byte(head, 0)), static_cast<char>(head_byte(head, 1)));
}

template <bool strict>
ValidationResult validate_with(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        NormalForm normal_form{input, r.compact};
        const Facts facts = facts_of(kernels::mod97_of_normal_form(input, InlineString::CAPACITY));
        if (const auto error = first_failure(facts)) return error;
        if constexpr (strict) {
            const Layout& layout = layout_of_country(facts.head);
            if (const auto error = national_failure(input, facts.head, layout, facts.size, normal_form)) {
                return error;
            }
            const std::string_view text = normal_form();
            StrictIbanDetails& details = r.details.emplace<StrictIbanDetails>(StrictIbanDetails{
                FixedCode<2>::from(text.substr(0, 2)), FixedCode<2>::from(text.substr(2, 2)),
                static_cast<std::uint8_t>(text.size() - 4),
                ShortCode<StrictIbanDetails::MAX_CODE>::from(text.substr(layout.bank_offset, layout.bank_length)),
                std::nullopt});
            if (layout.branch_length != 0) {
                details.branch_code = ShortCode<StrictIbanDetails::MAX_CODE>::from(
                    text.substr(layout.branch_offset, layout.branch_length));
            }
            group_by_four_into(text, r.formatted);
            return std::nullopt;
        }
        const std::string_view text = normal_form();
        r.details.emplace<IbanDetails>(IbanDetails{FixedCode<2>::from(text.substr(0, 2)),
                                                   FixedCode<2>::from(text.substr(2, 2)),
                                                   static_cast<std::uint8_t>(text.size() - 4)});
        group_by_four_into(text, r.formatted);
        return std::nullopt;
    });
}

bool passes_international_checks(std::string_view input) noexcept {
    return kernels::mod97_verdict<InternationalChecks>(input);
}

// The strict rules past the international checks, for an IBAN that has
// passed them and whose normal form opens with `head`: the layout's letters
// read from the text again. Kept out of the kernels' bodies.
[[gnu::noinline]] bool strict_rules_hold(std::string_view input, std::uint32_t head) noexcept {
    InlineString s;
    NormalForm normal_form{input, s, true};
    return !national_failure(input, head, layout_of_country(head), registered_length(head), normal_form);
}

// The national check digits of an IBAN written compact or printed in groups
// of four (`compact` or not), its normal form's letters at `letters`: the
// normal form put together here, the printed form's groups moved four bytes
// at a time and its letters folded, without a pass over every byte.
[[gnu::noinline]] bool national_check_of(NationalCheck check, std::string_view input, Places letters,
                                         bool compact) noexcept {
    std::array<char, kernels::TEXT_PLACES> normal;
    const std::size_t n = input.size();
    std::size_t length = n;
    if (compact) {
        std::memcpy(normal.data(), input.data(), n);
    } else {
        std::size_t from = 0, to = 0;
        for (; from + 4 <= n; from += 5, to += 4) std::memcpy(normal.data() + to, input.data() + from, 4);
        for (; from < n; ++from, ++to) normal[to] = input[from];
        length = to;
    }
    for (; letters != 0; letters &= letters - 1) normal[static_cast<std::size_t>(std::countr_zero(letters))] &= ~0x20;
    return national_check_holds(check, {normal.data(), length});
}

// printed_spaces(n) for every text the windows hold.
inline constexpr auto PRINTED_SPACES = [] {
    std::array<Places, kernels::TEXT_PLACES + 1> spaces{};
    for (std::size_t n = 0; n < spaces.size(); ++n) spaces[n] = printed_spaces(n);
    return spaces;
}();

// Letters in bytes 0 and 1 of a head, folded to upper case: bit 5 cleared.
inline constexpr std::uint32_t COUNTRY_CASE_BITS = 0x2020;

// The international checks and then strict's: where the AVX2 kernel has read
// the text from its windows, its letters' places come with the answer, and
// a text written compact or printed in groups of four has them in its normal
// form at once.
struct StrictChecks {
    static constexpr std::size_t CAPACITY = InlineString::CAPACITY;
    static constexpr std::size_t SHORTEST = SHORTEST_IBAN;

    static bool pass(const kernels::NormalMod97& f, std::string_view text) noexcept {
        return all_pass(facts_of(f)) && strict_rules_hold(text, f.head);
    }

    static bool pass(const kernels::RearrangedMod97& r, std::uint32_t head, std::string_view text) noexcept {
        if (!all_pass(facts_of(r, head))) return false;
        head &= ~COUNTRY_CASE_BITS;
        if (!issued_check_digits(head)) return false;
        const std::size_t n = text.size();
        const Places dropped = ~r.kept & (n < kernels::TEXT_PLACES ? (Places{1} << n) - 1 : ~Places{0});
        Places letters;
        if (dropped == 0) {
            letters = r.letters;
        } else if (dropped == PRINTED_SPACES[n]) {
            letters = without_spaces(r.letters);
        } else {
            return strict_rules_hold(text, head);
        }
        const Layout& layout = layout_of_country(head);
        if (!layout_holds(layout, letters)) return false;
        return layout.check == NationalCheck::None || national_check_of(layout.check, text, letters, dropped == 0);
    }
};

}  // namespace

ValidationResult validate(std::string_view input) noexcept { return validate_with<false>(input); }
bool is_valid(std::string_view input) noexcept { return passes_international_checks(input); }

ValidationResult validate_strict(std::string_view input) noexcept { return validate_with<true>(input); }

// Strict is_valid: the international checks and strict's in one kernel
// call; most invalid inputs fail the former, and an IBAN that passes them has
// a registered country and its length.
bool is_valid_strict(std::string_view input) noexcept { return kernels::mod97_verdict<StrictChecks>(input); }

}  // namespace cobalis::validators::iban
