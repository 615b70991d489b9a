// The reference-data lookups: get_country, get_country_by_alpha3,
// get_currency and get_vat_rate, and the dictionaries of their records.
#pragma once

#include <Python.h>

#include <string_view>

#include "core/data/countries.hpp"
#include "core/data/currencies.hpp"
#include "core/data/vat_rates.hpp"

namespace cobalis::python {

// A new dict of the record's fields in their fixed key order, or nullptr
// with the exception that stopped it (nothing partial is returned).
PyObject* country_to_pydict(const data::Country& country) noexcept;
PyObject* currency_to_pydict(const data::Currency& currency) noexcept;
PyObject* vat_rate_to_pydict(const data::VatRate& rate) noexcept;

// Function bodies: a new dict for the record under exactly this key, else None.
PyObject* get_country_body(std::string_view alpha2) noexcept;
PyObject* get_country_by_alpha3_body(std::string_view alpha3) noexcept;
PyObject* get_currency_body(std::string_view code) noexcept;
PyObject* get_vat_rate_body(std::string_view country) noexcept;

}  // namespace cobalis::python
