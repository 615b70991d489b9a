// Sweden: the momsregistreringsnummer is the ten-digit organisation number
// (or a sole trader's personal identity number), whose last digit is a Luhn
// check, followed by "01".
#include "core/algorithms/luhn.hpp"
#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::se {

// The ten-digit organisation number followed by "01".
bool is_valid(std::string_view national) noexcept {
    return national.size() == 12 && all_digits(national.substr(0, 10)) && national.substr(10) == "01";
}

bool has_valid_check(std::string_view national) noexcept {
    constexpr std::size_t ORGANISATION_NUMBER_LENGTH = 10;
    return algorithms::luhn::checksum(national.substr(0, ORGANISATION_NUMBER_LENGTH)) % 10 == 0;
}

}  // namespace cobalis::validators::vat::se
