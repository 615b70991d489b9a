// What the checks of numbers written in digits (ISBN, ISSN, EAN, payment
// cards) need of a normal form, read straight from the input: the text with
// its separators dropped and nothing folded, counted from its last byte
// (place 0) leftwards.
//
// The vector bodies take a text of up to 32 bytes as two blocks (a second
// block ending at the text's end, the bytes it repeats counting as
// separators) and never move a byte: a byte's place is the number of kept
// bytes after it, four shifts and adds over the block, and the sums are
// multiply-adds and byte sums of the digits by those places. Longer texts,
// which no such number written out comes near, take the scalar twin.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/kernels/block.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/dispatch.hpp"
#include "core/kernels/separators.hpp"

namespace cobalis::kernels {

// Whether the full stop is a separator (ISBN, EAN, cards) or a byte kept
// like any other (ISSN, which refuses it); tab, space and hyphen-minus
// always are.
enum class FullStops : bool { Dropped, Kept };

template <FullStops full_stops>
struct DigitSeparators {
    static constexpr bool is(std::uint8_t c) noexcept {
        return c == '\t' || c == ' ' || c == '-' || (full_stops == FullStops::Dropped && c == '.');
    }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept {
        using sse2::splat;
        const __m128i gaps = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, splat('\t')), _mm_cmpeq_epi8(x, splat(' '))),
                                          _mm_cmpeq_epi8(x, splat('-')));
        if constexpr (full_stops == FullStops::Dropped) return _mm_or_si128(gaps, _mm_cmpeq_epi8(x, splat('.')));
        return gaps;
    }
#endif
};

// A digit stands for its value, an X or x for 10, any other kept byte for 0.
// When the normal form would have more than `capacity` bytes, `size` is
// capacity + 1 and the rest says nothing.
struct NormalDigits {
    std::uint32_t descending;  // each value times its place + 1: ISBN-10 and ISSN
    std::uint32_t gs1;         // each value times 3 at odd places, 1 at even: EAN and ISBN-13
    std::uint32_t luhn;        // each value, at odd places the digit sum of its double (2v - 9 above 4): Luhn
    std::uint32_t head;        // the first four bytes, byte i in bits 8i..8i+7; zeros past the end
    std::uint16_t size;        // bytes of the normal form
    bool other;                // a byte that is neither a digit nor X or x
    bool x_last;               // the last byte is X or x
    bool x_before;             // an X or x stands before the last byte
    friend constexpr bool operator==(const NormalDigits&, const NormalDigits&) noexcept = default;

    constexpr bool all_digits() const noexcept { return !other && !x_last && !x_before; }
};

// The longest text the vector bodies take.
inline constexpr std::size_t DIGIT_STRING = 2 * BLOCK;

namespace scalar {

// The first four kept bytes, byte i in bits 8i..8i+7.
template <FullStops full_stops>
constexpr std::uint32_t head_of_digits(std::string_view input) noexcept {
    std::uint32_t head = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < input.size() && n < 4; ++i) {
        const auto c = static_cast<std::uint8_t>(input[i]);
        if (!DigitSeparators<full_stops>::is(c)) head |= std::uint32_t{c} << (8 * n++);
    }
    return head;
}

template <FullStops full_stops>
constexpr NormalDigits digits_of_normal_form(std::string_view input, std::size_t capacity) noexcept {
    // Kept bytes are read from the last one back, so that each knows its place.
    std::size_t size = 0;
    for (const char c : input) size += DigitSeparators<full_stops>::is(static_cast<std::uint8_t>(c)) ? 0 : 1;
    NormalDigits out{0, 0, 0, 0, 0, false, false, false};
    if (size > capacity) {
        out.size = static_cast<std::uint16_t>(capacity + 1);
        return out;
    }
    out.size = static_cast<std::uint16_t>(size);
    out.head = head_of_digits<full_stops>(input);
    std::size_t place = 0;
    for (std::size_t i = input.size(); i-- > 0;) {
        const auto c = static_cast<std::uint8_t>(input[i]);
        if (DigitSeparators<full_stops>::is(c)) continue;
        const bool x = (c | 0x20) == 'x';
        const std::uint32_t value = Digits::is(c) ? c - '0' : x ? 10 : 0;
        out.other |= !Digits::is(c) && !x;
        out.x_last |= x && place == 0;
        out.x_before |= x && place != 0;
        out.descending += value * static_cast<std::uint32_t>(place + 1);
        const bool odd = place % 2 == 1;
        out.gs1 += odd ? 3 * value : value;
        out.luhn += odd ? (value > 4 ? 2 * value - 9 : 2 * value) : value;
        ++place;
    }
    return out;
}

