#include "core/kernels/dispatch.hpp"

#include <cstdint>

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

#endif
