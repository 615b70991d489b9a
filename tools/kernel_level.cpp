// Prints the kernel level this processor gets (scalar, ssse3 or avx2), as
// the compiler it is built with detects it. tools/build-wheels.sh builds it
// with the wheel's own compiler and compares the answer with what the
// system says the processor has, so that a toolchain whose detection answers
// "no" to everything cannot ship a wheel that runs the scalar bodies only.
#include <cstdio>

#include "core/kernels/dispatch.hpp"

int main() {
#ifdef COBALIS_KERNELS_SSE2
    static constexpr const char* NAMES[] = {"scalar", "ssse3", "avx2"};
    std::puts(NAMES[static_cast<int>(cobalis::kernels::best_level())]);
#else
    std::puts("scalar");
#endif
}
