#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::lv {

// Eleven digits.
bool is_valid(std::string_view national) noexcept { return digits_of_length(national, 11); }

}  // namespace cobalis::validators::vat::lv
