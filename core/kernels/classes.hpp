// Byte classes over a block: which bytes are digits, letters, separators.
//
// A class is a type with `is(byte)`, the scalar rule, and on x86-64
// `find(register)`, the same rule sixteen bytes at a time; `find` over a
// block answers the mask of the bytes of the class.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/kernels/block.hpp"

namespace cobalis::kernels {

struct Digits {
    static constexpr bool is(std::uint8_t c) noexcept { return c >= '0' && c <= '9'; }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept { return sse2::in_range(x, '0', '9'); }
#endif
};

struct Upper {
    static constexpr bool is(std::uint8_t c) noexcept { return c >= 'A' && c <= 'Z'; }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept { return sse2::in_range(x, 'A', 'Z'); }
#endif
};

struct UpperAlnum {
    static constexpr bool is(std::uint8_t c) noexcept { return Digits::is(c) || Upper::is(c); }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept { return _mm_or_si128(Digits::find(x), Upper::find(x)); }
#endif
};

// Tab, space, hyphen-minus and full stop: what people write between groups.
struct Separators {
    static constexpr bool is(std::uint8_t c) noexcept { return c == '\t' || c == ' ' || c == '-' || c == '.'; }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i find(__m128i x) noexcept {
        using sse2::splat;
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, splat('\t')), _mm_cmpeq_epi8(x, splat(' '))),
                            _mm_or_si128(_mm_cmpeq_epi8(x, splat('-')), _mm_cmpeq_epi8(x, splat('.'))));
    }
#endif
};

namespace scalar {

template <class Class>
constexpr Mask find(const Bytes& x) noexcept {
    return mask_of(x, Class::is);
}
constexpr Mask find_separators(const Bytes& x) noexcept { return find<Separators>(x); }
constexpr Mask find_digits(const Bytes& x) noexcept { return find<Digits>(x); }

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace sse2 {

template <class Class>
inline Mask find(__m128i x) noexcept {
    return mask_of(Class::find(x));
}
inline Mask find_separators(__m128i x) noexcept { return find<Separators>(x); }
inline Mask find_digits(__m128i x) noexcept { return find<Digits>(x); }

}  // namespace sse2
#endif

// Whether every byte of `text` is of `Class`, a block at a time; the short
// fields of a code (a country, a bank code) cost less byte by byte.
inline constexpr std::size_t SHORTEST_FOR_BLOCKS = 8;

template <class Class>
constexpr bool all_of(std::string_view text) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    if (!std::is_constant_evaluated() && text.size() >= SHORTEST_FOR_BLOCKS) {
        const char* p = text.data();
        std::size_t left = text.size();
        for (; left > BLOCK; left -= BLOCK, p += BLOCK) {
            if (sse2::find<Class>(sse2::load(p, BLOCK)) != ALL) return false;
        }
        return (sse2::find<Class>(sse2::load(p, left)) & first(left)) == first(left);
    }
#endif
    for (char c : text) {
        if (!Class::is(static_cast<std::uint8_t>(c))) return false;
    }
    return true;
}

}  // namespace cobalis::kernels
