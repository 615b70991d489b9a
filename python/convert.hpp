// Turning core values into Python objects: the value conversions shared by
// the result dictionaries and the reference-data dictionaries.
//
// Every `put_*` inserts one key into a dict and answers false, with a Python
// exception set, when creating the value or inserting it failed; the caller
// then drops the dict, so nothing partial ever reaches Python.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::python {

// Every dictionary key, made once at import and reused by every call.
enum class Key : std::uint8_t {
    // the five common keys of a result
    is_valid, compact, formatted, error, kind,
    // result details
    country, check_digits, bban_length, bank_code, location, branch, brand, isbn_type, isbn10, isbn13,
    lou_prefix, ean_type, country_prefix, local_length, domain_length,
    // country records
    alpha2, alpha3, numeric, name, official_name, common_name, flag, currency, calling_code, tld, eu_member,
    iban_length,
    // currency records
    code, symbol, decimals, countries,
    // VAT-rate records
    standard_rate, reduced_rates,
    count_
};

// The kind name a `validate_` function puts under "kind".
enum class Kind : std::uint8_t { iban, bic, credit_card, isbn, issn, isin, lei, ean, vat, email, count_ };

// Makes the cached key and name strings; false with an exception set on failure.
bool init_strings() noexcept;

// Makes the per-kind result dictionaries that results are copied from; call
// after init_strings. False with an exception set on failure.
bool init_result_templates() noexcept;

// Raises the dedicated internal-fault exception (a direct subclass of
// BaseException) with `message`. Always answers nullptr.
PyObject* raise_internal_fault(const char* message) noexcept;

PyObject* new_text(std::string_view text) noexcept;

bool put_bool(PyObject* dict, Key key, bool value) noexcept;
bool put_text(PyObject* dict, Key key, std::string_view value) noexcept;
bool put_optional_text(PyObject* dict, Key key, std::optional<std::string_view> value) noexcept;
bool put_uint(PyObject* dict, Key key, unsigned value) noexcept;
bool put_optional_uint(PyObject* dict, Key key, std::optional<unsigned> value) noexcept;
bool put_float(PyObject* dict, Key key, float value) noexcept;
bool put_text_list(PyObject* dict, Key key, std::span<const std::string_view> values) noexcept;
bool put_code_list(PyObject* dict, Key key, std::span<const std::string_view> codes) noexcept;
bool put_float_list(PyObject* dict, Key key, std::span<const float> values) noexcept;

// Fixed-width codes: their bytes as text, or "" when they are not UTF-8.
bool put_code(PyObject* dict, Key key, std::string_view bytes) noexcept;
bool put_optional_code(PyObject* dict, Key key, std::optional<std::string_view> bytes) noexcept;

// The text a result was made from: when `object` is set, it is an exact `str`
// whose UTF-8 bytes are `text`, and it may be handed out in place of a new
// string with the same bytes (Python strings are immutable).
struct Source {
    PyObject* object = nullptr;
    std::string_view text;
};

// The flat result dictionary of a `validate_` function: the five common
// keys, then the keys of the details variant.
PyObject* result_to_pydict(const ValidationResult& result, Kind kind, Source source = {}) noexcept;

}  // namespace cobalis::python
