// The identifier kinds, in one table: what each is called, which variant of
// Details it answers with and so which keys its result has, its entry points
// (plain, and strict where it has national rules), which variant its strict
// answer has, and what its normaliser drops and folds. The Python modules, the column functions, the fuzz targets
// and the benchmark all take their lists of kinds from here; a new kind is a
// new row (and its Details alternative in types.hpp).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "core/repair/layouts.hpp"
#include "core/repair/profile.hpp"
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

namespace cobalis::kinds {

using Validate = ValidationResult (*)(std::string_view) noexcept;
using FastPath = bool (*)(std::string_view) noexcept;

// The alternative number of `D` in Details.
template <class D, std::size_t I = 0>
consteval std::size_t variant_of() noexcept {
    static_assert(I < std::variant_size_v<Details>, "not an alternative of Details");
    if constexpr (std::is_same_v<std::variant_alternative_t<I, Details>, D>) {
        return I;
    } else {
        return variant_of<D, I + 1>();
    }
}

// Bytes a normaliser drops wherever they stand.
inline constexpr std::string_view SEPARATORS = "\t -.";
inline constexpr std::string_view ISSN_SEPARATORS = "\t -";  // an ISSN keeps (and so refuses) the full stop
inline constexpr std::string_view NO_SEPARATORS = "";        // the e-mail validator reads its input unchanged

struct Kind {
    std::string_view name;  // as Python spells it: validate_<name>, "kind": "<name>"
    std::size_t variant;    // the kind's own alternative of Details
    std::span<const std::string_view> detail_keys;  // that alternative's KEYS
    bool has_strict;        // whether strict validation adds national rules
    Validate validate;
    FastPath is_valid;
    // Strict validation; the plain entry points for a kind with no national rules.
    Validate validate_strict;
    FastPath is_valid_strict;
    // The alternative of Details of a valid strict answer, and its KEYS: the
    // plain ones, but for a kind whose strict answer tells more.
    std::size_t strict_variant;
    std::span<const std::string_view> strict_detail_keys;
    std::string_view separators;
    // Whether the case of ASCII letters never changes the result: true for
    // every kind that folds letters, and for those that reject every letter
    // alike (a card number holding "a" fails as one holding "A" does).
    bool case_blind;
    // What explaining and repairing need besides: folding, the layout of
    // places, the check characters and their arithmetic (core/repair/).
    repair::Profile repair;
};

template <class D>
constexpr Kind plain(std::string_view name, Validate validate, FastPath is_valid, std::string_view separators,
                     bool case_blind, repair::Profile repair) noexcept {
    return {name, variant_of<D>(), D::KEYS, false, validate, is_valid, validate, is_valid,
            variant_of<D>(), D::KEYS, separators, case_blind, repair};
}

// `StrictD`: the details of a valid strict answer, where they tell more than `D`.
template <class D, class StrictD = D>
constexpr Kind with_strict(std::string_view name, Validate validate, FastPath is_valid, Validate validate_strict,
                           FastPath is_valid_strict, std::string_view separators, bool case_blind,
                           repair::Profile repair) noexcept {
    return {name, variant_of<D>(), D::KEYS, true, validate, is_valid, validate_strict, is_valid_strict,
            variant_of<StrictD>(), StrictD::KEYS, separators, case_blind, repair};
}

namespace v = validators;
namespace r = repair::layouts;

// In the order of the Python module's functions.
inline constexpr std::array KINDS{
    with_strict<IbanDetails, StrictIbanDetails>("iban", v::iban::validate, v::iban::is_valid,
                                                v::iban::validate_strict, v::iban::is_valid_strict, SEPARATORS, true,
                                                r::IBAN),
    with_strict<BicDetails>("bic", v::bic::validate, v::bic::is_valid, v::bic::validate_strict,
                            v::bic::is_valid_strict, SEPARATORS, true, r::BIC),
    plain<CreditCardDetails>("credit_card", v::credit_card::validate, v::credit_card::is_valid, SEPARATORS, true,
                             r::CREDIT_CARD),
    plain<IsbnDetails>("isbn", v::isbn::validate, v::isbn::is_valid, SEPARATORS, true, r::ISBN),
    plain<IssnDetails>("issn", v::issn::validate, v::issn::is_valid, ISSN_SEPARATORS, true, r::ISSN),
    with_strict<IsinDetails>("isin", v::isin::validate, v::isin::is_valid, v::isin::validate_strict,
                             v::isin::is_valid_strict, SEPARATORS, true, r::ISIN),
    with_strict<LeiDetails>("lei", v::lei::validate, v::lei::is_valid, v::lei::validate_strict,
                            v::lei::is_valid_strict, SEPARATORS, true, r::LEI),
    plain<EanDetails>("ean", v::ean::validate, v::ean::is_valid, SEPARATORS, true, r::EAN),
    with_strict<VatDetails>("vat", v::vat::validate, v::vat::is_valid, v::vat::validate_strict,
                            v::vat::is_valid_strict, SEPARATORS, true, r::VAT),
    plain<EmailDetails>("email", v::email::validate, v::email::is_valid, NO_SEPARATORS, false, r::EMAIL_PROFILE),
};
inline constexpr std::size_t KIND_COUNT = KINDS.size();

// The bare check-digit algorithms, which answer only whether a digit string
// carries its check digit.
struct Algorithm {
    std::string_view name;
    FastPath validate;
};

inline constexpr std::array ALGORITHMS{
    Algorithm{"luhn", algorithms::luhn::validate_str},
    Algorithm{"verhoeff", algorithms::verhoeff::validate_str},
    Algorithm{"damm", algorithms::damm::validate_str},
};

// The number of the kind called `name`; not a constant for an unknown name.
consteval std::size_t index_of(std::string_view name) {
    for (std::size_t i = 0; i < KIND_COUNT; ++i) {
        if (KINDS[i].name == name) return i;
    }
    throw "no kind of that name";
}

// The numbers of the kinds with national rules, in table order.
inline constexpr std::size_t STRICT_COUNT = [] {
    std::size_t n = 0;
    for (const Kind& kind : KINDS) n += kind.has_strict ? 1 : 0;
    return n;
}();
inline constexpr std::array<std::size_t, STRICT_COUNT> STRICT_KINDS = [] {
    std::array<std::size_t, STRICT_COUNT> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < KIND_COUNT; ++i) {
        if (KINDS[i].has_strict) out[n++] = i;
    }
    return out;
}();

