// MOD 97-10 as IBANs read it: the normal form with its first four bytes moved
// to the end. For texts whose first four bytes are kept (no separator among
// them), as almost every IBAN is written, compact or printed in groups.
//
// The AVX2 bodies take texts of 16 to 32 bytes as one window of 32 bytes,
// texts of 33 to 64 as two, and move the head to the end with permutations
// of 4-byte words, so that the weighed sum is already the rearranged
// number's: no head to take apart, no correction by powers of ten
// afterwards. Other texts go to the general kernel (mod97.hpp).
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/kernels/mod97.hpp"

namespace cobalis::kernels {

// The text's places that RearrangedMod97 marks: those of one or two windows.
inline constexpr std::size_t TEXT_PLACES = 64;

struct RearrangedMod97 {
    std::uint32_t residue;       // equal to the rearranged normal form, read as one number, mod 97; below 2^32
    std::uint32_t size;          // bytes of the normal form
    std::uint32_t head_letters;  // bit i: the text's byte i, i < 4, is a letter of either case
    std::uint32_t head_digits;   // bit i: the text's byte i, i < 4, is a digit
    bool all_alphanumeric;       // every byte of the normal form a digit or a letter
    bool head_in_place;          // the text's first four bytes are kept; when not, the other fields say nothing
    // Bit i: the text's byte i, i < 64, is a letter of either case (`letters`),
    // is kept in the normal form (`kept`); the windows hold them anyway.
    std::uint64_t letters = 0, kept = 0;

    constexpr std::uint32_t remainder() const noexcept { return residue % MODULUS; }
};

namespace scalar {

constexpr RearrangedMod97 mod97_rearranged(std::string_view text) noexcept {
    if (text.size() < HEAD) return {0, 0, 0, 0, false, false};
    std::uint32_t letters = 0, digits = 0;
    for (std::size_t i = 0; i < HEAD; ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (Separators::is(byte)) return {0, 0, 0, 0, false, false};
        letters |= std::uint32_t{Upper::is(FoldUpper::apply(byte))} << i;
        digits |= std::uint32_t{Digits::is(byte)} << i;
    }
    std::uint64_t text_letters = 0, kept = 0;
    for (std::size_t i = 0; i < text.size() && i < TEXT_PLACES; ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        text_letters |= std::uint64_t{Upper::is(FoldUpper::apply(byte))} << i;
        kept |= std::uint64_t{!Separators::is(byte)} << i;
    }
    const NormalMod97 head = mod97_of_normal_form(text.substr(0, HEAD), HEAD);
    const NormalMod97 tail = mod97_of_normal_form(text.substr(HEAD), text.size());
    return {(tail.remainder() * power_of_ten(head.places) + head.remainder()) % MODULUS,
            tail.size + std::uint32_t{HEAD},
            letters,
            digits,
            head.all_alphanumeric && tail.all_alphanumeric,
            true,
            text_letters,
            kept};
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace avx2 {

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i row_of(const Row& row) noexcept {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(row.data()));
}

// 4-byte words 1..7, then 0: the window's first four bytes to its end.
alignas(2 * BLOCK) inline constexpr Row HEAD_TO_END = [] {
    Row order{};
    constexpr std::size_t WORD = 4, WORDS = 8;
    for (std::size_t w = 0; w < WORDS; ++w) order[WORD * w] = static_cast<std::uint8_t>((w + 1) % WORDS);
    return order;
}();

// A mask over short_window(p, size) as places of the text: its second block
// holds bytes size - 16 on, of which those before 16 are repeats.
constexpr std::uint64_t short_window_places(std::uint32_t window, std::size_t size) noexcept {
    return (window & 0xFFFF) | std::uint64_t{(window >> BLOCK) >> (2 * BLOCK - size)} << BLOCK;
}

// For 16 <= size <= 32 (fits_short_window). The window's bytes that repeat
// others are spaces, which weigh nothing wherever they stand.
[[gnu::target("avx2,popcnt"), gnu::always_inline]] inline RearrangedMod97 mod97_rearranged_short(
    const char* p, std::size_t size) noexcept {
    const ssse3::Weighed w = weigh(_mm256_permutevar8x32_epi32(short_window(p, size), row_of(HEAD_TO_END)));
    // The head's bytes are the window's last four.
    constexpr unsigned HEAD_AT = 2 * BLOCK - HEAD;
    return {w.sum,
            static_cast<std::uint32_t>(std::popcount(w.keep)),
            w.letters >> HEAD_AT,
            (w.alphanumeric & ~w.letters) >> HEAD_AT,
            (w.keep & ~w.alphanumeric) == 0,
            (w.keep >> HEAD_AT) == first(HEAD),
            short_window_places(std::rotl(w.letters, static_cast<int>(HEAD)), size),
            short_window_places(std::rotl(w.keep, static_cast<int>(HEAD)), size)};
}

// The texts read as two windows: blocks 0 and 1, then 2 and 3.
inline constexpr std::size_t LONGEST_TWO_WINDOWS = 4 * BLOCK;
constexpr bool fits_two_windows(std::size_t size) noexcept {
    return size - (LONGEST_WINDOW + 1) <= LONGEST_TWO_WINDOWS - (LONGEST_WINDOW + 1);
}

// Byte j of each lane, and 16 (k + 1) - 1 for blocks k = 2 and 3: block k
// is read from min(16k, size - 16), so that every read stays inside the
// text, and its byte j is new, not held by the blocks before it, when
// j > 16 (k + 1) - 1 - size; the bound lies in -17..30, a signed byte.
alignas(2 * BLOCK) inline constexpr Row PLACE_IN_BLOCK = ssse3::twice([](std::size_t j) {
    return static_cast<std::uint8_t>(j);
});
alignas(2 * BLOCK) inline constexpr Row LAST_PLACES = [] {
    Row last{};
    for (std::size_t j = 0; j < last.size(); ++j) {
        last[j] = static_cast<std::uint8_t>(j < BLOCK ? 3 * BLOCK - 1 : 4 * BLOCK - 1);
    }
    return last;
}();

// Blocks 2 and 3 of a text of 33 to 64 bytes, the bytes they repeat made
// spaces.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i second_window(const char* p, std::size_t size) noexcept {
    const __m256i x = lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + std::min(2 * BLOCK, size - BLOCK))),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK)));
    const __m256i bounds = _mm256_sub_epi8(row_of(LAST_PLACES), _mm256_set1_epi8(static_cast<char>(size)));
    return _mm256_blendv_epi8(row_of(tables().spaces), x, _mm256_cmpgt_epi8(row_of(PLACE_IN_BLOCK), bounds));
}

