// What the explaining and repairing of an identifier needs to know of its
// kind beyond its validators: how the normaliser folds, which characters each
// place of the compact form can hold, where the check characters stand, which
// check arithmetic lets a candidate edit be tried in constant time, and where
// the country code sits. Each kind's row in core/kinds.hpp carries one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cobalis::repair {

// How a kind's normaliser folds letters.
enum class Folding : unsigned char {
    None,    // bytes kept as they are
    Upper,   // a..z to A..Z
    XOnly,   // only x to X (ISBN, ISSN)
};

// The check arithmetic a candidate edit is tried against before the kind's own
// validator confirms it. Each answers, for one substituted character or one
// swap of neighbours, from sums prepared once over the input.
enum class Arithmetic : unsigned char {
    None,        // no check characters: every candidate goes to the validator
    Luhn,        // digits, every second from the right doubled, sum mod 10
    Gs1,         // digits weighted 1, 3, 1, ... from the right, sum mod 10 (EAN, ISBN-13)
    Mod11,       // digits and a final X weighted 1, 2, 3, ... from the right, sum mod 11 (ISBN-10, ISSN)
    Mod97,       // letters read as 10..35, the whole as one number mod 97 = 1 (LEI)
    Mod97Iban,   // the same after the first four characters move to the end (IBAN)
    LuhnLetters, // letters read as 10..35, then Luhn over the digits (ISIN)
};

// The characters a place may hold; a superset of what any valid identifier of
// the kind holds there, so that no valid one-edit neighbour is missed. Kept
// both as a list, to try in order, and as a set of ASCII bytes, to test one.
class Alphabet {
public:
    constexpr explicit Alphabet(std::string_view chars) noexcept : chars_(chars) {
        for (const char c : chars) {
            const auto b = static_cast<unsigned char>(c);
            (b < 64 ? low_ : high_) |= std::uint64_t{1} << (b % 64);
        }
    }
    [[nodiscard]] constexpr std::string_view chars() const noexcept { return chars_; }
    [[nodiscard]] constexpr bool has(char c) const noexcept {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 128) return false;
        return (((b < 64 ? low_ : high_) >> (b % 64)) & 1) != 0;
    }

private:
    std::string_view chars_;
    std::uint64_t low_ = 0;
    std::uint64_t high_ = 0;
};

inline constexpr Alphabet DIGITS{"0123456789"};
inline constexpr Alphabet LETTERS{"ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
inline constexpr Alphabet ALNUM{"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
inline constexpr Alphabet DIGITS_X{"0123456789X"};
// What an e-mail address is repaired with: the usual characters of its
// parts. Its places have no fixed layout to blame a character against.
inline constexpr Alphabet EMAIL{"abcdefghijklmnopqrstuvwxyz0123456789.-_@"};
static_assert(ALNUM.has('Z') && ALNUM.has('0') && !ALNUM.has('a') && EMAIL.has('@') && !DIGITS.has('\xe9'));

// The check characters of a compact form: `count` characters from `at`;
// count 0 where the form has none (or they cannot be placed).
struct CheckPlace {
    std::size_t at = 0;
    std::size_t count = 0;
    // What they can be, where fewer than the layout's characters at their
    // place; null for the layout's.
    const Alphabet* alphabet = nullptr;
};

// The alphabet of every place of a compact form, read once per input.
struct Places {
    static constexpr std::size_t CAPACITY = 254;  // an InlineString's
    std::array<const Alphabet*, CAPACITY> at;
};
// Fills the places of `compact` (at most Places::CAPACITY bytes); `strict`
// asks for the national layout where the kind has one.
using Layout = void (*)(std::string_view compact, bool strict, Places& out) noexcept;
// The alphabet of one place, for kinds whose places follow a rule of their
// index and the form (whatever `strict` says).
using PlaceRule = const Alphabet& (*)(std::string_view compact, std::size_t i) noexcept;
using NormalPredicate = bool (*)(std::string_view normal) noexcept;
using CheckPlacer = CheckPlace (*)(std::string_view compact, bool strict) noexcept;

inline constexpr std::size_t NO_COUNTRY = static_cast<std::size_t>(-1);

struct Profile {
    Folding folding;
    Layout layout;
    // Whether a character outside its place's layout can be blamed for a
    // failure (and excluded from repair everywhere but at its place).
    bool fixed_layout;
    CheckPlacer check_place;
    Arithmetic arithmetic;
    std::size_t country_at;  // where the country code starts, or NO_COUNTRY
    PlaceRule place = nullptr;  // the rule `layout` applies to each place, where it has one
    // The kind's is_valid and is_valid_strict for a text that is already its
    // normal form, where the kind has them: every candidate edit is one.
    NormalPredicate is_valid_normal = nullptr;
    NormalPredicate is_valid_strict_normal = nullptr;
};

}  // namespace cobalis::repair
