// Damm: a weakly totally anti-symmetric quasigroup of order 10; a correct
// number drives the interim digit back to zero.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cobalis::algorithms::damm {

inline constexpr std::array<std::array<std::uint8_t, 10>, 10> TABLE{{
    {0, 3, 1, 7, 5, 9, 8, 6, 4, 2},
    {7, 0, 9, 2, 1, 5, 4, 8, 6, 3},
    {4, 2, 0, 6, 8, 7, 1, 3, 5, 9},
    {1, 7, 5, 0, 9, 8, 3, 4, 2, 6},
    {6, 1, 2, 3, 0, 4, 5, 9, 7, 8},
    {3, 6, 7, 4, 2, 0, 9, 5, 8, 1},
    {5, 8, 6, 9, 7, 2, 0, 1, 3, 4},
    {8, 9, 4, 5, 3, 6, 2, 0, 1, 7},
    {9, 4, 3, 8, 6, 1, 7, 2, 0, 5},
    {2, 5, 8, 1, 4, 3, 6, 7, 9, 0},
}};

// Digits only, the check digit last; no separators are skipped.
constexpr bool validate_str(std::string_view input) noexcept {
    if (input.empty()) return false;
    for (char c : input) {
        if (c < '0' || c > '9') return false;
    }
    std::uint8_t interim = 0;
    for (char c : input) interim = TABLE[interim][static_cast<std::size_t>(c - '0')];
    return interim == 0;
}

}  // namespace cobalis::algorithms::damm
