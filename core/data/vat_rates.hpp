// VAT rates: the standard and reduced rates of 31 European countries, in
// percent, keyed by two-letter country code (Greece under GR).
//
// Source: the European Commission's Taxes in Europe Database (TEDB) as of
// 2026-09-29 for the EU members, and the same dataset (eu-vat-rates-data
// 2026.9.29) for CH, GB, IS and NO. Reduced rates are the national ones:
// regional rates (Jungholz and Mittelberg, Corsica and the French overseas
// departments, the Greek islands, Madeira and the Azores) are left out, and of
// the super-reduced rates only those of ES (4), IT (4) and LU (3) are listed
// among the reduced rates.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "core/data/static_map.hpp"

namespace cobalis::data {

struct VatRate {
    std::string_view country;  // the record's own key
    float standard_rate = 0;
    std::span<const float> reduced_rates;  // ascending; may be empty
};

inline constexpr std::size_t VAT_RATE_COUNT = 31;

extern const StaticMap<VatRate, VAT_RATE_COUNT> VAT_RATES;

namespace vat_rates {

const VatRate* get(std::string_view country) noexcept;

}  // namespace vat_rates
}  // namespace cobalis::data
