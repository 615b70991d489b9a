// One table of the identifier kinds, shared by the fuzz targets and the core
// benchmark: each kind's two entry points and what its normaliser does. Slot
// i is the i-th kind of the module's function table.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "core/types.hpp"
#include "core/validators/bic.hpp"
#include "core/validators/credit_card.hpp"
#include "core/validators/ean.hpp"
#include "core/validators/email.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/isbn.hpp"
#include "core/validators/isin.hpp"
#include "core/validators/issn.hpp"
#include "core/validators/lei.hpp"
#include "core/validators/vat/vat.hpp"

namespace cobalis::proof {

using Validate = ValidationResult (*)(std::string_view) noexcept;
using FastPath = bool (*)(std::string_view) noexcept;

struct KindEntry {
    std::string_view name;
    std::size_t variant;          // index of the kind's own alternative in Details
    std::string_view separators;  // bytes dropped wherever they stand
    // Whether the case of ASCII letters never changes the result: true for
    // every kind that folds letters, and for those that reject every letter
    // alike (a card number holding "a" fails as one holding "A" does).
    bool case_blind;
    Validate validate;
    FastPath is_valid;
    // Strict validation; the plain entry points for a kind with no national rules.
    Validate validate_strict;
    FastPath is_valid_strict;
};

inline constexpr std::string_view SEPARATORS = "\t -.";
inline constexpr std::string_view ISSN_SEPARATORS = "\t -";
// The e-mail validator works on the input bytes unchanged.
inline constexpr std::string_view NO_SEPARATORS = "";

// In the order of the module's function table; the variant numbers are those
// of Details.
inline constexpr std::array<KindEntry, 10> KINDS{{
    {"iban", 1, SEPARATORS, true,
     validators::iban::validate, validators::iban::is_valid,
     validators::iban::validate_strict, validators::iban::is_valid_strict},
    {"bic", 2, SEPARATORS, true,
     validators::bic::validate, validators::bic::is_valid,
     validators::bic::validate_strict, validators::bic::is_valid_strict},
    {"credit_card", 3, SEPARATORS, true,
     validators::credit_card::validate, validators::credit_card::is_valid,
     validators::credit_card::validate, validators::credit_card::is_valid},
    {"isbn", 4, SEPARATORS, true,
     validators::isbn::validate, validators::isbn::is_valid,
     validators::isbn::validate, validators::isbn::is_valid},
    {"issn", 5, ISSN_SEPARATORS, true,
     validators::issn::validate, validators::issn::is_valid,
     validators::issn::validate, validators::issn::is_valid},
    {"isin", 6, SEPARATORS, true,
     validators::isin::validate, validators::isin::is_valid,
     validators::isin::validate_strict, validators::isin::is_valid_strict},
    {"lei", 7, SEPARATORS, true,
     validators::lei::validate, validators::lei::is_valid,
     validators::lei::validate, validators::lei::is_valid},
    {"ean", 8, SEPARATORS, true,
     validators::ean::validate, validators::ean::is_valid,
     validators::ean::validate, validators::ean::is_valid},
    {"vat", 9, SEPARATORS, true,
     validators::vat::validate, validators::vat::is_valid,
     validators::vat::validate_strict, validators::vat::is_valid_strict},
    {"email", 10, NO_SEPARATORS, false,
     validators::email::validate, validators::email::is_valid,
     validators::email::validate, validators::email::is_valid},
}};

}  // namespace cobalis::proof
