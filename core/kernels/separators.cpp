#include "core/kernels/separators.hpp"

#ifdef COBALIS_KERNELS_SSE2

namespace cobalis::kernels {
namespace {

template <class Fold, class Sep>
std::size_t scalar_loop(const char* p, std::size_t size, char* out, std::size_t capacity) noexcept {
    return scalar::drop_separators<Fold, Sep>({p, size}, out, capacity);
}

}  // namespace

bool has_ssse3() noexcept {
#if defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
#else
    return false;
#endif
}

template <class Fold, class Sep>
std::size_t drop_separators_first_call(const char* p, std::size_t size, char* out, std::size_t capacity) noexcept {
    const DropSeparators chosen = has_ssse3() ? &ssse3::drop_separators<Fold, Sep> : &scalar_loop<Fold, Sep>;
    DROP_SEPARATORS<Fold, Sep>.store(chosen, std::memory_order_relaxed);
    return chosen(p, size, out, capacity);
}

// The normalisers the validators use.
template std::size_t drop_separators_first_call<NoFold, Separators>(const char*, std::size_t, char*,
                                                                    std::size_t) noexcept;
template std::size_t drop_separators_first_call<FoldUpper, Separators>(const char*, std::size_t, char*,
                                                                       std::size_t) noexcept;

}  // namespace cobalis::kernels

#endif
