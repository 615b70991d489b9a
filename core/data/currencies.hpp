// Currencies: one record per currency, keyed by its three-letter code.
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

inline constexpr std::size_t CURRENCY_COUNT = 169;

extern const StaticMap<Currency, CURRENCY_COUNT> CURRENCIES;

namespace currencies {

const Currency* get(std::string_view code) noexcept;

}  // namespace currencies
}  // namespace cobalis::data
