// International Bank Account Numbers (ISO 13616).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::validators::iban {

namespace detail {

// How one byte moves the running number: a digit appends itself (x 10 + d),
// a letter appends its two digits 10..35 (x 100 + v), any other byte leaves
// it unchanged (x 1 + 0).
struct Mod97Step {
    std::uint8_t multiplier;
    std::uint8_t addend;
};

constexpr std::array<Mod97Step, 256> make_mod97_steps() noexcept {
    std::array<Mod97Step, 256> steps{};
    for (std::size_t c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9') {
            steps[c] = {10, static_cast<std::uint8_t>(c - '0')};
        } else if (c >= 'A' && c <= 'Z') {
            steps[c] = {100, static_cast<std::uint8_t>(c - 'A' + 10)};
        } else {
            steps[c] = {1, 0};
        }
    }
    return steps;
}
inline constexpr std::array<Mod97Step, 256> MOD97_STEPS = make_mod97_steps();

// Below 97, eight steps of at most x 100 + 35 stay below 2^64.
inline constexpr std::size_t MOD97_STEPS_PER_REDUCTION = 8;

}  // namespace detail

// ISO 7064 MOD 97-10 remainder of `text` read as one long decimal number in
// which a letter A..Z stands for the two digits 10..35; any other byte is
// skipped. The number is carried in 64 bits and reduced every eight bytes,
// which gives the same remainder as reducing after every digit without a
// division per byte; no length can overflow it.
constexpr unsigned mod97_remainder(std::string_view text, unsigned start = 0) noexcept {
    std::uint64_t r = start % 97;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = std::min(text.size(), i + detail::MOD97_STEPS_PER_REDUCTION);
        for (; i < end; ++i) {
            const detail::Mod97Step step = detail::MOD97_STEPS[static_cast<std::uint8_t>(text[i])];
            r = r * step.multiplier + step.addend;
        }
        r %= 97;
    }
    return static_cast<unsigned>(r);
}

static_assert(mod97_remainder("3214282912345698765432161182") == 1);  // GB82 WEST... rearranged, letters expanded
static_assert(mod97_remainder("WEST12345698765432GB82") == 1);

// IBANs move the country code and check digits to the end before MOD 97-10;
// a correct IBAN leaves the remainder 1. `iban` holds at least 4 bytes.
constexpr bool iban_mod97_check(std::string_view iban) noexcept {
    return mod97_remainder(iban.substr(0, 4), mod97_remainder(iban.substr(4))) == 1;
}

ValidationResult validate(std::string_view input) noexcept;
bool is_valid(std::string_view input) noexcept;

}  // namespace cobalis::validators::iban