// Masks over the two windows as weighed (front: the text's bytes 4..31, then
// the second window's first four; back: the rest of the second window, then
// the text's first four) as places of the text. The second window's first
// block holds bytes min(32, size - 16) on, its second bytes size - 16 on;
// the bytes they repeat are spaces, in no mask.
constexpr std::uint64_t two_window_places(std::uint32_t front, std::uint32_t back, std::size_t size) noexcept {
    constexpr unsigned HEAD_AT = 2 * BLOCK - HEAD;
    const std::uint32_t first_window = front << HEAD | back >> HEAD_AT;
    const std::uint32_t second_window = back << HEAD | front >> HEAD_AT;
    return first_window | std::uint64_t{second_window & 0xFFFF} << std::min(2 * BLOCK, size - BLOCK) |
           std::uint64_t{second_window >> BLOCK} << (size - BLOCK);
}

// For 33 <= size <= 64 (fits_two_windows): mod97_rearranged_short over two
// windows, the head moved from the first window's start to the second's end.
[[gnu::target("avx2,popcnt"), gnu::always_inline]] inline RearrangedMod97 mod97_rearranged_two_windows(
    const char* p, std::size_t size) noexcept {
    const __m256i head_to_end = row_of(HEAD_TO_END);
    const __m256i first_window = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i one = _mm256_permutevar8x32_epi32(first_window, head_to_end);
    const __m256i two = _mm256_permutevar8x32_epi32(second_window(p, size), head_to_end);
    // Each window's first word, moved to its end, is swapped for the other's.
    constexpr int LAST_WORD = 0x80;
    const ssse3::Weighed front = weigh(_mm256_blend_epi32(one, two, LAST_WORD));
    const ssse3::Weighed back = weigh(_mm256_blend_epi32(two, one, LAST_WORD));
    constexpr unsigned HEAD_AT = 2 * BLOCK - HEAD;
    const std::uint32_t strangers = (front.keep & ~front.alphanumeric) | (back.keep & ~back.alphanumeric);
    return {front.sum % MODULUS * POWERS_OF_TEN[back.places] + back.sum,
            static_cast<std::uint32_t>(std::popcount(front.keep) + std::popcount(back.keep)),
            back.letters >> HEAD_AT,
            (back.alphanumeric & ~back.letters) >> HEAD_AT,
            strangers == 0,
            (back.keep >> HEAD_AT) == first(HEAD),
            two_window_places(front.letters, back.letters, size),
            two_window_places(front.keep, back.keep, size)};
}

}  // namespace avx2
#endif

}  // namespace cobalis::kernels
