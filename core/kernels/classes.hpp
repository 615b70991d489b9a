// Byte classes over a block: which bytes are digits, letters, separators.
//
// A class is a type with `is(byte)`, the scalar rule, and on x86-64
// `find(register)`, the same rule sixteen bytes at a time; `find` over a
// block answers the mask of the bytes of the class. Any other set of ASCII
// bytes is an AsciiSet, found with byte shuffles over a whole short text at
// once (set_masks).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/kernels/block.hpp"
#include "core/kernels/dispatch.hpp"

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

// A set of ASCII bytes fixed when compiling; no byte from 0x80 is in it. A
// byte is looked up by its two nibbles: bit h of row `by_low[l]` says
// whether the byte with high nibble h and low nibble l is a member, and row
// `by_high[h]` is that bit alone (zero for h >= 8), so the AND of the two rows
// is nonzero exactly for members, which byte shuffles find 16 at a time.
struct AsciiSet {
    std::array<std::uint8_t, BLOCK> by_high{};
    std::array<std::uint8_t, BLOCK> by_low{};
    int only = -1;  // the member of a set of one, found by one comparison

    consteval explicit AsciiSet(std::string_view members) {
        for (std::size_t h = 0; h < 8; ++h) by_high[h] = static_cast<std::uint8_t>(1u << h);
        if (members.size() == 1) only = static_cast<std::uint8_t>(members[0]);
        for (const char c : members) {
            const auto byte = static_cast<std::uint8_t>(c);
            if (byte >= 0x80) not_an_ascii_byte();
            by_low[byte & 0x0F] = static_cast<std::uint8_t>(by_low[byte & 0x0F] | (1u << (byte >> 4)));
        }
    }
    consteval AsciiSet operator|(const AsciiSet& other) const {
        AsciiSet both = *this;
        both.only = -1;
        for (std::size_t l = 0; l < BLOCK; ++l) both.by_low[l] = static_cast<std::uint8_t>(by_low[l] | other.by_low[l]);
        return both;
    }

    constexpr bool is(std::uint8_t c) const noexcept { return c < 0x80 && ((by_low[c & 0x0F] >> (c >> 4)) & 1) != 0; }

private:
    static void not_an_ascii_byte();  // never defined: reaching it is no constant expression
};

inline constexpr AsciiSet ASCII_DIGITS{"0123456789"};
inline constexpr AsciiSet ASCII_LETTERS{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"};

// The longest text set_masks takes: one bit per byte in 64 bits.
inline constexpr std::size_t SHORT_TEXT = 64;

// For a text of at most 64 bytes, one mask per set: bit i for byte i.
template <const AsciiSet&... sets>
using SetMasks = std::array<std::uint64_t, sizeof...(sets)>;

// The bits of the first n <= 64 bytes.
constexpr std::uint64_t first_bits(std::size_t n) noexcept {
    return n == SHORT_TEXT ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

namespace scalar {

template <const AsciiSet&... sets>
constexpr SetMasks<sets...> set_masks(std::string_view text) noexcept {
    SetMasks<sets...> masks{};
    for (std::size_t i = 0; i < text.size() && i < SHORT_TEXT; ++i) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        std::size_t k = 0;
        ((masks[k++] |= std::uint64_t{sets.is(c)} << i), ...);
    }
    return masks;
}

template <const AsciiSet&... sets>
SetMasks<sets...> set_masks_at(const char* p, std::size_t size) noexcept {
    return set_masks<sets...>({p, size});
}

template <class Rule, const AsciiSet&... sets>
bool judged_at(const char* p, std::size_t size) noexcept {
    return Rule::holds(size, set_masks<sets...>({p, size}));
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace ssse3 {

template <class T>
[[gnu::always_inline]] inline __m128i row_of(const T& table) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}

[[gnu::target("ssse3"), gnu::always_inline]] inline Mask find(const AsciiSet& set, __m128i high, __m128i x) noexcept {
    if (set.only >= 0) {
        return static_cast<Mask>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(set.only)))));
    }
    // A byte from 0x80 has bit 7 set, which makes its row of by_low read as zero.
    const __m128i rows =
        _mm_and_si128(_mm_shuffle_epi8(row_of(set.by_high), high), _mm_shuffle_epi8(row_of(set.by_low), x));
    return ~static_cast<Mask>(_mm_movemask_epi8(_mm_cmpeq_epi8(rows, _mm_setzero_si128()))) & ALL;
}

template <const AsciiSet&... sets>
[[gnu::target("ssse3"), gnu::always_inline]] inline SetMasks<sets...> masks_of(const char* p,
                                                                              std::size_t size) noexcept {
    SetMasks<sets...> masks{};
    for (std::size_t i = 0; i < size && i < SHORT_TEXT; i += BLOCK) {
        const std::size_t left = size - i;
        // The last bytes: a block ending at the text's end when the text is
        // that long (the bits of the bytes it repeats shifted out), else the
        // text and zeros.
        __m128i x;
        unsigned drop = 0;
        if (left >= BLOCK) {
            x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        } else if (size >= BLOCK) {
            x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK));
            drop = static_cast<unsigned>(BLOCK - left);
        } else {
            x = sse2::load_tail(p, size);
        }
        const Mask in_text = left >= BLOCK ? ALL : first(left);
        const __m128i high = _mm_and_si128(_mm_srli_epi16(x, 4), _mm_set1_epi8(0x0F));
        std::size_t k = 0;
        ((masks[k++] |= std::uint64_t{(find(sets, high, x) >> drop) & in_text} << i), ...);
    }
    return masks;
}

