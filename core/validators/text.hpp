// Byte classes and the separator-dropping normaliser shared by the validators.
//
// Input is UTF-8 read strictly byte by byte: a "digit" is 0x30..0x39 and a
// "letter" is A..Z (after folding); bytes of multi-byte characters are never
// either, so no validator ever decodes a character.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

#include "core/algorithms/decimal.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/separators.hpp"
#include "core/types.hpp"

namespace cobalis::validators {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_upper(char c) noexcept { return c >= 'A' && c <= 'Z'; }
constexpr bool is_lower(char c) noexcept { return c >= 'a' && c <= 'z'; }
constexpr bool is_upper_alnum(char c) noexcept { return is_digit(c) || is_upper(c); }
using algorithms::digit_value;
constexpr char to_upper(char c) noexcept { return is_lower(c) ? static_cast<char>(c - 0x20) : c; }
constexpr char to_lower(char c) noexcept { return is_upper(c) ? static_cast<char>(c + 0x20) : c; }

// Tab, space, hyphen-minus and full stop: what people write between groups.
constexpr bool is_separator(char c) noexcept { return kernels::Separators::is(static_cast<std::uint8_t>(c)); }

constexpr bool all_digits(std::string_view s) noexcept { return kernels::all_of<kernels::Digits>(s); }
constexpr bool all_upper(std::string_view s) noexcept { return kernels::all_of<kernels::Upper>(s); }
constexpr bool all_upper_alnum(std::string_view s) noexcept { return kernels::all_of<kernels::UpperAlnum>(s); }

enum class Fold : bool { None, Upper };

// Drops separators wherever they stand and copies every other byte into
// `out`, folding a..z to upper case when asked. Answers false when a kept
// byte would be the 255th: such an input can never be valid, and each kind
// names its own error code for it.
template <Fold fold>
constexpr bool normalise(std::string_view input, InlineString& out) noexcept {
    using Folding = std::conditional_t<fold == Fold::Upper, kernels::FoldUpper, kernels::NoFold>;
    const std::size_t n =
        kernels::drop_separators<Folding, kernels::Separators>(input, out.raw(), InlineString::CAPACITY);
    if (n > InlineString::CAPACITY) return false;
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

// Copies `text`, exactly as long as the groups together, into a display form
// with `sep` between groups of the given sizes; each group is one move of a
// size known when compiling. grouped_into writes the form where it is to
// stay (a result's own buffer), with no copy after.
template <std::size_t... sizes>
constexpr void grouped_into(std::string_view text, char sep, InlineString& out) noexcept {
    static_assert(sizeof...(sizes) > 0 && (sizes + ...) + sizeof...(sizes) - 1 <= InlineString::CAPACITY);
    char* const buffer = out.raw();
    std::size_t from = 0;
    std::size_t n = 0;
    const auto group = [&](std::size_t size) {
        if (n != 0) buffer[n++] = sep;
        if (std::is_constant_evaluated()) {
            for (std::size_t j = 0; j < size; ++j) buffer[n + j] = text[from + j];
        } else {
            std::memcpy(buffer + n, text.data() + from, size);
        }
        n += size;
        from += size;
    };
    (group(sizes), ...);
    out.commit(n);
}

template <std::size_t... sizes>
constexpr InlineString grouped(std::string_view text, char sep) noexcept {
    InlineString out;
    grouped_into<sizes...>(text, sep, out);
    return out;
}

static_assert(grouped<1, 3, 5, 1>("0306406152", '-') == InlineString("0-306-40615-2"));

// Groups of four from the left, separated by spaces, the last group holding
// what remains, written into `out`; the groups copied four bytes at a time.
// Characters past the capacity are dropped, which no identifier of ours comes
// near.
constexpr void group_by_four_into(std::string_view text, InlineString& out) noexcept {
    constexpr std::size_t GROUP = 4;
    char* const buffer = out.raw();
    std::size_t n = 0;
    std::size_t i = 0;
    // Every group but the last, each followed by a space.
    for (; i + GROUP < text.size() && n + GROUP + 1 <= InlineString::CAPACITY; i += GROUP) {
        if (std::is_constant_evaluated()) {
            for (std::size_t j = 0; j < GROUP; ++j) buffer[n + j] = text[i + j];
        } else {
            std::memcpy(buffer + n, text.data() + i, GROUP);
        }
        buffer[n + GROUP] = ' ';
        n += GROUP + 1;
    }
    // The last group, which needs no space after it; near the capacity, the
    // rest byte by byte (the group before has its space already).
    for (const std::size_t tail = i; i < text.size() && n < InlineString::CAPACITY; ++i) {
        if (i % GROUP == 0 && i != tail) {
            buffer[n++] = ' ';
            if (n == InlineString::CAPACITY) break;
        }
        buffer[n++] = text[i];
    }
    out.commit(n);
}

constexpr InlineString group_by_four(std::string_view text) noexcept {
    InlineString out;
    group_by_four_into(text, out);
    return out;
}

static_assert(group_by_four("GB82WEST12345698765432") == InlineString("GB82 WEST 1234 5698 7654 32"));
static_assert(group_by_four("NO9386011117947") == InlineString("NO93 8601 1117 947"));
static_assert(group_by_four("") == InlineString("") && group_by_four("ABCD") == InlineString("ABCD"));

}  // namespace cobalis::validators
