// Dropping separators: find them in a block, fold its letters, pack the kept
// bytes to the front, and the loop that does this over a whole text.
//
// Most identifiers arrive compact and within two blocks, which are folded and
// stored as they are, inline. Any other text goes to the block loop, where a
// block holding separators is packed with two byte shuffles; byte shuffles
// came with SSSE3, so the loop is chosen once, at the first call, where the
// processor has it (core/kernels/dispatch.hpp), and older ones run the scalar
// loop.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/kernels/block.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/dispatch.hpp"

namespace cobalis::kernels {

// How kept bytes are stored: unchanged, or a..z as A..Z.
struct NoFold {
    static constexpr std::uint8_t apply(std::uint8_t c) noexcept { return c; }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i apply(__m128i x) noexcept { return x; }
#endif
};

struct FoldUpper {
    static constexpr std::uint8_t apply(std::uint8_t c) noexcept {
        return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 0x20) : c;
    }
#ifdef COBALIS_KERNELS_SSE2
    static __m128i apply(__m128i x) noexcept {
        return _mm_sub_epi8(x, _mm_and_si128(sse2::in_range(x, 'a', 'z'), sse2::splat(0x20)));
    }
#endif
};

// The number of bits set in each byte value.
inline constexpr auto BITS_SET = [] {
    std::array<std::uint8_t, 256> t{};
    for (std::size_t b = 0; b < 256; ++b) t[b] = static_cast<std::uint8_t>(std::popcount(b));
    return t;
}();

// The number of bits set in a block's mask.
constexpr std::size_t count(Mask m) noexcept { return BITS_SET[m & 0xFF] + BITS_SET[(m >> 8) & 0xFF]; }

namespace scalar {

template <class Fold>
constexpr Bytes fold(const Bytes& x) noexcept {
    Bytes out;
    for (std::size_t i = 0; i < BLOCK; ++i) out.b[i] = Fold::apply(x.b[i]);
    return out;
}

// The bytes whose bit is set in `keep`, in order, at the front; zeros after.
constexpr Bytes compact(const Bytes& x, Mask keep) noexcept {
    Bytes out;
    std::size_t n = 0;
    for (std::size_t i = 0; i < BLOCK; ++i) {
        if ((keep >> i) & 1) out.b[n++] = x.b[i];
    }
    return out;
}

// Copies every byte of `input` that is not of `Sep` to `out`, folded by
// `Fold`. Answers how many bytes were kept, or capacity + 1 as soon as a
// kept byte would not fit in `capacity`.
template <class Fold, class Sep>
constexpr std::size_t drop_separators(std::string_view input, char* out, std::size_t capacity) noexcept {
    std::size_t n = 0;
    for (char c : input) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (Sep::is(byte)) continue;
        if (n == capacity) return capacity + 1;
        out[n++] = static_cast<char>(Fold::apply(byte));
    }
    return n;
}

// The same over a pointer and a size: the body of processors without SSSE3.
template <class Fold, class Sep>
std::size_t drop_separators_at(const char* p, std::size_t size, char* out, std::size_t capacity) noexcept {
    return drop_separators<Fold, Sep>({p, size}, out, capacity);
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2

namespace sse2 {

template <class Fold>
inline __m128i fold(__m128i x) noexcept {
    return Fold::apply(x);
}

}  // namespace sse2

namespace ssse3 {

// Per byte of a mask: the positions of its set bits, then 0x80 (which a
// byte shuffle reads as zero).
inline constexpr auto PACK_HALF = [] {
    std::array<std::array<std::uint8_t, 8>, 256> t{};
    for (std::size_t m = 0; m < 256; ++m) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            if ((m >> i) & 1) t[m][n++] = static_cast<std::uint8_t>(i);
        }
        for (; n < 8; ++n) t[m][n] = 0x80;
    }
    return t;
}();

// After each half is packed: its first k bytes from the low half, then the
// high half, closing the gap between them.
inline constexpr auto CLOSE_GAP = [] {
    std::array<std::array<std::uint8_t, BLOCK>, 9> t{};
    for (std::size_t k = 0; k <= 8; ++k) {
        for (std::size_t j = 0; j < BLOCK; ++j) {
            t[k][j] = static_cast<std::uint8_t>(j < k ? j : j - k + 8 < BLOCK ? j - k + 8 : 0x80);
        }
    }
    return t;
}();

