#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::ee {

// Nine digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 9); }

// The KMKR number: the digits weighted 3 7 1 in turn sum to a multiple of 10.
bool has_valid_check(std::string_view national) noexcept {
    constexpr std::array<unsigned, 9> WEIGHTS{3, 7, 1, 3, 7, 1, 3, 7, 1};
    return weighted_sum(national, WEIGHTS) % 10 == 0;
}

}  // namespace cobalis::validators::vat::ee
