// Kernels whose fast bodies need more than SSE2: SSSE3 (byte shuffles) with
// POPCNT, which every x86-64 processor made since about 2011 has, and for
// some kernels AVX2 (32-byte registers) besides. The body for this processor
// is chosen at the kernel's first call and kept, so every later call goes
// straight to it through one pointer; processors with neither run the scalar
// twin.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/kernels/block.hpp"

namespace cobalis::kernels {

#ifdef COBALIS_KERNELS_SSE2

enum class Level : std::uint8_t { Scalar, Ssse3, Avx2 };

// The most this processor (and its operating system) runs.
Level best_level() noexcept;

// `call` runs the first body this processor runs of, from the last: the
// AVX2 one (when given), the SSSE3 one, the scalar one.
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
        const auto level = static_cast<std::size_t>(best_level());
        const Body chosen = bodies[level < bodies.size() ? level : bodies.size() - 1];
        body_.store(chosen, std::memory_order_relaxed);
        return chosen(args...);
    }

    static inline constinit std::atomic<Body> body_{&first_call};
};

#endif

}  // namespace cobalis::kernels
