// What every fuzz target needs to state an invariant: a failure prints the
// rule, the subject and the input in hex, then traps, so libFuzzer keeps the
// input as a crash and run.sh fails.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace cobalis::proof {

[[noreturn]] inline void broken(const char* subject, const char* rule, std::string_view input) noexcept {
    std::fprintf(stderr, "\n==== invariant broken (%s): %s\n     input (%zu bytes):", subject, rule, input.size());
    for (std::size_t i = 0; i < input.size() && i < 512; ++i) {
        std::fprintf(stderr, " %02x", static_cast<unsigned char>(input[i]));
    }
    std::fprintf(stderr, "\n");
    __builtin_trap();
}

// Strict UTF-8 as the interpreter decodes it: no overlong forms, no
// surrogates, nothing above U+10FFFF. Every text that reaches Python must
// pass, or building the result would raise.
constexpr bool is_utf8(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        unsigned lo = 0x80;
        unsigned hi = 0xBF;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;  // truncated sequence
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            const unsigned low = k == 1 ? lo : 0x80;
            const unsigned high = k == 1 ? hi : 0xBF;
            if (c < low || c > high) return false;
        }
        i += extra + 1;
    }
    return true;
}

static_assert(is_utf8("") && is_utf8("abc") && is_utf8("\xc3\xa9") && is_utf8("\xe2\x82\xac"));
static_assert(!is_utf8("\xc3") && !is_utf8("\xc0\x80") && !is_utf8("\xed\xa0\x80") && !is_utf8("\xf4\x90\x80\x80"));

constexpr bool is_ascii_letter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

inline std::string swap_case(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (is_ascii_letter(c)) c = static_cast<char>(c ^ 0x20);
    }
    return out;
}

// A cheap, stable position in [0, n] taken from the input itself.
inline std::size_t pick(std::string_view s, std::size_t n) noexcept {
    std::size_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h % (n + 1);
}

}  // namespace cobalis::proof
