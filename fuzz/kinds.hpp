// One table of the identifier kinds, shared by the fuzz targets and the core
// benchmark: each kind's two entry points and what its normaliser does.
//
// A kind whose validator is not in this tree yet keeps its slot with null
// entry points (`present()` is false), so slot numbers never move: slot i is
// the i-th kind of the module's function table.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "core/types.hpp"
#include "core/validators/iban.hpp"

#if __has_include("core/validators/bic.hpp")
#include "core/validators/bic.hpp"
#define COBALIS_HAVE_BIC 1
#endif
#if __has_include("core/validators/credit_card.hpp")
#include "core/validators/credit_card.hpp"
#define COBALIS_HAVE_CREDIT_CARD 1
#endif
#if __has_include("core/validators/isbn.hpp")
#include "core/validators/isbn.hpp"
#define COBALIS_HAVE_ISBN 1
#endif
#if __has_include("core/validators/issn.hpp")
#include "core/validators/issn.hpp"
#define COBALIS_HAVE_ISSN 1
#endif
#if __has_include("core/validators/isin.hpp")
#include "core/validators/isin.hpp"
#define COBALIS_HAVE_ISIN 1
#endif
#if __has_include("core/validators/lei.hpp")
#include "core/validators/lei.hpp"
#define COBALIS_HAVE_LEI 1
#endif
#if __has_include("core/validators/ean.hpp")
#include "core/validators/ean.hpp"
#define COBALIS_HAVE_EAN 1
#endif
#if __has_include("core/validators/vat/vat.hpp")
#include "core/validators/vat/vat.hpp"
#define COBALIS_HAVE_VAT 1
#endif
#if __has_include("core/validators/email.hpp")
#include "core/validators/email.hpp"
#define COBALIS_HAVE_EMAIL 1
#endif

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
    Validate validate = nullptr;
    FastPath is_valid = nullptr;

    [[nodiscard]] constexpr bool present() const noexcept { return validate != nullptr; }
};

inline constexpr std::string_view SEPARATORS = "\t -.";
inline constexpr std::string_view ISSN_SEPARATORS = "\t -";
// The e-mail validator works on the input bytes unchanged.
inline constexpr std::string_view NO_SEPARATORS = "";

template <class Kind>
constexpr KindEntry entry(std::string_view name, std::size_t variant, std::string_view separators,
                          bool case_blind) noexcept {
    return {name, variant, separators, case_blind, Kind::validate, Kind::is_valid};
}

struct Absent {
    static constexpr Validate validate = nullptr;
    static constexpr FastPath is_valid = nullptr;
};

#define COBALIS_KIND(ns)                                              \
    struct ns##_kind {                                                \
        static constexpr Validate validate = validators::ns::validate; \
        static constexpr FastPath is_valid = validators::ns::is_valid; \
    };

COBALIS_KIND(iban)
#ifdef COBALIS_HAVE_BIC
COBALIS_KIND(bic)
#else
using bic_kind = Absent;
#endif
#ifdef COBALIS_HAVE_CREDIT_CARD
COBALIS_KIND(credit_card)
#else
using credit_card_kind = Absent;
#endif
#ifdef COBALIS_HAVE_ISBN
COBALIS_KIND(isbn)
#else
using isbn_kind = Absent;
#endif
#ifdef COBALIS_HAVE_ISSN
COBALIS_KIND(issn)
#else
using issn_kind = Absent;
#endif
#ifdef COBALIS_HAVE_ISIN
COBALIS_KIND(isin)
#else
using isin_kind = Absent;
#endif
#ifdef COBALIS_HAVE_LEI
COBALIS_KIND(lei)
#else
using lei_kind = Absent;
#endif
#ifdef COBALIS_HAVE_EAN
COBALIS_KIND(ean)
#else
using ean_kind = Absent;
#endif
#ifdef COBALIS_HAVE_VAT
COBALIS_KIND(vat)
#else
using vat_kind = Absent;
#endif
#ifdef COBALIS_HAVE_EMAIL
COBALIS_KIND(email)
#else
using email_kind = Absent;
#endif
#undef COBALIS_KIND

// In the order of the module's function table; the variant numbers are those
// of Details.
inline constexpr std::array<KindEntry, 10> KINDS{
    entry<iban_kind>("iban", 1, SEPARATORS, true),
    entry<bic_kind>("bic", 2, SEPARATORS, true),
    entry<credit_card_kind>("credit_card", 3, SEPARATORS, true),
    entry<isbn_kind>("isbn", 4, SEPARATORS, true),
    entry<issn_kind>("issn", 5, ISSN_SEPARATORS, true),
    entry<isin_kind>("isin", 6, SEPARATORS, true),
    entry<lei_kind>("lei", 7, SEPARATORS, true),
    entry<ean_kind>("ean", 8, SEPARATORS, true),
    entry<vat_kind>("vat", 9, SEPARATORS, true),
    entry<email_kind>("email", 10, NO_SEPARATORS, false),
};

constexpr const KindEntry* find_kind(std::string_view name) noexcept {
    for (const auto& k : KINDS) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

}  // namespace cobalis::proof
