// The tables of the vector MOD 97-10 bodies (mod97.hpp): a byte's class
// from its two nibbles, the decimal digits each class stands for, its value,
// and 10^p mod 97 for the places of a block, each row written for byte
// shuffles.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/algorithms/mod97_10.hpp"
#include "core/kernels/block.hpp"

#ifdef COBALIS_KERNELS_SSE2
namespace cobalis::kernels::ssse3 {

// A byte's class from its two nibbles: the bits its high nibble allows, AND
// the bits its low nibble allows. Digits 0x30..0x39; letters 0x41..0x4F and
// 0x61..0x6F, 0x50..0x5A and 0x70..0x7A (two bits, as one range of low
// nibbles cannot describe both halves); tab 0x09; space, '-' and '.' 0x20,
// 0x2D, 0x2E. Bytes from 0x80 have no class.
inline constexpr std::uint8_t DIGIT = 1, LETTER_A_TO_O = 2, LETTER_P_TO_Z = 4, TAB = 8, GAP = 16;

using Row = std::array<std::uint8_t, 2 * BLOCK>;

// A table of 16 bytes for byte shuffles, written twice: one load fills both
// lanes of a 32-byte register.
template <class Entry>
constexpr Row twice(Entry entry) {
    Row row{};
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = entry(i % BLOCK);
    return row;
}

struct alignas(2 * BLOCK) Mod97Tables {
    Row class_by_high_nibble = twice([](std::size_t h) -> std::uint8_t {
        constexpr std::array<std::uint8_t, 8> classes{TAB, 0, GAP, DIGIT, LETTER_A_TO_O, LETTER_P_TO_Z,
                                                      LETTER_A_TO_O, LETTER_P_TO_Z};
        return h < classes.size() ? classes[h] : 0;
    });
    Row class_by_low_nibble = twice([](std::size_t l) -> std::uint8_t {
        return static_cast<std::uint8_t>((l <= 9 ? DIGIT : 0) | (l >= 1 ? LETTER_A_TO_O : 0) |
                                         (l <= 0xA ? LETTER_P_TO_Z : 0) | (l == 0x9 ? TAB : 0) |
                                         (l == 0x0 || l == 0xD || l == 0xE ? GAP : 0));
    });
    // Decimal digits per class (GAP, 16, reads as row 0).
    Row width_of_class = twice([](std::size_t c) -> std::uint8_t {
        return c == DIGIT ? 1 : c == LETTER_A_TO_O || c == LETTER_P_TO_Z ? 2 : 0;
    });
    // A digit's value is its low nibble; a letter's its low nibble plus 9
    // (A..O) or 25 (P..Z).
    Row value_by_high_nibble = twice([](std::size_t h) -> std::uint8_t {
        return h == 0x4 || h == 0x6 ? 9 : h == 0x5 || h == 0x7 ? 25 : 0;
    });
    // 10^p mod 97 for p = 0..15, and for p = 16..31.
    Row powers_0_to_15 = twice([](std::size_t p) { return static_cast<std::uint8_t>(algorithms::mod97_10::power_of_ten(p)); });
    Row powers_16_to_31 = twice([](std::size_t p) { return static_cast<std::uint8_t>(algorithms::mod97_10::power_of_ten(BLOCK + p)); });
    Row low_nibble = twice([](std::size_t) -> std::uint8_t { return 0x0F; });
    Row separator_above = twice([](std::size_t) -> std::uint8_t { return TAB - 1; });
    // Added with saturation, this sets bit 7 (a zero from a shuffle) in
    // every place from 16 on.
    Row places_from_16 = twice([](std::size_t) -> std::uint8_t { return 0x70; });
    Row sixteen = twice([](std::size_t) -> std::uint8_t { return BLOCK; });
    Row spaces = twice([](std::size_t) -> std::uint8_t { return ' '; });
    Row ones = twice([](std::size_t) -> std::uint8_t { return 1; });
    Row case_bit = twice([](std::size_t) -> std::uint8_t { return 0x20; });
    Row word_ones = twice([](std::size_t i) -> std::uint8_t { return i % 2 == 0 ? 1 : 0; });
    // 0x00 in the first 16 bytes, 0xFF in the next 16: the row from ENDS + k
    // marks the last k bytes of a block, the row from ENDS + 16 - k the
    // bytes from k on.
    Row ends = [] {
        Row t{};
        for (std::size_t i = BLOCK; i < t.size(); ++i) t[i] = 0xFF;
        return t;
    }();
};
inline constexpr Mod97Tables TABLES{};

// The tables as memory whose contents the compiler does not know: their rows
// are then read by the instructions that use them, where a known row would
// be rebuilt from an immediate, two or three instructions each time.
[[gnu::always_inline]] inline const Mod97Tables& tables() noexcept {
    const Mod97Tables* t = &TABLES;
    asm("" : "+r"(t));
    return *t;
}

}  // namespace cobalis::kernels::ssse3
#endif
