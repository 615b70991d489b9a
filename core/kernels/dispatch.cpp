#include "core/kernels/dispatch.hpp"

#ifdef COBALIS_KERNELS_SSE2

#if !defined(__GNUC__) && defined(_MSC_VER)
#include <immintrin.h>
#include <intrin.h>
#endif

namespace cobalis::kernels {

Level best_level() noexcept {
#if defined(__GNUC__)
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("ssse3") || !__builtin_cpu_supports("popcnt")) return Level::Scalar;
    // The AVX2 bodies take POPCNT for granted; every processor with AVX2 has it.
    return __builtin_cpu_supports("avx2") ? Level::Avx2 : Level::Ssse3;
#elif defined(_MSC_VER)
    int leaf1[4];
    __cpuid(leaf1, 1);
    constexpr int SSSE3 = 1 << 9, POPCNT = 1 << 23, OSXSAVE = 1 << 27, AVX = 1 << 28;
    if ((leaf1[2] & SSSE3) == 0 || (leaf1[2] & POPCNT) == 0) return Level::Scalar;
    // AVX2 needs the operating system to keep the 32-byte registers (XCR0
    // bits 1 and 2) as well as the processor to have it (leaf 7, EBX bit 5).
    if ((leaf1[2] & OSXSAVE) == 0 || (leaf1[2] & AVX) == 0 || (_xgetbv(0) & 0x6) != 0x6) return Level::Ssse3;
    int leaf7[4];
    __cpuidex(leaf7, 7, 0);
    constexpr int AVX2 = 1 << 5;
    return (leaf7[1] & AVX2) != 0 ? Level::Avx2 : Level::Ssse3;
#else
    return Level::Scalar;
#endif
}

}  // namespace cobalis::kernels

#endif
