// Sixteen bytes at a time: the width every kernel works on, how a block is
// read from a text of any length without touching a byte past its end, and
// which path this build takes.
//
// Each kernel is a small function over one block with two bodies: a scalar
// twin over `Bytes`, which states its result and is what the scalar build
// runs, and an SSE2 body over a register, which every x86-64 processor has.
// Building with COBALIS_SCALAR (the CMake option of that name) selects the
// scalar twins on x86-64 too, so both paths are built and tested; the fuzz
// target compares them on every input.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if !defined(COBALIS_SCALAR) && (defined(__x86_64__) || defined(_M_X64))
#define COBALIS_KERNELS_SSE2 1
#include <emmintrin.h>
#include <immintrin.h>  // SSSE3 and AVX2, used only where the processor has them
#endif

namespace cobalis::kernels {

inline constexpr std::size_t BLOCK = 16;

#ifdef COBALIS_KERNELS_SSE2
inline constexpr bool VECTOR = true;
#else
inline constexpr bool VECTOR = false;
#endif

// One bit per byte of a block, bit i for byte i.
using Mask = std::uint32_t;
inline constexpr Mask ALL = (Mask{1} << BLOCK) - 1;

// The bits of the first n <= 16 bytes of a block.
constexpr Mask first(std::size_t n) noexcept { return (Mask{1} << n) - 1; }

// A block as plain bytes: the scalar twins work on this.
struct Bytes {
    std::array<std::uint8_t, BLOCK> b{};
    friend constexpr bool operator==(const Bytes&, const Bytes&) noexcept = default;
};

namespace scalar {

// The first min(n, 16) bytes at `p`, zeros after them.
constexpr Bytes load(const char* p, std::size_t n) noexcept {
    Bytes out;
    for (std::size_t i = 0; i < n && i < BLOCK; ++i) out.b[i] = static_cast<std::uint8_t>(p[i]);
    return out;
}

// The bits of the bytes for which `is` holds.
template <class Predicate>
constexpr Mask mask_of(const Bytes& x, Predicate is) noexcept {
    Mask m = 0;
    for (std::size_t i = 0; i < BLOCK; ++i) m |= is(x.b[i]) ? Mask{1} << i : 0;
    return m;
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace sse2 {

inline std::uint64_t load64(const char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
inline std::uint32_t load32(const char* p) noexcept {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The first n < 16 bytes at `p`, zeros after them, built in registers from
// two overlapping loads that stay inside the text (a copy through memory
// would stall the load that reads it back).
inline std::uint64_t load_short(const char* p, std::size_t n) noexcept {
    if (n >= 4) {
        // Bytes n-4..n-1 land on themselves; the overlap with bytes 0..3
        // holds the same values, so OR-ing them is exact.
        return load32(p) | (std::uint64_t{load32(p + n - 4)} << (8 * (n - 4)));
    }
    if (n == 0) return 0;
    const auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<std::uint8_t>(p[i])}; };
    return byte(0) | byte(n / 2) << (8 * (n / 2)) | byte(n - 1) << (8 * (n - 1));
}

inline __m128i load_tail(const char* p, std::size_t n) noexcept {
    if (n < 8) return _mm_cvtsi64_si128(static_cast<long long>(load_short(p, n)));
    const std::uint64_t low = load64(p);
    const std::uint64_t high = n > 8 ? load64(p + n - 8) >> (8 * (BLOCK - n)) : 0;
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

// The first min(n, 16) bytes at `p`, zeros after them.
inline __m128i load(const char* p, std::size_t n) noexcept {
    if (n >= BLOCK) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return load_tail(p, n);
}

// The first `a_size` bytes at `a` followed by the `b_size` <= 8 bytes at
// `b`, zeros after them; a_size + b_size <= 16.
inline __m128i load_joined(const char* a, std::size_t a_size, const char* b, std::size_t b_size) noexcept {
    std::uint64_t low = a_size < 8 ? load_short(a, a_size) : load64(a);
    std::uint64_t high = a_size > 8 ? load64(a + a_size - 8) >> (8 * (BLOCK - a_size)) : 0;
    const std::uint64_t joined = b_size == 8 ? load64(b) : load_short(b, b_size);
    if (b_size == 0) {
        // nothing to join (and a_size may be 16)
    } else if (a_size >= 8) {
        high |= joined << (8 * (a_size - 8));
    } else {
        low |= joined << (8 * a_size);
        high |= a_size == 0 ? 0 : joined >> (64 - 8 * a_size);
    }
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

inline Mask mask_of(__m128i x) noexcept { return static_cast<Mask>(_mm_movemask_epi8(x)); }

inline __m128i splat(char c) noexcept { return _mm_set1_epi8(c); }

// 0xFF in every byte that lies in lo..hi (unsigned), 0 elsewhere.
inline __m128i in_range(__m128i x, std::uint8_t lo, std::uint8_t hi) noexcept {
    const __m128i shifted = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(lo)));
    return _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(static_cast<char>(hi - lo))), shifted);
}

inline Bytes to_bytes(__m128i x) noexcept {
    Bytes out;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.b.data()), x);
    return out;
}

}  // namespace sse2
#endif

}  // namespace cobalis::kernels
