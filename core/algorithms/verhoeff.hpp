// Verhoeff: the dihedral group D5 with a position permutation; catches every
// single-digit error and every adjacent transposition.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cobalis::algorithms::verhoeff {

using Row = std::array<std::uint8_t, 10>;

// Multiplication table of the dihedral group of order 10.
inline constexpr std::array<Row, 10> D{{
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
    {1, 2, 3, 4, 0, 6, 7, 8, 9, 5},
    {2, 3, 4, 0, 1, 7, 8, 9, 5, 6},
    {3, 4, 0, 1, 2, 8, 9, 5, 6, 7},
    {4, 0, 1, 2, 3, 9, 5, 6, 7, 8},
    {5, 9, 8, 7, 6, 0, 4, 3, 2, 1},
    {6, 5, 9, 8, 7, 1, 0, 4, 3, 2},
    {7, 6, 5, 9, 8, 2, 1, 0, 4, 3},
    {8, 7, 6, 5, 9, 3, 2, 1, 0, 4},
    {9, 8, 7, 6, 5, 4, 3, 2, 1, 0},
}};

// Position permutations: row k is row 1 applied k times.
inline constexpr std::array<Row, 8> P{{
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
    {1, 5, 7, 6, 2, 8, 3, 0, 9, 4},
    {5, 8, 0, 3, 7, 9, 6, 1, 4, 2},
    {8, 9, 1, 6, 0, 4, 3, 5, 2, 7},
    {9, 4, 5, 3, 1, 2, 6, 8, 7, 0},
    {4, 2, 8, 6, 5, 7, 3, 9, 0, 1},
    {2, 7, 9, 3, 8, 0, 6, 4, 1, 5},
    {7, 0, 4, 6, 9, 1, 3, 2, 5, 8},
}};

// Digits only, the check digit last; no separators are skipped.
constexpr bool validate_str(std::string_view input) noexcept {
    if (input.empty()) return false;
    for (char c : input) {
        if (c < '0' || c > '9') return false;
    }
    std::uint8_t c = 0;
    std::size_t position = 0;
    for (std::size_t i = input.size(); i-- > 0; ++position) {
        c = D[c][P[position % 8][static_cast<std::size_t>(input[i] - '0')]];
    }
    return c == 0;
}

}  // namespace cobalis::algorithms::verhoeff
