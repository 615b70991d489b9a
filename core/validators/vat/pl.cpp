#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::pl {

// Ten digits (the NIP), the last a MOD 11 check over the first nine; a
// remainder of 10 is never issued.
bool is_valid(std::string_view national) noexcept {
    constexpr std::array<unsigned, 9> WEIGHTS{6, 5, 7, 2, 3, 4, 5, 6, 7};
    if (!digits_of_length(national, 10)) return false;
    return digit_value(national[9]) == mod11::remainder_digit<mod11::NOT_ISSUED>(weighted_sum(national, WEIGHTS));
}

// The shape rule already holds the NIP's whole check.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::pl
