#include "python/lookups.hpp"

#include "python/convert.hpp"

namespace cobalis::python {
namespace {

// A new dict that `fill` puts its keys into; dropped again if `fill` fails.
template <class Fill>
PyObject* new_dict(Fill fill) noexcept {
    PyObject* dict = PyDict_New();
    if (dict == nullptr) return nullptr;
    if (!fill(dict)) {
        Py_DECREF(dict);
        return nullptr;
    }
    return dict;
}

template <auto lookup, auto to_pydict>
PyObject* record_body(std::string_view key) noexcept {
    const auto* record = lookup(key);
    return record == nullptr ? Py_NewRef(Py_None) : to_pydict(*record);
}

}  // namespace

PyObject* country_to_pydict(const data::Country& c) noexcept {
    return new_dict([&c](PyObject* d) {
        return put_text(d, Key::alpha2, c.alpha2) && put_text(d, Key::alpha3, c.alpha3) &&
               put_uint(d, Key::numeric, c.numeric) && put_text(d, Key::name, c.name) &&
               put_optional_text(d, Key::official_name, c.official_name) &&
               put_optional_text(d, Key::common_name, c.common_name) && put_text(d, Key::flag, c.flag) &&
               put_text(d, Key::currency, c.currency) && put_text(d, Key::calling_code, c.calling_code) &&
               put_text(d, Key::tld, c.tld) && put_bool(d, Key::eu_member, c.eu_member) &&
               put_optional_uint(d, Key::iban_length, c.iban_length);
    });
}

PyObject* currency_to_pydict(const data::Currency& c) noexcept {
    return new_dict([&c](PyObject* d) {
        return put_text(d, Key::code, c.code) && put_uint(d, Key::numeric, c.numeric) &&
               put_text(d, Key::name, c.name) && put_text(d, Key::symbol, c.symbol) &&
               put_uint(d, Key::decimals, c.decimals) && put_code_list(d, Key::countries, c.countries);
    });
}

PyObject* vat_rate_to_pydict(const data::VatRate& r) noexcept {
    return new_dict([&r](PyObject* d) {
        return put_code(d, Key::country, r.country) && put_float(d, Key::standard_rate, r.standard_rate) &&
               put_float_list(d, Key::reduced_rates, r.reduced_rates);
    });
}

PyObject* get_country_body(std::string_view alpha2) noexcept {
    return record_body<data::countries::get, country_to_pydict>(alpha2);
}

PyObject* get_country_by_alpha3_body(std::string_view alpha3) noexcept {
    return record_body<data::countries::get_by_alpha3, country_to_pydict>(alpha3);
}

PyObject* get_currency_body(std::string_view code) noexcept {
    return record_body<data::currencies::get, currency_to_pydict>(code);
}

PyObject* get_vat_rate_body(std::string_view country) noexcept {
    return record_body<data::vat_rates::get, vat_rate_to_pydict>(country);
}

}  // namespace cobalis::python
