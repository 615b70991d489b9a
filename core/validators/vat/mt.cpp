// Malta: eight digits, the first not 0, whose sum weighted 3 4 6 7 8 9 10 1
// divides by 37 (the last two digits are the check).
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::mt {

// Maltese numbers have the Danish shape: eight digits.
bool is_valid(std::string_view national) noexcept { return dk::is_valid(national); }

bool has_valid_check(std::string_view national) noexcept {
    constexpr std::array<unsigned, 8> WEIGHTS{3, 4, 6, 7, 8, 9, 10, 1};
    constexpr unsigned MODULUS = 37;
    return national[0] != '0' && weighted_sum(national, WEIGHTS) % MODULUS == 0;
}

}  // namespace cobalis::validators::vat::mt
