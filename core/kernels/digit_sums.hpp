// Weighted digit sums counted from the right-hand end, a block at a time:
// Luhn (every second digit doubled, its digit sum taken) and GS1 (every
// second digit times three). The digit at the end has weight one.
//
// A text is summed from its right-hand end in whole blocks, so every block
// ends at an even distance from the end of the text and a block kernel only
// needs to know where its own digits end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/kernels/block.hpp"

namespace cobalis::kernels {

namespace scalar {

// The first n bytes of the block are ASCII digits, the n-th from the end.
constexpr std::uint32_t luhn_sum(const Bytes& x, std::size_t n) noexcept {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n && i < BLOCK; ++i) {
        const std::uint32_t d = x.b[i] - '0';
        sum += (n - 1 - i) % 2 == 0 ? d : d > 4 ? 2 * d - 9 : 2 * d;
    }
    return sum;
}

constexpr std::uint32_t gs1_sum(const Bytes& x, std::size_t n) noexcept {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n && i < BLOCK; ++i) {
        const std::uint32_t d = x.b[i] - '0';
        sum += (n - 1 - i) % 2 == 0 ? d : 3 * d;
    }
    return sum;
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace sse2 {

// Digit values; the zeros after the first n bytes stay zero.
inline __m128i digit_values(__m128i x) noexcept { return _mm_subs_epu8(x, splat('0')); }

// 0xFF in the bytes an odd distance before byte n - 1.
inline __m128i odd_from_end(std::size_t n) noexcept {
    return n % 2 == 0 ? _mm_set1_epi16(0x00FF) : _mm_set1_epi16(static_cast<short>(0xFF00));
}

inline std::uint32_t add_bytes(__m128i x) noexcept {
    const __m128i halves = _mm_sad_epu8(x, _mm_setzero_si128());
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(halves) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(halves, halves)));
}

inline std::uint32_t luhn_sum(__m128i x, std::size_t n) noexcept {
    const __m128i d = digit_values(x);
    // d, or for a doubled digit d + (d - 9 when d > 4): the digit sum of 2d.
    const __m128i extra = _mm_sub_epi8(d, _mm_and_si128(_mm_cmpgt_epi8(d, splat(4)), splat(9)));
    return add_bytes(_mm_add_epi8(d, _mm_and_si128(extra, odd_from_end(n))));
}

inline std::uint32_t gs1_sum(__m128i x, std::size_t n) noexcept {
    const __m128i d = digit_values(x);
    const __m128i twice = _mm_add_epi8(d, d);
    return add_bytes(_mm_add_epi8(d, _mm_and_si128(twice, odd_from_end(n))));
}

}  // namespace sse2
#endif

// A block kernel's sum over a whole text of ASCII digits: the leftmost
// blocks' ends stand a multiple of 16 digits before the text's end.
enum class DigitSum { Luhn, Gs1 };

template <DigitSum kind>
constexpr std::uint32_t sum_from_right(std::string_view digits) noexcept {
    std::uint32_t sum = 0;
    const char* p = digits.data();
    std::size_t take = digits.size() % BLOCK;
    for (std::size_t i = 0; i < digits.size(); i += take, take = BLOCK) {
        if (take == 0) take = BLOCK;
#ifdef COBALIS_KERNELS_SSE2
        if (!std::is_constant_evaluated()) {
            const __m128i x = sse2::load(p + i, take);
            sum += kind == DigitSum::Luhn ? sse2::luhn_sum(x, take) : sse2::gs1_sum(x, take);
            continue;
        }
#endif
        const Bytes x = scalar::load(p + i, take);
        sum += kind == DigitSum::Luhn ? scalar::luhn_sum(x, take) : scalar::gs1_sum(x, take);
    }
    return sum;
}

static_assert(sum_from_right<DigitSum::Luhn>("79927398713") % 10 == 0);
static_assert(sum_from_right<DigitSum::Gs1>("4006381333931") % 10 == 0);
static_assert(sum_from_right<DigitSum::Luhn>("0000000000000000000000000000000000000000000000000000000000000000059") == 10);

}  // namespace cobalis::kernels