namespace checks {

consteval bool rows_agree() {
    for (std::size_t i = 0; i < KIND_COUNT; ++i) {
        const Kind& kind = KINDS[i];
        // A kind answers with a variant of its own, strict or not; none belongs to no kind.
        if (kind.variant == 0 || kind.strict_variant == 0) return false;
        if (!kind.has_strict && kind.strict_variant != kind.variant) return false;
        for (std::size_t j = 0; j < i; ++j) {
            const Kind& other = KINDS[j];
            if (other.name == kind.name || other.variant == kind.variant || other.strict_variant == kind.variant ||
                other.variant == kind.strict_variant || other.strict_variant == kind.strict_variant) {
                return false;
            }
        }
    }
    return true;
}
static_assert(rows_agree(), "every kind has a name and Details variants of its own");

// The kinds whose strict answers have a variant of their own.
inline constexpr std::size_t STRICT_VARIANT_COUNT = [] {
    std::size_t n = 0;
    for (const Kind& kind : KINDS) n += kind.strict_variant != kind.variant ? 1 : 0;
    return n;
}();
static_assert(KIND_COUNT + STRICT_VARIANT_COUNT + 1 == std::variant_size_v<Details>,
              "one Details variant per kind and per richer strict answer, besides none");

}  // namespace checks

}  // namespace cobalis::kinds
