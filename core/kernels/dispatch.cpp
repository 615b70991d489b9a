#include "core/kernels/dispatch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#ifdef COBALIS_KERNELS_SSE2

#if defined(_MSC_VER) && !defined(__clang__)
#include <immintrin.h>
#include <intrin.h>
#elif defined(__GNUC__)
#include <cpuid.h>
#endif

namespace cobalis::kernels {
namespace {

// The processor's answer to CPUID for a leaf (and sub-leaf): EAX, EBX, ECX,
// EDX. Asked directly rather than through the compiler's runtime, whose
// answers some toolchains leave empty (zig's, for one, answers "no" to
// every feature).
struct CpuidAnswer {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

CpuidAnswer cpuid(unsigned leaf, unsigned subleaf) noexcept {
    CpuidAnswer a;
#if defined(_MSC_VER) && !defined(__clang__)
    int r[4];
    __cpuidex(r, static_cast<int>(leaf), static_cast<int>(subleaf));
    a = {static_cast<unsigned>(r[0]), static_cast<unsigned>(r[1]), static_cast<unsigned>(r[2]),
         static_cast<unsigned>(r[3])};
#elif defined(__GNUC__)
    if (leaf > static_cast<unsigned>(__get_cpuid_max(0, nullptr))) return a;
    __cpuid_count(leaf, subleaf, a.eax, a.ebx, a.ecx, a.edx);
#endif
    return a;
}

// Which register sets the operating system saves and restores (XCR0).
std::uint64_t saved_registers() noexcept {
#if defined(_MSC_VER) && !defined(__clang__)
    return _xgetbv(0);
#elif defined(__GNUC__)
    std::uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (std::uint64_t{high} << 32) | low;
#else
    return 0;
#endif
}

// Leaf 1, ECX.
constexpr unsigned SSSE3 = 1u << 9, POPCNT = 1u << 23, OSXSAVE = 1u << 27, AVX = 1u << 28;
// Leaf 7, sub-leaf 0, EBX.
constexpr unsigned AVX2 = 1u << 5;
// XCR0: the 16-byte (SSE) and 32-byte (AVX) register halves.
constexpr std::uint64_t SSE_AND_AVX_STATE = 0x6;

}  // namespace

Level best_level() noexcept {
    const CpuidAnswer features = cpuid(1, 0);
    if ((features.ecx & SSSE3) == 0 || (features.ecx & POPCNT) == 0) return Level::Scalar;
    // AVX2 needs the operating system to keep the 32-byte registers as well
    // as the processor to have it. The AVX2 bodies take POPCNT for granted;
    // every processor with AVX2 has it.
    if ((features.ecx & OSXSAVE) == 0 || (features.ecx & AVX) == 0) return Level::Ssse3;
    if ((saved_registers() & SSE_AND_AVX_STATE) != SSE_AND_AVX_STATE) return Level::Ssse3;
    return (cpuid(7, 0).ebx & AVX2) != 0 ? Level::Avx2 : Level::Ssse3;
}

}  // namespace cobalis::kernels

#else

namespace cobalis::kernels {

Level best_level() noexcept { return Level::Scalar; }

}  // namespace cobalis::kernels

#endif

namespace cobalis::kernels {
namespace {

constexpr std::array<std::string_view, 3> LEVEL_NAMES{"scalar", "ssse3", "avx2"};

// A line of text in a buffer of its own; what does not fit is left off.
class Line {
public:
    Line& operator<<(std::string_view text) noexcept {
        for (const char c : text) put(c);
        return *this;
    }

    // A value from outside, quoted: bytes other than printable ASCII are
    // written as \xNN, so the line is ASCII whatever the value holds, and
    // only its first few dozen bytes are kept.
    Line& quoted(std::string_view value) noexcept {
        constexpr std::size_t KEPT = 40;
        constexpr char HEX[] = "0123456789abcdef";
        put('"');
        for (std::size_t i = 0; i < value.size() && i < KEPT; ++i) {
            const auto byte = static_cast<unsigned char>(value[i]);
            if (byte == '"' || byte == '\\') {
                put('\\');
                put(static_cast<char>(byte));
            } else if (byte >= 0x20 && byte < 0x7f) {
                put(static_cast<char>(byte));
            } else {
                *this << "\\x";
                put(HEX[byte >> 4]);
                put(HEX[byte & 0xf]);
            }
        }
        if (value.size() > KEPT) *this << "...";
        put('"');
        return *this;
    }

    const char* text() const noexcept { return text_.data(); }

private:
    void put(char c) noexcept {
        if (size_ + 1 < text_.size()) text_[size_++] = c;
    }

    std::array<char, 320> text_{};
    std::size_t size_ = 0;
};

struct Choice {
    Level level = Level::Scalar;
    bool refused = false;
    Line problem;
};

const char* environment_value(const char* name) noexcept {
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // getenv: read once, before any thread could change it
#endif
    return std::getenv(name);
}

Choice choose() noexcept {
    Choice choice;
    const Level best = best_level();
    choice.level = best;
    const char* const value = environment_value("COBALIS_KERNELS");
    if (value == nullptr || *value == '\0') return choice;

    std::size_t asked = 0;
    while (asked < LEVEL_NAMES.size() && LEVEL_NAMES[asked] != value) ++asked;
    if (asked <= static_cast<std::size_t>(best)) {
        choice.level = static_cast<Level>(asked);
        return choice;
    }
    // Refused: the kernels keep the best level, and the line says why.
    const std::string_view runner = VECTOR ? "this processor" : "this build";
    choice.refused = true;
    choice.problem << "COBALIS_KERNELS=";
    choice.problem.quoted(value);
    if (asked == LEVEL_NAMES.size()) {
        choice.problem << " is not a kernel level; " << runner << " runs ";
    } else {
        choice.problem << " is a kernel level " << runner << " lacks; it runs ";
    }
    for (std::size_t level = 0; level <= static_cast<std::size_t>(best); ++level) {
        choice.problem << (level == 0 ? "" : ", ") << LEVEL_NAMES[level];
    }
    return choice;
}

// Made at the first question and kept: the environment is read once.
const Choice& the_choice() noexcept {
    static const Choice choice = choose();
    return choice;
}

}  // namespace

const char* level_name(Level level) noexcept {
    const auto index = static_cast<std::size_t>(level);
    return index < LEVEL_NAMES.size() ? LEVEL_NAMES[index].data() : "unknown";
}

Level chosen_level() noexcept { return the_choice().level; }

const char* level_problem() noexcept {
    const Choice& choice = the_choice();
    return choice.refused ? choice.problem.text() : nullptr;
}

}  // namespace cobalis::kernels
