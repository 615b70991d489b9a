// Currencies: one record per currency, keyed by its three-letter code.
//
// Source: ISO 4217 List One (current currency and funds), as published on
// 2026-01-01. The table holds every code of that list except the precious
// metals (XAG, XAU, XPD, XPT), the bond-market units (XBA to XBD), the testing
// code XTS and XXX; codes, numbers and minor units are the list's own (units
// without minor units, XDR, XSU and XUA, have 0 decimals). Symbols and the
// two-letter country codes are this table's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/data/static_map.hpp"

namespace cobalis::data {

struct Currency {
    std::string_view code;  // the record's own key
    std::uint16_t numeric = 0;
    std::string_view name;
    std::string_view symbol;  // UTF-8; funds and units without a sign of their own show their code
    std::uint8_t decimals = 0;
    std::span<const std::string_view> countries;  // two-letter codes, in their stored order
};

inline constexpr std::size_t CURRENCY_COUNT = 168;

extern const StaticMap<Currency, CURRENCY_COUNT> CURRENCIES;

namespace currencies {

const Currency* get(std::string_view code) noexcept;

}  // namespace currencies
}  // namespace cobalis::data
