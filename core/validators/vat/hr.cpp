#include "core/validators/vat/rules.hpp"

namespace cobalis::validators::vat::hr {

// Croatian numbers have the Latvian shape: eleven digits.
bool is_valid(std::string_view national) noexcept { return lv::is_valid(national); }

// The OIB: the eleventh digit is an ISO 7064 MOD 11,10 check over the first ten.
bool has_valid_check(std::string_view national) noexcept { return mod11_10::passes(part_of<11>(national, 0)); }

}  // namespace cobalis::validators::vat::hr