template <FullStops full_stops>
NormalDigits digits_of_normal_form_at(const char* p, std::size_t size, std::size_t capacity) noexcept {
    return digits_of_normal_form<full_stops>({p, size}, capacity);
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace ssse3 {

// One block: its bytes' classes and sums, each byte's place within the block
// (the kept bytes after it) plus `later`, the kept bytes of the blocks after.
struct DigitBlock {
    Mask other;
    Mask x_last;
    Mask x_before;
    Mask odd_above_four;  // values above 4 at odd places
    __m128i descending;   // four 32-bit lanes
    __m128i plain;        // two 64-bit lanes: the values
    __m128i odd;          // two 64-bit lanes: the values at odd places
};

template <FullStops full_stops>
[[gnu::target("ssse3"), gnu::always_inline]] inline DigitBlock weigh_digits(__m128i x, Mask keep,
                                                                             std::uint32_t later) noexcept {
    using sse2::splat;
    const __m128i digit = sse2::in_range(x, '0', '9');
    const __m128i ex = _mm_cmpeq_epi8(_mm_or_si128(x, splat(0x20)), splat('x'));
    const __m128i kept = _mm_xor_si128(DigitSeparators<full_stops>::find(x), _mm_set1_epi8(-1));
    __m128i after = _mm_srli_si128(_mm_and_si128(kept, splat(1)), 1);
    after = _mm_add_epi8(after, _mm_srli_si128(after, 1));
    after = _mm_add_epi8(after, _mm_srli_si128(after, 2));
    after = _mm_add_epi8(after, _mm_srli_si128(after, 4));
    after = _mm_add_epi8(after, _mm_srli_si128(after, 8));
    const __m128i place = _mm_add_epi8(after, _mm_set1_epi8(static_cast<char>(later)));
    const __m128i value =
        _mm_or_si128(_mm_and_si128(_mm_sub_epi8(x, splat('0')), digit), _mm_and_si128(ex, splat(10)));
    const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(place, splat(1)), splat(1));
    const __m128i last = _mm_cmpeq_epi8(place, _mm_setzero_si128());
    const auto bits = [](__m128i v) { return static_cast<Mask>(_mm_movemask_epi8(v)); };
    const __m128i products = _mm_maddubs_epi16(value, _mm_add_epi8(place, splat(1)));  // at most 10 * 32 each
    return {keep & ~bits(_mm_or_si128(digit, ex)),
            bits(_mm_and_si128(ex, last)),
            bits(_mm_andnot_si128(last, ex)),
            bits(_mm_and_si128(odd, _mm_cmpgt_epi8(value, splat(4)))),
            _mm_madd_epi16(products, _mm_set1_epi16(1)),
            _mm_sad_epu8(value, _mm_setzero_si128()),
            _mm_sad_epu8(_mm_and_si128(value, odd), _mm_setzero_si128())};
}

template <FullStops full_stops>
[[gnu::target("ssse3"), gnu::always_inline]] inline Mask kept_digits(__m128i x) noexcept {
    return ~static_cast<Mask>(_mm_movemask_epi8(DigitSeparators<full_stops>::find(x))) & ALL;
}

// Bytes past the text (or repeated by a second block) become spaces, which
// every kind drops.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i spaces_where(__m128i x, Mask outside) noexcept {
    const __m128i bit = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m128i spread = _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(outside)),
                                            _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1));
    const __m128i out = _mm_cmpeq_epi8(_mm_and_si128(spread, bit), bit);
    return _mm_or_si128(_mm_andnot_si128(out, x), _mm_and_si128(out, sse2::splat(' ')));
}

[[gnu::always_inline]] inline std::uint32_t add_halves(__m128i x) noexcept {
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(x) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(x, x)));
}

// The two blocks of a text of at most 32 bytes: its first 16 bytes (or all
// of it, zeros after), and a block ending at its end; `outside` marks, bit i
// for byte i of the pair, the bytes that are past the text or repeated.
struct TwoBlocks {
    __m128i first;
    __m128i second;
    std::uint32_t outside;
};

