#include "core/data/countries.hpp"

#include <optional>

namespace cobalis::data {
namespace {

constexpr Entry<Country> COUNTRY_ENTRIES[] = {
    {"stub", Country{.alpha2 = "stub",
                     .alpha3 = "stub",
                     .numeric = 0,
                     .name = "stub",
                     .official_name = std::nullopt,
                     .common_name = std::nullopt,
                     .flag = "",
                     .currency = "",
                     .calling_code = "",
                     .tld = "",
                     .eu_member = false,
                     .iban_length = std::nullopt}},
};

constexpr Entry<std::string_view> ALPHA3_ENTRIES[] = {
    {"stub", "stub"},
};

}  // namespace

constexpr StaticMap<Country, COUNTRY_COUNT> COUNTRIES{COUNTRY_ENTRIES};
constexpr StaticMap<std::string_view, COUNTRY_COUNT> COUNTRIES_BY_ALPHA3{ALPHA3_ENTRIES};

namespace {

// Each record sits under its own alpha-2 code, and the alpha-3 index leads
// back to the record that carries that alpha-3 code.
consteval bool tables_agree() {
    for (const auto& e : COUNTRY_ENTRIES) {
        if (e.key != e.value.alpha2) return false;
    }
    for (const auto& e : ALPHA3_ENTRIES) {
        const Country* country = COUNTRIES.find(e.value);
        if (country == nullptr || country->alpha3 != e.key) return false;
    }
    return true;
}
static_assert(tables_agree());
static_assert(COUNTRIES.find("stub")->name == "stub" && COUNTRIES.find("STUB") == nullptr &&
              COUNTRIES.find("US") == nullptr && COUNTRIES.find("") == nullptr);

}  // namespace

namespace countries {

const Country* get(std::string_view alpha2) noexcept { return COUNTRIES.find(alpha2); }

const Country* get_by_alpha3(std::string_view alpha3) noexcept {
    const std::string_view* alpha2 = COUNTRIES_BY_ALPHA3.find(alpha3);
    return alpha2 == nullptr ? nullptr : COUNTRIES.find(*alpha2);
}

}  // namespace countries
}  // namespace cobalis::data
