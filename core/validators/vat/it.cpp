#include "core/algorithms/luhn.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::it {

// Eleven digits, the last a Luhn check digit over the other ten.
bool is_valid(std::string_view national) noexcept {
    return digits_of_length(national, 11) && algorithms::luhn::checksum(national) % 10 == 0;
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::it
