// Byte classes and the separator-dropping normaliser shared by the validators.
//
// Input is UTF-8 read strictly byte by byte: a "digit" is 0x30..0x39 and a
// "letter" is A..Z (after folding); bytes of multi-byte characters are never
// either, so no validator ever decodes a character.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>

#include "core/kernels/classes.hpp"
#include "core/kernels/separators.hpp"
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
