#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::dk {

// Eight digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 8); }

// The CVR number: no number begins with 0, and the digits weighted
// 2 7 6 5 4 3 2 1 sum to a multiple of 11.
bool has_valid_check(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{2, 7, 6, 5, 4, 3, 2, 1};
    return national[0] != '0' && weighted_sum(national, WEIGHTS) % 11 == 0;
}

}  // namespace cobalis::validators::vat::dk
