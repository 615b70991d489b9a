// International Bank Account Numbers (ISO 13616).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/types.hpp"

namespace cobalis::validators::iban {

namespace detail {

// A byte read as decimal digits: a digit is itself (one digit), a letter
// A..Z the two digits 10..35, any other byte nothing at all. Value and digit
// count sit in separate tables, so each is one plain byte load.
struct Mod97Tables {
    std::array<std::uint8_t, 256> value{};
    std::array<std::uint8_t, 256> count{};
};

constexpr Mod97Tables make_mod97_tables() noexcept {
    Mod97Tables t;
    for (std::size_t c = '0'; c <= '9'; ++c) {
        t.value[c] = static_cast<std::uint8_t>(c - '0');
        t.count[c] = 1;
    }
    for (std::size_t c = 'A'; c <= 'Z'; ++c) {
        t.value[c] = static_cast<std::uint8_t>(c - 'A' + 10);
        t.count[c] = 2;
    }
    return t;
}
inline constexpr Mod97Tables MOD97 = make_mod97_tables();

// Characters are read in chunks; within a chunk the place only grows, and it
// is brought back below 96 between chunks (10^96 = 1 mod 97, by Fermat).
inline constexpr std::size_t POWERS_PERIOD = 96;
inline constexpr std::size_t CHUNK = 256;
inline constexpr std::size_t POWERS = POWERS_PERIOD + 2 * CHUNK;

// 10^k mod 97.
constexpr std::array<std::uint8_t, POWERS> make_powers_of_ten() noexcept {
    std::array<std::uint8_t, POWERS> powers{};
    unsigned p = 1;
    for (auto& power : powers) {
        power = static_cast<std::uint8_t>(p);
        p = p * 10 % 97;
    }
    return powers;
}
inline constexpr std::array<std::uint8_t, POWERS> POWERS_OF_TEN = make_powers_of_ten();
static_assert(POWERS_OF_TEN[POWERS_PERIOD] == 1);

}  // namespace detail

struct Mod97 {
    unsigned remainder;
    bool all_alphanumeric;  // every byte was a digit or a letter A..Z
};

// ISO 7064 MOD 97-10 remainder of `head` followed by `tail`, read as one
// long decimal number in which a letter A..Z stands for the two digits
// 10..35; any other byte is skipped, and noted. Read from the right, each
// character adds its value times the power of ten of its place, so the terms
// are independent of each other instead of one long chain of
// multiply-and-reduce; no length can overflow the sum.
constexpr Mod97 mod97(std::string_view head, std::string_view tail = {}) noexcept {
    std::uint64_t sum = 0;
    std::size_t place = 0;  // digits to the right, mod 96 between chunks
    bool skipped = false;
    const auto add = [&](std::string_view text) {
        std::size_t i = text.size();
        while (i > 0) {
            const std::size_t chunk_start = i > detail::CHUNK ? i - detail::CHUNK : 0;
            for (; i > chunk_start; --i) {
                const auto byte = static_cast<std::uint8_t>(text[i - 1]);
                const std::size_t count = detail::MOD97.count[byte];
                sum += std::uint64_t{detail::MOD97.value[byte]} * detail::POWERS_OF_TEN[place];
                place += count;
                skipped |= count == 0;
            }
            place %= detail::POWERS_PERIOD;
        }
    };
    add(tail);
    add(head);
    return {static_cast<unsigned>(sum % 97), !skipped};
}

constexpr unsigned mod97_remainder(std::string_view head, std::string_view tail = {}) noexcept {
    return mod97(head, tail).remainder;
}

static_assert(mod97_remainder("3214282912345698765432161182") == 1);  // GB82 WEST... rearranged, letters expanded
static_assert(mod97_remainder("WEST12345698765432", "GB82") == 1);
static_assert(mod97_remainder("9", "7") == 97 % 97 && mod97_remainder("1", "00") == 3);
static_assert(mod97("AB12").all_alphanumeric && !mod97("AB-12").all_alphanumeric && !mod97("1", "a").all_alphanumeric);
static_assert(mod97_remainder(std::string_view(
                  "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
                  "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
                  "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
                  "111111111111")) == 27);  // 300 ones, past one chunk

// IBANs move the country code and check digits to the end before MOD 97-10;
// a correct IBAN leaves the remainder 1. `iban` holds at least 4 bytes.
constexpr bool iban_mod97_check(std::string_view iban) noexcept {
    return mod97_remainder(iban.substr(4), iban.substr(0, 4)) == 1;
}

// The first four characters of an IBAN (two letters, two digits) as the
// number MOD 97-10 reads them: six decimal digits.
inline constexpr std::size_t HEAD_LENGTH = 4;
inline constexpr std::size_t HEAD_PLACES = 6;
constexpr unsigned head_number(std::array<char, HEAD_LENGTH> head) noexcept {
    const auto letter = [](char c) { return static_cast<unsigned>(c - 'A') + 10; };
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
    return ((letter(head[0]) * 100 + letter(head[1])) * 10 + digit(head[2])) * 10 + digit(head[3]);
}
static_assert(head_number({'G', 'B', '8', '2'}) == 161182);

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

// Strict validation: everything above, then the account number's national
// layout from the IBAN registry (invalid_structure) and, where the country's
// banking standard publishes one, its national check digits
// (invalid_checksum). Valid only where `validate` is valid too, with the same
// forms and details.
ValidationResult validate_strict(std::string_view input) noexcept;
bool is_valid_strict(std::string_view input) noexcept;

}  // namespace cobalis::validators::iban
