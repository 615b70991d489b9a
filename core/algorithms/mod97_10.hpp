// ISO 7064 MOD 97-10: a text read as one long decimal number, in which a digit
// stands for itself and a letter A..Z for the two digits 10..35, divided by
// 97. IBANs and LEIs carry two check digits that make the remainder 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cobalis::algorithms::mod97_10 {

inline constexpr std::uint32_t MODULUS = 97;

// 10^96 = 1 (mod 97), by Fermat: powers of ten repeat with this period.
inline constexpr std::size_t PLACES_PERIOD = 96;

// Characters are read in chunks; within a chunk the place only grows (by at
// most two a character), and it is brought back below the period between
// chunks.
inline constexpr std::size_t CHUNK = 256;

// 10^k mod 97 for every place a chunk can reach: k < 96 + 2 * 256.
inline constexpr auto POWERS_OF_TEN = [] {
    std::array<std::uint8_t, PLACES_PERIOD + 2 * CHUNK> powers{};
    std::uint32_t p = 1;
    for (auto& power : powers) {
        power = static_cast<std::uint8_t>(p);
        p = p * 10 % MODULUS;
    }
    return powers;
}();
static_assert(POWERS_OF_TEN[PLACES_PERIOD] == 1);

constexpr std::uint32_t power_of_ten(std::size_t k) noexcept { return POWERS_OF_TEN[k % PLACES_PERIOD]; }

// How each byte reads as decimal digits: a digit is itself (one digit), a
// letter A..Z the two digits 10..35, any other byte nothing at all. Value and
// width sit in separate tables, so each is one plain byte load.
struct ByteReadings {
    std::array<std::uint8_t, 256> value{};
    std::array<std::uint8_t, 256> width{};
};

inline constexpr ByteReadings BYTE_READINGS = [] {
    ByteReadings t;
    for (std::size_t c = '0'; c <= '9'; ++c) {
        t.value[c] = static_cast<std::uint8_t>(c - '0');
        t.width[c] = 1;
    }
    for (std::size_t c = 'A'; c <= 'Z'; ++c) {
        t.value[c] = static_cast<std::uint8_t>(c - 'A' + 10);
        t.width[c] = 2;
    }
    return t;
}();

struct Reading {
    unsigned remainder;
    bool all_alphanumeric;  // every byte was a digit or a letter A..Z
};

// The remainder of `head` followed by `tail`; any byte but a digit or a letter
// A..Z is skipped, and noted. Read from the right, each character adds its
// value times the power of ten of its place, so the terms are independent of
// each other instead of one long chain of multiply-and-reduce; no length can
// overflow the sum.
constexpr Reading read(std::string_view head, std::string_view tail = {}) noexcept {
    std::uint64_t sum = 0;
    std::size_t place = 0;  // digits to the right, below the period between chunks
    bool skipped = false;
    const auto add = [&](std::string_view text) {
        std::size_t i = text.size();
        while (i > 0) {
            const std::size_t chunk_start = i > CHUNK ? i - CHUNK : 0;
            for (; i > chunk_start; --i) {
                const auto byte = static_cast<std::uint8_t>(text[i - 1]);
                const std::size_t width = BYTE_READINGS.width[byte];
                sum += std::uint64_t{BYTE_READINGS.value[byte]} * POWERS_OF_TEN[place];
                place += width;
                skipped |= width == 0;
            }
            place %= PLACES_PERIOD;
        }
    };
    add(tail);
    add(head);
    return {static_cast<unsigned>(sum % MODULUS), !skipped};
}

constexpr unsigned remainder(std::string_view head, std::string_view tail = {}) noexcept {
    return read(head, tail).remainder;
}

static_assert(remainder("3214282912345698765432161182") == 1);  // an IBAN rearranged, its letters as digits
static_assert(remainder("WEST12345698765432", "GB82") == 1);
static_assert(remainder("9", "7") == 97 % 97 && remainder("1", "00") == 3);
static_assert(read("AB12").all_alphanumeric && !read("AB-12").all_alphanumeric && !read("1", "a").all_alphanumeric);
static_assert(remainder(std::string_view(
                  "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
                  "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
                  "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
                  "111111111111")) == 27);  // 300 ones, past one chunk

}  // namespace cobalis::algorithms::mod97_10
