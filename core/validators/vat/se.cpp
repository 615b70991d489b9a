#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::se {

// The ten-digit organisation number followed by "01".
bool is_valid(std::string_view national) noexcept {
    return national.size() == 12 && all_digits(national.substr(0, 10)) && national.substr(10) == "01";
}

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::se
