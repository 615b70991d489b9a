// Kernels whose fast bodies need more than SSE2: SSSE3 (byte shuffles) with
// POPCNT, which every x86-64 processor made since about 2011 has, and for
// some kernels AVX2 (32-byte registers) besides. The body for this processor
// is chosen at the kernel's first call and kept, so every later call goes
// straight to it through one pointer; processors with neither run the scalar
// twin.
//
// The environment variable COBALIS_KERNELS (scalar, ssse3 or avx2) caps the
// level below the best this processor runs, so that every body can be run and
// tested on one machine. It is read once, at the first kernel call or the
// first question below, whichever comes first. A word that names no level, or
// a level this processor (or this build) lacks, is not obeyed: the kernels
// keep the best level, and `level_problem` says what was wrong, for the
// caller to refuse to start with.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/kernels/block.hpp"

namespace cobalis::kernels {

enum class Level : std::uint8_t { Scalar, Ssse3, Avx2 };

// "scalar", "ssse3" or "avx2".
const char* level_name(Level level) noexcept;

// The most this processor (and its operating system) runs: always Scalar in
// a build without the vector kernels (COBALIS_SCALAR, or not x86-64).
Level best_level() noexcept;

// The level the kernels run: the one COBALIS_KERNELS names, or the best.
Level chosen_level() noexcept;

// One line naming the variable, its value and the levels there are, when
// COBALIS_KERNELS holds something the kernels could not obey; null when it
// is unset, empty or obeyed.
const char* level_problem() noexcept;

#ifdef COBALIS_KERNELS_SSE2

// `call` runs the body of the chosen level, counting from the scalar one:
// the AVX2 one (when given), the SSSE3 one, the scalar one; a kernel without
// an AVX2 body runs its SSSE3 one at that level.
template <auto scalar_body, auto... vector_bodies>
class Chosen;

template <class R, class... Args, R (*scalar_body)(Args...) noexcept, R (*... vector_bodies)(Args...) noexcept>
class Chosen<scalar_body, vector_bodies...> {
public:
    static R call(Args... args) noexcept { return body_.load(std::memory_order_relaxed)(args...); }

private:
    using Body = R (*)(Args...) noexcept;

    static R first_call(Args... args) noexcept {
        constexpr std::array<Body, 1 + sizeof...(vector_bodies)> bodies{scalar_body, vector_bodies...};
        const auto level = static_cast<std::size_t>(chosen_level());
        const Body chosen = bodies[level < bodies.size() ? level : bodies.size() - 1];
        body_.store(chosen, std::memory_order_relaxed);
        return chosen(args...);
    }

    static inline constinit std::atomic<Body> body_{&first_call};
};

#endif

}  // namespace cobalis::kernels
