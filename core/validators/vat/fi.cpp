#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::fi {

// Eight digits, the last a MOD 11 check over the first seven. A remainder
// of 1 would need the check "10": no number is issued with one.
bool is_valid(std::string_view national) noexcept {
    constexpr std::array<unsigned, 7> WEIGHTS{7, 9, 10, 5, 8, 4, 2};
    if (!digits_of_length(national, 8)) return false;
    return digit_value(national[7]) == mod11::complement_digit<mod11::NOT_ISSUED, 0>(weighted_sum(national, WEIGHTS));
}

// The shape rule already holds the check.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::fi
