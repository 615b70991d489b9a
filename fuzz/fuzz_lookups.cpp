// The reference-data lookups against arbitrary keys.
// needs: core/data/countries.hpp core/data/currencies.hpp core/data/vat_rates.hpp
//
// A lookup finds a record only under exactly its own key: the record names
// that key, the same key with a byte added or a letter's case turned finds
// nothing else, and every text a record holds is UTF-8 that Python can read.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/countries.hpp"
#include "core/data/currencies.hpp"
#include "core/data/vat_rates.hpp"
#include "fuzz/check.hpp"

namespace cobalis::proof {
namespace {

namespace countries = data::countries;
namespace currencies = data::currencies;
namespace vat_rates = data::vat_rates;

struct Checker {
    std::string_view key;
    void require(bool ok, const char* rule) const noexcept {
        if (!ok) broken("lookups", rule, key);
    }
};

#define REQUIRE(cond) check.require((cond), #cond)

// Keys near `key` that must find nothing when `key` itself finds its record.
template <class Get>
void check_exact(const Checker& check, std::string_view key, Get get) {
    std::string longer(key);
    longer.push_back('\0');
    REQUIRE(get(longer) == nullptr);
    longer.back() = ' ';
    REQUIRE(get(longer) == nullptr);
    const std::string turned = swap_case(key);
    REQUIRE(turned == key || get(turned) != get(key));
    if (!key.empty()) REQUIRE(get(key.substr(0, key.size() - 1)) != get(key));
}

void check_country(const Checker& check, const data::Country& c) {
    for (std::string_view text : {c.alpha2, c.alpha3, c.name, c.flag, c.currency, c.calling_code, c.tld}) {
        REQUIRE(is_utf8(text));
    }
    REQUIRE(!c.official_name || is_utf8(*c.official_name));
    REQUIRE(!c.common_name || is_utf8(*c.common_name));
    REQUIRE(c.currency.empty() || currencies::get(c.currency) != nullptr);
    REQUIRE(countries::get(c.alpha2) == &c);
    REQUIRE(countries::get_by_alpha3(c.alpha3) == &c);
}

void check(std::string_view key) {
    const Checker check{key};

    if (const data::Country* c = countries::get(key)) {
        REQUIRE(c->alpha2 == key);
        check_country(check, *c);
        check_exact(check, key, countries::get);
    }
    if (const data::Country* c = countries::get_by_alpha3(key)) {
        REQUIRE(c->alpha3 == key);
        check_country(check, *c);
        check_exact(check, key, countries::get_by_alpha3);
    }
    if (const data::Currency* c = currencies::get(key)) {
        REQUIRE(c->code == key);
        REQUIRE(c->decimals == 0 || c->decimals == 2 || c->decimals == 3 || c->decimals == 4);
        REQUIRE(is_utf8(c->name) && is_utf8(c->symbol) && !c->symbol.empty());
        for (std::string_view country : c->countries) {
            REQUIRE(country.size() == 2 && is_utf8(country));
        }
        check_exact(check, key, currencies::get);
    }
    if (const data::VatRate* r = vat_rates::get(key)) {
        REQUIRE(r->country == key);
        REQUIRE(std::isfinite(r->standard_rate) && r->standard_rate > 0);
        float previous = 0;
        for (float rate : r->reduced_rates) {
            REQUIRE(std::isfinite(rate) && rate >= previous && rate < r->standard_rate);
            previous = rate;
        }
        check_exact(check, key, vat_rates::get);
    }
}

#undef REQUIRE

}  // namespace
}  // namespace cobalis::proof

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cobalis::proof::check(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
