// Numbers written in digits with a final check character that may be "X"
// (ISBN-10, ISSN): the normaliser that keeps only digits and X, and the
// modulus-11 sum with weights falling to 1 at the check character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/kernels/classes.hpp"
#include "core/kernels/separators.hpp"
#include "core/types.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators {

// Whether a full stop is a separator (ISBN) or an unaccepted byte (ISSN).
enum class FullStop : bool { Separator, Rejected };

// What such a number drops: tab, space, hyphen-minus, and the full stop where
// it is a separator.
template <FullStop full_stop>
struct DigitSeparators {
    static constexpr bool is(std::uint8_t c) noexcept {
        return full_stop == FullStop::Separator ? kernels::Separators::is(c) : c == '\t' || c == ' ' || c == '-';
    }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept {
        using kernels::sse2::splat;
        if constexpr (full_stop == FullStop::Separator) return kernels::Separators::find(x);
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, splat('\t')), _mm_cmpeq_epi8(x, splat(' '))),
                            _mm_cmpeq_epi8(x, splat('-')));
    }
#endif
};

// Every byte such a number may hold before it is normalised: digits, "X" and
// "x", and its separators.
template <FullStop full_stop>
struct DigitsXSeparators {
    static constexpr bool is(std::uint8_t c) noexcept {
        return kernels::Digits::is(c) || (c | 0x20) == 'x' || DigitSeparators<full_stop>::is(c);
    }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept {
        using kernels::sse2::splat;
        const __m128i x_or_upper_x = _mm_cmpeq_epi8(_mm_or_si128(x, splat(0x20)), splat('x'));
        return _mm_or_si128(_mm_or_si128(kernels::Digits::find(x), x_or_upper_x), DigitSeparators<full_stop>::find(x));
    }
#endif
};

// Drops tab, space, hyphen-minus (and the full stop when it is a separator),
// keeps digits and stores "x" as "X". Answers false when a byte is neither,
// or when a kept byte would be the 255th; each kind names its own error code
// for both. The bytes are checked first, a block at a time, so that the
// shared normaliser does the rest.
template <FullStop full_stop>
constexpr bool normalise_digits_x(std::string_view input, InlineString& out) noexcept {
    if (!kernels::all_of<DigitsXSeparators<full_stop>>(input)) return false;
    const std::size_t n = kernels::drop_separators<kernels::FoldUpper, DigitSeparators<full_stop>>(
        input, out.raw(), InlineString::CAPACITY);
    if (n > InlineString::CAPACITY) return false;
    out.commit(n);
    return true;
}

static_assert([] {
    InlineString s;
    return normalise_digits_x<FullStop::Separator>("0-306.4061 5x", s) && s.view() == "030640615X" &&
           !normalise_digits_x<FullStop::Rejected>("0378.5955", s) && !normalise_digits_x<FullStop::Separator>("0a", s);
}());

inline constexpr unsigned X_VALUE = 10;

struct DescendingSums {
    unsigned plain;     // the values added up
    unsigned weighted;  // each value times its weight
};

// The weights run from the length of `text` down to 1 at the last character;
// "X" counts 10. Kept as a running total of running totals, so the loop has
// no multiplication and no division.
constexpr DescendingSums descending_sums(std::string_view text) noexcept {
    DescendingSums sums{0, 0};
    for (char c : text) {
        sums.plain += c == 'X' ? X_VALUE : digit_value(c);
        sums.weighted += sums.plain;
    }
    return sums;
}

// Digits followed by a check character (digit or upper-case "X") whose
// weighted sum divides by 11. `text` is not empty.
constexpr bool mod11_check(std::string_view text) noexcept {
    const char check = text.back();
    return all_digits(text.substr(0, text.size() - 1)) && (is_digit(check) || check == 'X') &&
           descending_sums(text).weighted % 11 == 0;
}

// The check character that completes the digits of `payload`.
constexpr char mod11_check_character(std::string_view payload) noexcept {
    // One more character raises every weight by one, which adds the plain sum.
    const DescendingSums sums = descending_sums(payload);
    const unsigned value = (11 - (sums.weighted + sums.plain) % 11) % 11;
    return value == X_VALUE ? 'X' : static_cast<char>('0' + value);
}

}  // namespace cobalis::validators
