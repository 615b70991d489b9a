// Read-only tables keyed by two letters A..Z (country codes), laid out by the
// compiler: one byte per pair of letters gives the entry's place, so a
// lookup is two loads and no hashing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/data/static_map.hpp"

namespace cobalis::data {

// Reaching this while a table is built (a key that is not two letters, or a
// key twice) stops the compilation.
void malformed_letter_pair_map();

template <class V, std::size_t N>
class LetterPairMap {
public:
    static constexpr std::size_t LETTERS = 26;
    static_assert(N < 256, "an entry's place is one byte");

    consteval explicit LetterPairMap(const std::array<Entry<V>, N>& entries) {
        for (std::size_t i = 0; i < N; ++i) {
            const std::string_view key = entries[i].key;
            if (!is_pair(key) || slots_[pair(key[0], key[1])] != 0) malformed_letter_pair_map();
            slots_[pair(key[0], key[1])] = static_cast<std::uint8_t>(i + 1);
            values_[i] = entries[i].value;
        }
    }

    // The value stored under exactly `key`, or nullptr.
    [[nodiscard]] constexpr const V* find(std::string_view key) const noexcept {
        return key.size() == 2 ? find(key[0], key[1]) : nullptr;
    }

    // The value stored under the code of these two bytes, or nullptr.
    [[nodiscard]] constexpr const V* find(char first, char second) const noexcept {
        if (letter(first) >= LETTERS || letter(second) >= LETTERS) return nullptr;
        const std::uint8_t slot = slots_[pair(first, second)];
        return slot != 0 ? &values_[slot - 1] : nullptr;
    }

    [[nodiscard]] static constexpr std::size_t size() noexcept { return N; }

private:
    // Past 25 for any byte but A..Z.
    static constexpr std::size_t letter(char c) noexcept {
        return static_cast<std::size_t>(static_cast<std::uint8_t>(c - 'A'));
    }
    static constexpr std::size_t pair(char first, char second) noexcept {
        return letter(first) * LETTERS + letter(second);
    }
    static constexpr bool is_pair(std::string_view key) noexcept {
        return key.size() == 2 && letter(key[0]) < LETTERS && letter(key[1]) < LETTERS;
    }

    std::array<std::uint8_t, LETTERS * LETTERS> slots_{};
    std::array<V, N> values_{};
};

}  // namespace cobalis::data
