#include "core/data/vat_rates.hpp"

#include <array>
#include <initializer_list>
#include <iterator>

namespace cobalis::data {
namespace {

inline constexpr std::size_t MAX_REDUCED_RATES = 3;

// Up to three rates, written as a braced list.
struct RateList {
    std::array<float, MAX_REDUCED_RATES> values{};
    std::size_t size = 0;

    constexpr RateList(std::initializer_list<float> rates) {
        for (float rate : rates) values[size++] = rate;  // a fourth rate does not compile
    }
};

struct Row {
    std::string_view country;
    float standard_rate;
    RateList reduced_rates;
};

// TEDB of 2026-09-29 (see vat_rates.hpp). Rates as the nearest 32-bit floats
// to the percentages written.
constexpr Row ROWS[] = {
    {"AT", 20.0f, {10.0f, 13.0f}},
    {"BE", 21.0f, {6.0f, 12.0f}},
    {"BG", 20.0f, {9.0f}},
    {"CH", 8.1f, {2.6f, 3.8f}},
    {"CY", 19.0f, {5.0f, 9.0f}},
    {"CZ", 21.0f, {12.0f}},
    {"DE", 19.0f, {7.0f}},
    {"DK", 25.0f, {}},
    {"EE", 24.0f, {9.0f, 13.0f}},
    {"ES", 21.0f, {4.0f, 10.0f}},
    {"FI", 25.5f, {10.0f, 13.5f}},
    {"FR", 20.0f, {5.5f, 10.0f}},
    {"GB", 20.0f, {5.0f}},
    {"GR", 24.0f, {6.0f, 13.0f}},
    {"HR", 25.0f, {5.0f, 13.0f}},
    {"HU", 27.0f, {5.0f, 18.0f}},
    {"IE", 23.0f, {9.0f, 13.5f}},
    {"IS", 24.0f, {11.0f}},
    {"IT", 22.0f, {4.0f, 5.0f, 10.0f}},
    {"LT", 21.0f, {5.0f, 12.0f}},
    {"LU", 17.0f, {3.0f, 8.0f, 14.0f}},
    {"LV", 21.0f, {5.0f, 12.0f}},
    {"MT", 18.0f, {5.0f, 7.0f}},
    {"NL", 21.0f, {9.0f}},
    {"NO", 25.0f, {12.0f, 15.0f}},
    {"PL", 23.0f, {5.0f, 8.0f}},
    {"PT", 23.0f, {6.0f, 13.0f}},
    {"RO", 21.0f, {11.0f}},
    {"SE", 25.0f, {6.0f, 12.0f}},
    {"SI", 22.0f, {5.0f, 9.5f}},
    {"SK", 23.0f, {5.0f, 19.0f}},
};
static_assert(std::size(ROWS) == VAT_RATE_COUNT);

constexpr std::size_t TOTAL_REDUCED_RATES = [] {
    std::size_t total = 0;
    for (const Row& row : ROWS) total += row.reduced_rates.size;
    return total;
}();

// Every list of reduced rates, one after another; each record views its own run.
constexpr auto REDUCED_RATES = [] {
    std::array<float, TOTAL_REDUCED_RATES> rates{};
    std::size_t n = 0;
    for (const Row& row : ROWS) {
        for (std::size_t i = 0; i < row.reduced_rates.size; ++i) rates[n++] = row.reduced_rates.values[i];
    }
    return rates;
}();

constexpr auto ENTRIES = [] {
    std::array<Entry<VatRate>, VAT_RATE_COUNT> entries{};
    std::size_t first = 0;
    for (std::size_t i = 0; i < VAT_RATE_COUNT; ++i) {
        const Row& row = ROWS[i];
        const std::size_t n = row.reduced_rates.size;
        entries[i] = {row.country, VatRate{row.country, row.standard_rate,
                                           std::span<const float>(REDUCED_RATES).subspan(first, n)}};
        first += n;
    }
    return entries;
}();

}  // namespace

constexpr StaticMap<VatRate, VAT_RATE_COUNT> VAT_RATES{ENTRIES};

namespace {

consteval bool reduced_rates_ascend() {
    for (const Row& row : ROWS) {
        const VatRate* rate = VAT_RATES.find(row.country);
        if (rate == nullptr || rate->country != row.country) return false;
        for (std::size_t i = 1; i < rate->reduced_rates.size(); ++i) {
            if (!(rate->reduced_rates[i - 1] < rate->reduced_rates[i])) return false;
        }
    }
    return true;
}
static_assert(reduced_rates_ascend());
static_assert(VAT_RATES.find("CH")->standard_rate == 8.1f && VAT_RATES.find("IT")->reduced_rates.size() == 3);
static_assert(VAT_RATES.find("DK")->reduced_rates.empty() && VAT_RATES.find("GR") != nullptr);
static_assert(VAT_RATES.find("EL") == nullptr && VAT_RATES.find("XI") == nullptr && VAT_RATES.find("de") == nullptr);

}  // namespace

namespace vat_rates {

const VatRate* get(std::string_view country) noexcept { return VAT_RATES.find(country); }

}  // namespace vat_rates
}  // namespace cobalis::data
