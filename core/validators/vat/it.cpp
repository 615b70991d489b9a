// Italy: the partita IVA is a seven-digit serial number, never all zeros, the
// three-digit code of the issuing office (001 to 100 for the provincial
// offices, and the special codes 120, 121, 888 and 999), and a Luhn check
// digit over the other ten.
#include "core/algorithms/luhn.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::it {

// Eleven digits, the last a Luhn check digit over the other ten.
bool is_valid(std::string_view national) noexcept {
    return digits_of_length(national, 11) && algorithms::luhn::checksum(national) % 10 == 0;
}

bool has_valid_check(std::string_view national) noexcept {
    constexpr auto THREE_DIGITS = place_values<3>();
    constexpr unsigned LAST_PROVINCIAL_OFFICE = 100;
    if (national.substr(0, 7) == "0000000") return false;
    const unsigned office = weighted_sum(national.substr(7), THREE_DIGITS);
    return (office >= 1 && office <= LAST_PROVINCIAL_OFFICE) || office == 120 || office == 121 || office == 888 ||
           office == 999;
}

}  // namespace cobalis::validators::vat::it
