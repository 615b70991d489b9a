// The normal form of an input as each kind's normaliser makes it (separators
// dropped, letters folded), read through one table per kind, and where in the
// input each of its bytes came from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/kinds.hpp"
#include "core/types.hpp"

namespace cobalis::repair {

constexpr char folded(Folding folding, char c) noexcept {
    if (folding == Folding::Upper && c >= 'a' && c <= 'z') return static_cast<char>(c - 0x20);
    if (folding == Folding::XOnly && c == 'x') return 'X';
    return c;
}

// What each kind's normaliser does with every byte: the byte it writes (low
// eight bits), and whether it keeps it (bit 8; separators are dropped). One
// load answers both.
using ByteRules = std::array<std::uint16_t, 256>;
inline constexpr std::uint16_t KEPT = 0x100;
inline constexpr auto BYTE_RULES = [] {
    std::array<ByteRules, kinds::KIND_COUNT> rules{};
    for (std::size_t k = 0; k < kinds::KIND_COUNT; ++k) {
        for (std::size_t b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            const bool kept = kinds::KINDS[k].separators.find(c) == std::string_view::npos;
            const auto byte = static_cast<unsigned char>(folded(kinds::KINDS[k].repair.folding, c));
            rules[k][b] = static_cast<std::uint16_t>(byte | (kept ? KEPT : 0));
        }
    }
    return rules;
}();
// The rules of a text already in normal form: every byte kept as it is.
inline constexpr ByteRules AS_IS = [] {
    ByteRules rules{};
    for (std::size_t b = 0; b < 256; ++b) rules[b] = static_cast<std::uint16_t>(b | KEPT);
    return rules;
}();

inline const ByteRules& byte_rules(const kinds::Kind& kind) noexcept {
    return BYTE_RULES[static_cast<std::size_t>(&kind - kinds::KINDS.data())];
}

// The kind's normal form, as its normaliser makes it; false when it does not fit.
inline bool normal_form(std::string_view input, const kinds::Kind& kind, InlineString& out) noexcept {
    const ByteRules& rules = byte_rules(kind);
    char* const bytes = out.raw();
    std::size_t n = 0;
    if (input.size() <= InlineString::CAPACITY) {
        // Every byte is written, and kept unless it separates.
        for (const char c : input) {
            const std::uint16_t rule = rules[static_cast<unsigned char>(c)];
            bytes[n] = static_cast<char>(rule);
            n += rule >> 8;
        }
    } else {
        for (const char c : input) {
            const std::uint16_t rule = rules[static_cast<unsigned char>(c)];
            if ((rule & KEPT) == 0) continue;
            if (n == InlineString::CAPACITY) return false;
            bytes[n++] = static_cast<char>(rule);
        }
    }
    out.commit(n);
    return true;
}

// Where in `input` the normaliser took byte `k` of the normal form, of `n`
// bytes, from; read from the nearer end (a check character is mostly last).
inline std::size_t input_offset(std::string_view input, const kinds::Kind& kind, std::size_t k,
                                std::size_t n) noexcept {
    const ByteRules& rules = byte_rules(kind);
    const auto kept = [&](std::size_t i) { return (rules[static_cast<unsigned char>(input[i])] & KEPT) != 0; };
    if (2 * k >= n && n <= InlineString::CAPACITY) {
        std::size_t after = n - 1 - k;  // kept bytes after it
        for (std::size_t i = input.size(); i-- > 0;) {
            if (kept(i) && after-- == 0) return i;
        }
        return input.size();
    }
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (kept(i) && k-- == 0) return i;
    }
    return input.size();
}

}  // namespace cobalis::repair
