#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::be {

// The enterprise number: ten digits beginning with 0 or 1, whose last two
// digits are 97 minus the remainder of the first eight modulo 97 (so a
// remainder of 0 calls for 97).
bool is_valid(std::string_view national) noexcept {
    constexpr std::uint32_t MODULUS = 97;
    if (!digits_of_length(national, 10) || (national[0] != '0' && national[0] != '1')) return false;
    const auto body = static_cast<std::uint32_t>(number_of(national.substr(0, 8)));
    const auto check = static_cast<std::uint32_t>(number_of(national.substr(8)));
    return check == MODULUS - body % MODULUS;
}

// The shape rule already holds the check.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::be
