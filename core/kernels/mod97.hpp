// MOD 97-10 over a block: the remainder of its characters read as one
// decimal number in which a digit stands for itself and a letter A..Z for
// the two digits 10..35.
//
// The vector body sums value x 10^place with multiply-add instructions. A
// character's place is the number of decimal digits to its right, which
// letters make vary; per half block the places follow from the half's letter
// mask alone, so they come from a table of 256 rows of eight powers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/kernels/block.hpp"
#include "core/kernels/separators.hpp"

namespace cobalis::kernels {

inline constexpr std::uint32_t MOD97 = 97;
// 10^96 = 1 (mod 97), by Fermat: places repeat with this period.
inline constexpr std::size_t PLACES_PERIOD = 96;

// 10^k mod 97 for every k a block needs: up to 32 places, and 96 - k to
// take k places off.
inline constexpr std::size_t POWERS = PLACES_PERIOD + 1;
inline constexpr auto POWERS_OF_TEN = [] {
    std::array<std::uint8_t, POWERS> powers{};
    std::uint32_t p = 1;
    for (auto& power : powers) {
        power = static_cast<std::uint8_t>(p);
        p = p * 10 % MOD97;
    }
    return powers;
}();
constexpr std::uint32_t power_of_ten(std::size_t k) noexcept { return POWERS_OF_TEN[k]; }

// What the first n bytes of a block add to MOD 97-10.
struct Mod97Block {
    std::uint32_t sum;        // equal to the number they stand for, mod 97; below 2^28
    std::uint32_t places;     // decimal digits they stand for
    Mask alphanumeric;        // the bytes that are digits or letters A..Z
    friend constexpr bool operator==(const Mod97Block&, const Mod97Block&) noexcept = default;
};

namespace scalar {

// A byte that is neither a digit nor a letter stands for the digit 0 here
// and is left out of `alphanumeric`; callers skip such bytes themselves.
constexpr Mod97Block sum_mod97(const Bytes& x, std::size_t n) noexcept {
    Mod97Block out{0, 0, 0};
    for (std::size_t i = 0; i < n && i < BLOCK; ++i) {
        const std::uint8_t c = x.b[i];
        if (c >= 'A' && c <= 'Z') {
            out.sum = (out.sum * 100 + (c - 'A' + 10u)) % MOD97;
            out.places += 2;
        } else {
            out.sum = (out.sum * 10 + (c >= '0' && c <= '9' ? c - '0' : 0u)) % MOD97;
            out.places += 1;
        }
        out.alphanumeric |= Digits::is(c) || Upper::is(c) ? Mask{1} << i : 0;
    }
    return out;
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace sse2 {

inline constexpr std::size_t HALF = BLOCK / 2;

// Row m, byte j: 10^place mod 97 of byte j of a half block whose letters are
// the bits of m, counted from the end of the half (a letter takes two places).
inline constexpr auto HALF_PLACES = [] {
    std::array<std::array<std::uint8_t, HALF>, 256> rows{};
    for (std::size_t m = 0; m < 256; ++m) {
        for (std::size_t j = 0; j < HALF; ++j) {
            const std::size_t letters_after = static_cast<std::size_t>(std::popcount(m >> (j + 1)));
            rows[m][j] = static_cast<std::uint8_t>(power_of_ten(HALF - 1 - j + letters_after));
        }
    }
    return rows;
}();

// The bytes of the first n are zero from byte n on, as load() leaves them.
inline Mod97Block sum_mod97(__m128i x, std::size_t n) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i digit = Digits::find(x);
    const __m128i letter = Upper::find(x);
    const __m128i alnum = _mm_or_si128(digit, letter);
    const Mask letters = mask_of(letter);
    // '0'..'9' to 0..9 and 'A'..'Z' to 10..35 (7 apart), anything else to 0.
    const __m128i value =
        _mm_and_si128(_mm_sub_epi8(_mm_sub_epi8(x, splat('0')), _mm_and_si128(letter, splat(7))), alnum);
    const auto places_of = [&](Mask half) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(HALF_PLACES[half].data())), zero);
    };
    const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi8(value, zero), places_of(letters & 0xFF));
    const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi8(value, zero), places_of(letters >> HALF));
    __m128i sums = _mm_add_epi32(_mm_unpacklo_epi64(low, high), _mm_unpackhi_epi64(low, high));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(2, 3, 0, 1)));
    const auto left = static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums));
    const auto right = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    // The left half stands before the right half's places; the whole block
    // was weighted as if 16 bytes long, so 16 - n places come off the end
    // (10^-k = 10^(96-k)).
    const std::uint32_t whole = power_of_ten(HALF + count(letters >> HALF)) * left + right;
    const std::uint32_t sum = whole * power_of_ten(PLACES_PERIOD - (BLOCK - n));
    return {sum, static_cast<std::uint32_t>(n + count(letters)), mask_of(alnum) & first(n)};
}

}  // namespace sse2
#endif

// MOD 97-10 of `head` followed by `tail`, a block at a time: each block's
// sum joins the running remainder behind its own places. The end of the head
// and a short tail share one block, so an IBAN (its first four characters
// moved behind the rest) takes two. Answers the remainder and whether every
// byte was a digit or a letter; the caller reads the remainder only then.
struct Mod97Text {
    std::uint32_t remainder;
    bool all_alphanumeric;
};

#ifdef COBALIS_KERNELS_SSE2
inline Mod97Text sum_mod97(std::string_view head, std::string_view tail) noexcept {
    std::uint32_t remainder = 0;
    bool ok = true;
    const auto add = [&](__m128i x, std::size_t n) {
        const Mod97Block b = sse2::sum_mod97(x, n);
        remainder = (remainder * power_of_ten(b.places) + b.sum) % MOD97;
        ok &= b.alphanumeric == first(n);
    };
    const auto add_text = [&](std::string_view text) {
        std::size_t i = 0;
        for (; text.size() - i > BLOCK; i += BLOCK) add(sse2::load(text.data() + i, BLOCK), BLOCK);
        return text.substr(i);
    };
    const std::string_view end = add_text(head);
    if (tail.size() <= 8 && end.size() + tail.size() <= BLOCK) {
        add(sse2::load_joined(end.data(), end.size(), tail.data(), tail.size()), end.size() + tail.size());
    } else {
        add(sse2::load(end.data(), end.size()), end.size());
        const std::string_view last = add_text(tail);
        add(sse2::load(last.data(), last.size()), last.size());
    }
    return {remainder, ok};
}
#else
inline Mod97Text sum_mod97(std::string_view head, std::string_view tail) noexcept {
    std::uint32_t remainder = 0;
    bool ok = true;
    for (const std::string_view text : {head, tail}) {
        for (std::size_t i = 0; i < text.size(); i += BLOCK) {
            const std::size_t take = text.size() - i < BLOCK ? text.size() - i : BLOCK;
            const Mod97Block b = scalar::sum_mod97(scalar::load(text.data() + i, take), take);
            remainder = (remainder * power_of_ten(b.places) + b.sum) % MOD97;
            ok &= b.alphanumeric == first(take);
        }
    }
    return {remainder, ok};
}
#endif

}  // namespace cobalis::kernels
