// MOD 97-10 as IBANs read it: the normal form with its first four bytes moved
// to the end. For texts whose first four bytes are kept (no separator among
// them), as almost every IBAN is written, compact or printed in groups.
//
// The AVX2 body takes texts of 16 to 32 bytes as one window and moves the
// head to the end with one permutation of 4-byte words, so that the weighed
// sum is already the rearranged number's: no head to take apart, no
// correction by powers of ten afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/kernels/mod97.hpp"

namespace cobalis::kernels {

struct RearrangedMod97 {
    std::uint32_t residue;       // equal to the rearranged normal form, read as one number, mod 97; below 2^32
    std::uint32_t size;          // bytes of the normal form
    std::uint32_t head_letters;  // bit i: the text's byte i, i < 4, is a letter of either case
    std::uint32_t head_digits;   // bit i: the text's byte i, i < 4, is a digit
    bool all_alphanumeric;       // every byte of the normal form a digit or a letter
    bool head_in_place;          // the text's first four bytes are kept; when not, the other fields say nothing

    constexpr std::uint32_t remainder() const noexcept { return residue % MOD97; }
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
    const NormalMod97 head = mod97_of_normal_form(text.substr(0, HEAD), HEAD);
    const NormalMod97 tail = mod97_of_normal_form(text.substr(HEAD), text.size());
    return {(tail.remainder() * power_of_ten(head.places) + head.remainder()) % MOD97,
            tail.size + std::uint32_t{HEAD},
            letters,
            digits,
            head.all_alphanumeric && tail.all_alphanumeric,
            true};
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace avx2 {

// 4-byte words 1..7, then 0: the window's first four bytes to its end.
alignas(2 * BLOCK) inline constexpr Row HEAD_TO_END = [] {
    Row order{};
    constexpr std::size_t WORD = 4, WORDS = 8;
    for (std::size_t w = 0; w < WORDS; ++w) order[WORD * w] = static_cast<std::uint8_t>((w + 1) % WORDS);
    return order;
}();

// For 16 <= size <= 32 (fits_short_window). The window's bytes that repeat
// others are spaces, which weigh nothing wherever they stand.
[[gnu::target("avx2,popcnt"), gnu::always_inline]] inline RearrangedMod97 mod97_rearranged_short(
    const char* p, std::size_t size) noexcept {
    const __m256i head_to_end = _mm256_load_si256(reinterpret_cast<const __m256i*>(HEAD_TO_END.data()));
    const ssse3::Weighed w = weigh(_mm256_permutevar8x32_epi32(short_window(p, size), head_to_end));
    // The head's bytes are the window's last four.
    constexpr unsigned HEAD_AT = 2 * BLOCK - HEAD;
    return {w.sum,
            static_cast<std::uint32_t>(std::popcount(w.keep)),
            w.letters >> HEAD_AT,
            (w.alphanumeric & ~w.letters) >> HEAD_AT,
            (w.keep & ~w.alphanumeric) == 0,
            (w.keep >> HEAD_AT) == first(HEAD)};
}

}  // namespace avx2
#endif

}  // namespace cobalis::kernels
