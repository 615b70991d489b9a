#include "core/repair/plausibility.hpp"

#include <array>
#include <span>

#include "core/algorithms/cusip.hpp"
#include "core/algorithms/sedol.hpp"
#include "core/kinds.hpp"
#include "core/validators/credit_card.hpp"
#include "core/validators/isin.hpp"

namespace cobalis::repair {

namespace {

// Where an ISIN's national number is a code with a check digit of its own:
// the SEDOL countries pad their seven characters with two zeros in front, the
// CUSIP countries fill all nine places.
constexpr std::array<std::string_view, 5> SEDOL_COUNTRIES{"GB", "IE", "IM", "JE", "GG"};
constexpr std::array<std::string_view, 2> CUSIP_COUNTRIES{"US", "CA"};

constexpr bool one_of(std::string_view code, std::span<const std::string_view> codes) noexcept {
    for (const std::string_view c : codes) {
        if (c == code) return true;
    }
    return false;
}

// Germany writes three zeros and the six characters of a WKN, which has no
// check digit but never holds I or O.
constexpr bool is_wkn_isin(std::string_view isin) noexcept {
    if (isin.substr(2, 3) != "000") return false;
    for (const char c : isin.substr(5, 6)) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z' && c != 'I' && c != 'O'))) return false;
    }
    return true;
}
static_assert(is_wkn_isin("DE0007164600") && is_wkn_isin("DE000A1EWWW0") && !is_wkn_isin("DE0070164600") &&
              !is_wkn_isin("DE000AOMNRK0"));

constexpr std::size_t ISIN = kinds::index_of("isin");
constexpr std::size_t CREDIT_CARD = kinds::index_of("credit_card");

}  // namespace

bool national_number_fails(std::string_view isin) noexcept {
    if (isin.size() != validators::isin::LENGTH) return false;
    const std::string_view country = isin.substr(0, 2);
    if (one_of(country, SEDOL_COUNTRIES)) {
        return isin.substr(2, 2) != "00" || !algorithms::sedol::is_valid(isin.substr(4, algorithms::sedol::LENGTH));
    }
    if (one_of(country, CUSIP_COUNTRIES)) {
        return !algorithms::cusip::is_valid(isin.substr(2, algorithms::cusip::LENGTH));
    }
    if (country == "DE") return !is_wkn_isin(isin);
    return false;
}

std::uint8_t doubts(std::size_t kind_number, std::string_view compact, bool strict) noexcept {
    if (kind_number >= kinds::KIND_COUNT) return 0;
    const kinds::Kind& kind = kinds::KINDS[kind_number];
    unsigned n = 0;
    if (!strict && kind.has_strict && !kind.is_valid_strict(compact)) ++n;
    if (kind_number == ISIN && national_number_fails(compact)) ++n;
    if (kind_number == CREDIT_CARD && validators::credit_card::detect_brand(compact) == CardBrand::Unknown) ++n;
    return static_cast<std::uint8_t>(n);
}

}  // namespace cobalis::repair