// scalar::compact with two byte shuffles: each half packed by its row of
// PACK_HALF, then the halves joined.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i compact(__m128i x, Mask keep) noexcept {
    constexpr std::uint64_t TO_HIGH_HALF = 0x0808080808080808;
    const auto row = [](Mask half) {
        return sse2::load64(reinterpret_cast<const char*>(PACK_HALF[half & 0xFF].data()));
    };
    const __m128i order =
        _mm_set_epi64x(static_cast<long long>(row(keep >> 8) + TO_HIGH_HALF), static_cast<long long>(row(keep)));
    const __m128i join = _mm_loadu_si128(reinterpret_cast<const __m128i*>(CLOSE_GAP[count(keep & 0xFF)].data()));
    return _mm_shuffle_epi8(_mm_shuffle_epi8(x, order), join);
}

// scalar::drop_separators a block at a time: each block is loaded, searched,
// folded, packed and stored whole behind the bytes kept so far, while a
// whole block still fits in `capacity`; the last few bytes before the
// capacity go byte by byte. (Joining the packed blocks in registers, so that
// the normal form is stored at out, out + 16, ..., costs more than the
// stalls of later loads that straddle two of these stores: tried.)
template <class Fold, class Sep>
[[gnu::target("ssse3,popcnt")]] std::size_t drop_separators(const char* p, std::size_t size, char* out,
                                                            std::size_t capacity) noexcept {
    std::size_t n = 0;
    std::size_t i = 0;
    for (; i < size && n + BLOCK <= capacity; i += BLOCK) {
        const std::size_t take = size - i < BLOCK ? size - i : BLOCK;
        const __m128i x = sse2::load(p + i, take);
        const Mask keep = ~sse2::find<Sep>(x) & first(take);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), compact(sse2::fold<Fold>(x), keep));
        n += static_cast<std::size_t>(std::popcount(keep));
    }
    if (i >= size) return n;
    return n + scalar::drop_separators<Fold, Sep>({p + i, size - i}, out + n, capacity - n);
}

}  // namespace ssse3

namespace sse2 {

// What compact_front answers for a text it leaves to the block loop.
inline constexpr std::size_t NOT_COMPACT = ~std::size_t{0};

// Most identifiers arrive without separators and within two blocks: these
// are folded and stored as they are, inline, with SSE2 alone. Answers how
// many bytes were stored, or NOT_COMPACT (nothing stored) for any other text.
template <class Fold, class Sep>
inline std::size_t compact_front(std::string_view input, char* out, std::size_t capacity) noexcept {
    const std::size_t size = input.size();
    if (capacity < 2 * BLOCK) return NOT_COMPACT;
    if (size <= BLOCK) {
        const __m128i x = load(input.data(), size);
        if ((find<Sep>(x) & first(size)) != 0) return NOT_COMPACT;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), fold<Fold>(x));
        return size;
    }
    if (size <= 2 * BLOCK) {
        const __m128i x = load(input.data(), BLOCK);
        const __m128i y = load(input.data() + BLOCK, size - BLOCK);
        if ((find<Sep>(x) | (find<Sep>(y) & first(size - BLOCK))) != 0) return NOT_COMPACT;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), fold<Fold>(x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + BLOCK), fold<Fold>(y));
        return size;
    }
    return NOT_COMPACT;
}

}  // namespace sse2

#endif  // COBALIS_KERNELS_SSE2

// The normaliser: scalar::drop_separators, a block at a time on x86-64.
// The normal form is stored in whole blocks where it fits them: the bytes
// after it, up to the end of its last block, are overwritten (with zeros).
template <class Fold, class Sep>
constexpr std::size_t drop_separators(std::string_view input, char* out, std::size_t capacity) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    if (!std::is_constant_evaluated()) {
        const std::size_t n = sse2::compact_front<Fold, Sep>(input, out, capacity);
        if (n != sse2::NOT_COMPACT) return n;
        return Chosen<&scalar::drop_separators_at<Fold, Sep>, &ssse3::drop_separators<Fold, Sep>>::call(
            input.data(), input.size(), out, capacity);
    }
#endif
    return scalar::drop_separators<Fold, Sep>(input, out, capacity);
}

}  // namespace cobalis::kernels
