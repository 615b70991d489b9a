// Countries: the country record and its two tables, by alpha-2 code and by
// alpha-3 code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/data/static_map.hpp"

namespace cobalis::data {

struct Country {
    std::string_view alpha2;
    std::string_view alpha3;
    std::uint16_t numeric = 0;
    std::string_view name;
    std::optional<std::string_view> official_name;
    std::optional<std::string_view> common_name;
    std::string_view flag;
    std::string_view currency;  // a key of CURRENCIES
    std::string_view calling_code;
    std::string_view tld;
    bool eu_member = false;
    std::optional<std::uint8_t> iban_length;
};

// The table ships a single placeholder record, "stub"; every real country
// code looks up to nothing.
inline constexpr std::size_t COUNTRY_COUNT = 1;

// Alpha-2 code to record.
extern const StaticMap<Country, COUNTRY_COUNT> COUNTRIES;
// Alpha-3 code to alpha-2 code.
extern const StaticMap<std::string_view, COUNTRY_COUNT> COUNTRIES_BY_ALPHA3;

namespace countries {

const Country* get(std::string_view alpha2) noexcept;
const Country* get_by_alpha3(std::string_view alpha3) noexcept;

}  // namespace countries
}  // namespace cobalis::data
