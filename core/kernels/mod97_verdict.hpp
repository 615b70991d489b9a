// A text's verdict on checks made over what MOD 97-10 makes of its normal
// form, with one body per processor, chosen once. Each body has the MOD 97-10
// kernel built into it, so that the kernel's answer never leaves the
// registers and the checks run on it where it is made.
//
// `Checks` names the checks and the bounds of the texts they can pass:
//
//   static constexpr std::size_t CAPACITY;  // the normal form's capacity
//   static constexpr std::size_t SHORTEST;  // no shorter normal form passes
//   static bool pass(const NormalMod97&, std::string_view text);
//   // The same answer, over MOD 97-10 with the first four bytes moved to
//   // the end, for a text whose first four bytes are `head`:
//   static bool pass(const RearrangedMod97&, std::uint32_t head, std::string_view text);
//
// The text itself is there for checks that read more of it than MOD 97-10
// tells; the others ignore it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/kernels/block.hpp"
#include "core/kernels/dispatch.hpp"
#include "core/kernels/mod97.hpp"
#include "core/kernels/mod97_rearranged.hpp"

namespace cobalis::kernels {

namespace scalar {

template <class Checks>
bool mod97_verdict(const char* p, std::size_t size) noexcept {
    return Checks::pass(mod97_of_normal_form({p, size}, Checks::CAPACITY), {p, size});
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace ssse3 {

template <class Checks>
[[gnu::target("ssse3,popcnt")]] bool mod97_verdict(const char* p, std::size_t size) noexcept {
    return Checks::pass(mod97_of_normal_form(p, size, Checks::CAPACITY), {p, size});
}

}  // namespace ssse3

namespace avx2 {

// Texts past two windows, or with a separator among their first four bytes,
// kept apart so that the common body saves no registers for them.
template <class Checks>
[[gnu::target("avx2,popcnt"), gnu::noinline]] bool mod97_verdict_in_general(const char* p,
                                                                          std::size_t size) noexcept {
    return Checks::pass(mod97_of_normal_form(p, size, Checks::CAPACITY), {p, size});
}

// Texts of one or two windows whose head is in place, most of those written
// compact or printed in groups, are read already rearranged.
template <class Checks>
[[gnu::target("avx2,popcnt")]] bool mod97_verdict(const char* p, std::size_t size) noexcept {
    // Dropping separators only shortens a text: one shorter than the
    // shortest that passes holds none.
    if (size < Checks::SHORTEST) return false;
    RearrangedMod97 r;
    if (fits_short_window(size)) {
        r = mod97_rearranged_short(p, size);
    } else if (fits_two_windows(size)) {
        r = mod97_rearranged_two_windows(p, size);
    } else {
        return mod97_verdict_in_general<Checks>(p, size);
    }
    if (!r.head_in_place) return mod97_verdict_in_general<Checks>(p, size);
    return Checks::pass(r, sse2::load32(p), {p, size});
}

}  // namespace avx2
#endif

// The verdict from the body this processor runs best.
template <class Checks>
bool mod97_verdict(std::string_view input) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    return Chosen<&scalar::mod97_verdict<Checks>, &ssse3::mod97_verdict<Checks>,
                  &avx2::mod97_verdict<Checks>>::call(input.data(), input.size());
#else
    return scalar::mod97_verdict<Checks>(input.data(), input.size());
#endif
}

}  // namespace cobalis::kernels
