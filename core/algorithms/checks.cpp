// Compile-time checks of the check-digit algorithms on known numbers.
#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"

namespace cobalis::algorithms {

static_assert(luhn::validate_str("79927398713"));
static_assert(!luhn::validate_str("79927398710"));
static_assert(luhn::validate_str(" 0 ") && luhn::validate_str("00"));
static_assert(!luhn::validate_str("") && !luhn::validate_str(" ") && !luhn::validate_str("-"));
static_assert(luhn::validate_str("4111-1111-1111-1111") && !luhn::validate_str("4111_1111_1111_1111"));
static_assert(luhn::generate_str("7992739871") == 3 && luhn::generate_str("") == 0);
static_assert(luhn::generate_str("1") == 8 && luhn::generate_str("411111111111111") == 1);
static_assert(verhoeff::validate_str("2363") && !verhoeff::validate_str("2364"));
static_assert(verhoeff::validate_str("0") && !verhoeff::validate_str("00"));
static_assert(damm::validate_str("5724") && !damm::validate_str("5727") && !damm::validate_str("572"));

}  // namespace cobalis::algorithms