template <const AsciiSet&... sets>
[[gnu::target("ssse3")]] SetMasks<sets...> set_masks_at(const char* p, std::size_t size) noexcept {
    return masks_of<sets...>(p, size);
}

template <class Rule, const AsciiSet&... sets>
[[gnu::target("ssse3")]] bool judged_at(const char* p, std::size_t size) noexcept {
    return Rule::holds(size, masks_of<sets...>(p, size));
}

}  // namespace ssse3

namespace avx2 {

template <class T>
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i both_lanes_of(const T& table) noexcept {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

[[gnu::target("avx2"), gnu::always_inline]] inline std::uint32_t find(const AsciiSet& set, __m256i high,
                                                                       __m256i x) noexcept {
    if (set.only >= 0) {
        const __m256i only = _mm256_set1_epi8(static_cast<char>(set.only));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, only)));
    }
    const __m256i rows = _mm256_and_si256(_mm256_shuffle_epi8(both_lanes_of(set.by_high), high),
                                          _mm256_shuffle_epi8(both_lanes_of(set.by_low), x));
    return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(rows, _mm256_setzero_si256())));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i high_nibbles(__m256i x) noexcept {
    return _mm256_and_si256(_mm256_srli_epi16(x, 4), _mm256_set1_epi8(0x0F));
}

// ssse3::masks_of a window of 32 bytes at a time: a text of at most 32 bytes
// is one window of a block and a second block ending at its end (the bits of
// the bytes it repeats shifted out), a longer one two windows, the second
// ending at its end.
template <const AsciiSet&... sets>
[[gnu::target("avx2"), gnu::always_inline]] inline SetMasks<sets...> masks_of(const char* p,
                                                                             std::size_t size) noexcept {
    constexpr std::size_t WINDOW = 2 * BLOCK;
    SetMasks<sets...> masks{};
    if (size <= WINDOW) {
        const __m128i low = size >= BLOCK ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)) : sse2::load_tail(p, size);
        const __m128i high_block =
            size > BLOCK ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK)) : _mm_setzero_si128();
        const __m256i x = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high_block, 1);
        const __m256i high = high_nibbles(x);
        const auto shift = static_cast<unsigned>(size > BLOCK ? WINDOW - size : 0);
        const std::uint64_t in_text = first_bits(size);
        const auto spread = [&](std::uint32_t found) {
            return ((found & ALL) | ((std::uint64_t{found >> BLOCK} >> shift) << BLOCK)) & in_text;
        };
        std::size_t k = 0;
        ((masks[k++] = spread(find(sets, high, x))), ...);
        return masks;
    }
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + size - WINDOW));
    const __m256i high_x = high_nibbles(x);
    const __m256i high_y = high_nibbles(y);
    const auto drop = static_cast<unsigned>(2 * WINDOW - size);
    std::size_t k = 0;
    ((masks[k++] = find(sets, high_x, x) | (std::uint64_t{find(sets, high_y, y) >> drop} << WINDOW)), ...);
    return masks;
}

template <const AsciiSet&... sets>
[[gnu::target("avx2")]] SetMasks<sets...> set_masks_at(const char* p, std::size_t size) noexcept {
    return masks_of<sets...>(p, size < SHORT_TEXT ? size : SHORT_TEXT);
}

template <class Rule, const AsciiSet&... sets>
[[gnu::target("avx2")]] bool judged_at(const char* p, std::size_t size) noexcept {
    return Rule::holds(size, masks_of<sets...>(p, size < SHORT_TEXT ? size : SHORT_TEXT));
}

}  // namespace avx2
#endif

// The kernel: for a text of at most 64 bytes, one mask per set, bit i for
// byte i.
template <const AsciiSet&... sets>
constexpr SetMasks<sets...> set_masks(std::string_view text) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    if (!std::is_constant_evaluated()) {
        return Chosen<&scalar::set_masks_at<sets...>, &ssse3::set_masks_at<sets...>,
                      &avx2::set_masks_at<sets...>>::call(text.data(), text.size());
    }
#endif
    return scalar::set_masks<sets...>(text);
}

// A rule over those masks, judged in the same body that makes them, so that
// they never leave the registers: Rule::holds(size, masks), a function of
// plain integer operations.
template <class Rule, const AsciiSet&... sets>
constexpr bool judged_by_sets(std::string_view text) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    if (!std::is_constant_evaluated()) {
        return Chosen<&scalar::judged_at<Rule, sets...>, &ssse3::judged_at<Rule, sets...>,
                      &avx2::judged_at<Rule, sets...>>::call(text.data(), text.size());
    }
#endif
    return Rule::holds(text.size(), scalar::set_masks<sets...>(text));
}

}  // namespace cobalis::kernels
