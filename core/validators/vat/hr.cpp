#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::hr {

// Croatian numbers have the Latvian shape: eleven digits.
bool is_valid(std::string_view national) noexcept { return lv::is_valid(national); }

// Placeholder until the national check lands.
bool has_valid_check(std::string_view) noexcept { return true; }

}  // namespace cobalis::validators::vat::hr
