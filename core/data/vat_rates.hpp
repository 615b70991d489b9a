// VAT rates: the standard and reduced rates of 31 European countries, in
// percent, keyed by two-letter country code (Greece under GR).
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
