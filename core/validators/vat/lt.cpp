// Lithuania: the PVM mokėtojo kodas is nine digits for a legal entity and
// twelve for a temporarily registered taxpayer; the digit before the check is
// always 1. The check digit is the weighted sum of the others modulo 11, the
// weights running 1 to 9 and again from 1; a remainder of 10 is taken again
// with the weights shifted by two (3 to 9, then from 1), and a second 10
// gives 0.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::lt {
namespace {

constexpr std::array<unsigned, 11> WEIGHTS{1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2};
constexpr std::array<unsigned, 11> SHIFTED_WEIGHTS{3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4};

// The number is N digits and the check digit; the digit before the check is 1.
template <std::size_t N>
constexpr bool check_holds(std::string_view digits) noexcept {
    constexpr auto weights = weights_from<0, N>(WEIGHTS);
    constexpr auto shifted = weights_from<0, N>(SHIFTED_WEIGHTS);
    if (digits[N - 1] != '1') return false;
    unsigned r = weighted_sum(digits, weights) % 11;
    if (r == 10) r = mod11::remainder_digit<0>(weighted_sum(digits, shifted));
    return digit_value(digits[N]) == r;
}

static_assert(check_holds<8>("119511515") && check_holds<11>("100001919017") && !check_holds<11>("100001919018"));
static_assert(check_holds<11>("100004801610"));  // the first remainder is 10

}  // namespace

// Nine digits for a company, twelve for a temporary registration.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 9) || digits_of_length(national, 12); }

bool has_valid_check(std::string_view national) noexcept {
    return national.size() == 9 ? check_holds<8>(national) : check_holds<11>(national);
}

}  // namespace cobalis::validators::vat::lt
