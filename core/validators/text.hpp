// Byte classes and the separator-dropping normaliser shared by the validators.
//
// Input is UTF-8 read strictly byte by byte: a "digit" is 0x30..0x39 and a
// "letter" is A..Z (after folding); bytes of multi-byte characters are never
// either, so no validator ever decodes a character.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

#include "core/types.hpp"

namespace cobalis::validators {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_upper(char c) noexcept { return c >= 'A' && c <= 'Z'; }
constexpr bool is_lower(char c) noexcept { return c >= 'a' && c <= 'z'; }
constexpr bool is_upper_alnum(char c) noexcept { return is_digit(c) || is_upper(c); }
constexpr unsigned digit_value(char c) noexcept { return static_cast<unsigned>(c - '0'); }
constexpr char to_upper(char c) noexcept { return is_lower(c) ? static_cast<char>(c - 0x20) : c; }
constexpr char to_lower(char c) noexcept { return is_upper(c) ? static_cast<char>(c + 0x20) : c; }

// Tab, space, hyphen-minus and full stop: what people write between groups.
constexpr bool is_separator(char c) noexcept { return c == '\t' || c == ' ' || c == '-' || c == '.'; }

constexpr bool all_digits(std::string_view s) noexcept {
    for (char c : s) {
        if (!is_digit(c)) return false;
    }
    return true;
}

constexpr bool all_upper(std::string_view s) noexcept {
    for (char c : s) {
        if (!is_upper(c)) return false;
    }
    return true;
}

constexpr bool all_upper_alnum(std::string_view s) noexcept {
    for (char c : s) {
        if (!is_upper_alnum(c)) return false;
    }
    return true;
}

enum class Fold : bool { None, Upper };

namespace detail {

// Eight bytes at a time ("SIMD within a register"): most identifiers arrive
// already compact, so the normaliser copies whole words until one holds a
// separator, and only that word is taken byte by byte.
inline constexpr std::uint64_t ONES = 0x0101010101010101;
inline constexpr std::uint64_t HIGH_BITS = 0x8080808080808080;
inline constexpr std::uint64_t LOW_BITS = ~HIGH_BITS;

constexpr std::uint64_t broadcast(std::uint8_t byte) noexcept { return ONES * byte; }

// The high bit of every byte of `word` that is zero, and of no other byte.
constexpr std::uint64_t zero_bytes(std::uint64_t word) noexcept {
    return ~(((word & LOW_BITS) + LOW_BITS) | word | LOW_BITS);
}

constexpr bool has_separator(std::uint64_t word) noexcept {
    return (zero_bytes(word ^ broadcast('\t')) | zero_bytes(word ^ broadcast(' ')) |
            zero_bytes(word ^ broadcast('-')) | zero_bytes(word ^ broadcast('.'))) != 0;
}

// a..z to A..Z in every byte; other bytes, non-ASCII ones included, unchanged.
constexpr std::uint64_t fold_upper(std::uint64_t word) noexcept {
    const std::uint64_t ascii = word & LOW_BITS;
    const std::uint64_t at_least_a = (ascii + broadcast(0x80 - 'a')) & HIGH_BITS;
    const std::uint64_t beyond_z = (ascii + broadcast(0x80 - 'z' - 1)) & HIGH_BITS;
    const std::uint64_t lower = at_least_a & ~beyond_z & ~word;
    return word - (lower >> 2);  // 0x80 >> 2 is the 0x20 between the cases
}

// Per byte value: what the normaliser stores, and whether it keeps the byte
// (separate tables, so each is one plain byte load).
struct NormalisedBytes {
    std::array<char, 256> byte{};
    std::array<std::uint8_t, 256> kept{};
};

template <Fold fold>
constexpr NormalisedBytes make_normalised_bytes() noexcept {
    NormalisedBytes table;
    for (std::size_t b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        table.byte[b] = fold == Fold::Upper ? to_upper(c) : c;
        table.kept[b] = is_separator(c) ? 0 : 1;
    }
    return table;
}

template <Fold fold>
inline constexpr NormalisedBytes NORMALISED_BYTES = make_normalised_bytes<fold>();

static_assert(fold_upper(0x7A61'407B'605A'41E1) == 0x5A41'407B'605A'41E1);
static_assert(has_separator(0x4141'4141'2E41'4141) && !has_separator(0x4141'4141'2F41'4142));

}  // namespace detail

// Drops separators wherever they stand and copies every other byte into
// `out`, folding a..z to upper case when asked. Answers false when a kept
// byte would be the 255th: such an input can never be valid, and each kind
// names its own error code for it.
template <Fold fold>
constexpr bool normalise(std::string_view input, InlineString& out) noexcept {
    constexpr std::size_t WORD = sizeof(std::uint64_t);
    char* const buffer = out.raw();
    std::size_t n = 0;
    std::size_t i = 0;
    if (!std::is_constant_evaluated()) {
        for (; i + WORD <= input.size() && n + WORD <= InlineString::CAPACITY; i += WORD) {
            std::uint64_t word;
            std::memcpy(&word, input.data() + i, WORD);
            if (detail::has_separator(word)) {
                // Room for the whole word is assured, so every byte is written
                // and only the kept ones advance the end.
                for (std::size_t j = i; j < i + WORD; ++j) {
                    const auto byte = static_cast<std::uint8_t>(input[j]);
                    buffer[n] = detail::NORMALISED_BYTES<fold>.byte[byte];
                    n += detail::NORMALISED_BYTES<fold>.kept[byte];
                }
                continue;
            }
            if constexpr (fold == Fold::Upper) word = detail::fold_upper(word);
            std::memcpy(buffer + n, &word, WORD);
            n += WORD;
        }
    }
    for (; i < input.size(); ++i) {
        const char c = input[i];
        if (is_separator(c)) continue;
        if (n == InlineString::CAPACITY) return false;
        buffer[n++] = fold == Fold::Upper ? to_upper(c) : c;
    }
    out.commit(n);
    return true;
}

// Normalises `input` into `s` and runs a kind's checks on the normal form,
// in their order: the code of the first that fails (`overflow` when the
// normal form does not fit), or none when the text passes them all. Both
// entry points of a kind go through here, so they cannot disagree.
template <Fold fold, ErrorCode overflow, class Checks>
constexpr std::optional<ErrorCode> first_failure_of(std::string_view input, InlineString& s,
                                                    Checks first_failure) noexcept {
    if (!normalise<fold>(input, s)) return overflow;
    return first_failure(s.view());
}

// Copies `text` into a display form, writing `sep` before every character
// whose position `starts_group` marks. Characters past the capacity are
// dropped, which no identifier of ours comes near.
template <class StartsGroup>
constexpr InlineString layout(std::string_view text, char sep, StartsGroup starts_group) noexcept {
    InlineString out;
    char* const buffer = out.raw();
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 0 && starts_group(i) && n < InlineString::CAPACITY) buffer[n++] = sep;
        if (n < InlineString::CAPACITY) buffer[n++] = text[i];
    }
    out.commit(n);
    return out;
}

// Groups of four from the left, the last group holding what remains.
constexpr InlineString group_by_four(std::string_view text) noexcept {
    return layout(text, ' ', [](std::size_t i) { return i % 4 == 0; });
}

}  // namespace cobalis::validators
