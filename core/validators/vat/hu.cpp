// Hungary: the EU VAT number (közösségi adószám) is the first eight digits of
// the tax number, the eighth a check digit: weighted 9 7 3 1 9 7 3 1, the
// digits sum to a multiple of ten.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::hu {

// Eight digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 8); }

bool has_valid_check(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{9, 7, 3, 1, 9, 7, 3, 1};
    return weighted_sum(national, WEIGHTS) % 10 == 0;
}

}  // namespace cobalis::validators::vat::hu
