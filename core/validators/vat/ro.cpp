// Romania: the cod de înregistrare (CUI/CIF) is two to ten digits with no
// leading zero. The digits before the last are weighted from the right end of
// 7 5 3 2 1 7 5 3 2; the check digit is ten times the sum modulo 11, a
// remainder of 10 giving 0.
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::ro {
namespace {

constexpr std::array<unsigned, 9> WEIGHTS{7, 5, 3, 2, 1, 7, 5, 3, 2};

constexpr bool check_holds(std::string_view digits) noexcept {
    const std::size_t body = digits.size() - 1;  // 1 to 9 digits, aligned right on the weights
    const std::size_t first_weight = WEIGHTS.size() - body;
    unsigned sum = 0;
    for (std::size_t i = 0; i < body; ++i) sum += WEIGHTS[first_weight + i] * digit_value(digits[i]);
    return digit_value(digits[body]) == mod11::remainder_digit<0>(10 * sum);
}

static_assert(check_holds("18547290") && !check_holds("18547291") && check_holds("1822964"));

}  // namespace

// Two to ten digits: the number carries no leading zeros.
bool is_valid(std::string_view national) noexcept { return digits_of_length_between(national, 2, 10); }

bool has_valid_check(std::string_view national) noexcept { return national[0] != '0' && check_holds(national); }

}  // namespace cobalis::validators::vat::ro