[[gnu::target("ssse3"), gnu::always_inline]] inline TwoBlocks two_blocks(const char* p, std::size_t size) noexcept {
    if (size > BLOCK) {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK)),
                static_cast<std::uint32_t>(first(DIGIT_STRING - size)) << BLOCK};
    }
    return {size == BLOCK ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)) : sse2::load_tail(p, size),
            _mm_setzero_si128(), ~static_cast<std::uint32_t>(first(size))};
}

template <FullStops full_stops>
[[gnu::target("ssse3,popcnt")]] inline NormalDigits digits_of_normal_form(const char* p, std::size_t size,
                                                                            std::size_t capacity) noexcept {
    if (size > DIGIT_STRING || capacity < DIGIT_STRING) {
        return scalar::digits_of_normal_form<full_stops>({p, size}, capacity);
    }
    const TwoBlocks t = two_blocks(p, size);
    const __m128i first_block = spaces_where(t.first, t.outside & ALL);
    const Mask keep_first = kept_digits<full_stops>(first_block);
    DigitBlock a;
    Mask keep_second = 0;
    std::uint32_t later = 0;
    if (size > BLOCK) {
        // The second block first: its kept bytes stand after the first's.
        const __m128i second_block = spaces_where(t.second, t.outside >> BLOCK);
        keep_second = kept_digits<full_stops>(second_block);
        later = static_cast<std::uint32_t>(std::popcount(keep_second));
        const DigitBlock b = weigh_digits<full_stops>(second_block, keep_second, 0);
        a = weigh_digits<full_stops>(first_block, keep_first, later);
        a.other |= b.other;
        a.x_last |= b.x_last;
        a.x_before |= b.x_before;
        a.odd_above_four |= b.odd_above_four << BLOCK;
        a.descending = _mm_add_epi32(a.descending, b.descending);
        a.plain = _mm_add_epi64(a.plain, b.plain);
        a.odd = _mm_add_epi64(a.odd, b.odd);
    } else {
        a = weigh_digits<full_stops>(first_block, keep_first, 0);
    }
    const std::uint32_t plain = add_halves(a.plain);
    const std::uint32_t odd = add_halves(a.odd);
    __m128i descending = a.descending;
    descending = _mm_add_epi32(descending, _mm_shuffle_epi32(descending, _MM_SHUFFLE(1, 0, 3, 2)));
    descending = _mm_add_epi32(descending, _mm_shuffle_epi32(descending, _MM_SHUFFLE(2, 3, 0, 1)));
    const auto odd_above_four = static_cast<std::uint32_t>(std::popcount(a.odd_above_four));
    // The first four kept bytes: the first four of the text, unless a
    // separator stands among them; then the first block packed.
    std::uint32_t head = static_cast<std::uint32_t>(_mm_cvtsi128_si32(first_block));
    if ((keep_first & first(4)) != first(4)) {
        head = std::popcount(keep_first) >= 4
                   ? static_cast<std::uint32_t>(_mm_cvtsi128_si32(compact(first_block, keep_first)))
                   : scalar::head_of_digits<full_stops>({p, size});
    }
    return {static_cast<std::uint32_t>(_mm_cvtsi128_si32(descending)),
            plain + 2 * odd,
            plain + odd - 9 * odd_above_four,
            head,
            static_cast<std::uint16_t>(later + static_cast<std::uint32_t>(std::popcount(keep_first))),
            a.other != 0,
            a.x_last != 0,
            a.x_before != 0};
}

}  // namespace ssse3
#endif

// The kernel: scalar::digits_of_normal_form, from two blocks on x86-64
// processors with SSSE3.
template <FullStops full_stops>
constexpr NormalDigits digits_of_normal_form(std::string_view input, std::size_t capacity) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    if (!std::is_constant_evaluated()) {
        return Chosen<&scalar::digits_of_normal_form_at<full_stops>,
                      &ssse3::digits_of_normal_form<full_stops>>::call(input.data(), input.size(), capacity);
    }
#endif
    return scalar::digits_of_normal_form<full_stops>(input, capacity);
}

static_assert(digits_of_normal_form<FullStops::Dropped>("0-306-40615-2", 254).descending % 11 == 0);
static_assert(digits_of_normal_form<FullStops::Dropped>("978 0 306 40615 7", 254).gs1 % 10 == 0);
static_assert(digits_of_normal_form<FullStops::Dropped>("7992-7398-713", 254).luhn % 10 == 0);
static_assert(digits_of_normal_form<FullStops::Kept>("2434-561x", 254).x_last &&
              digits_of_normal_form<FullStops::Kept>("2434.561X", 254).other);

}  // namespace cobalis::kernels
