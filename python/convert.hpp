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

#include "core/kinds.hpp"
#include "core/types.hpp"
#include "python/errors.hpp"

namespace cobalis::python {

// The dictionary keys besides the detail keys of results (which each Details
// alternative names itself, in its KEYS), made once at import and reused by
// every call.
enum class Key : std::uint8_t {
    // the five common keys of a result
    is_valid, compact, formatted, error, kind,
    // country records
    alpha2, alpha3, numeric, name, official_name, common_name, flag, currency, calling_code, tld, eu_member,
    iban_length,
    // currency records
    code, symbol, decimals, countries,
    // VAT-rate records
    country, standard_rate, reduced_rates,
    count_
};

// The cached string of a key, and of an error code's text (borrowed).
PyObject* key_object(Key key) noexcept;
PyObject* error_object(ErrorCode code) noexcept;

// Makes the cached key and name strings; false with an exception set on failure.
bool init_strings() noexcept;

// Makes the per-kind result dictionaries that results are copied from; call
// after init_strings. False with an exception set on failure.
bool init_result_templates() noexcept;

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

// The flat result dictionary of a `validate_` function for the kind numbered
// `kind` in kinds::KINDS: the five common keys, then the keys of the details
// variant.
PyObject* result_to_pydict(const ValidationResult& result, std::size_t kind, Source source = {}) noexcept;

// A result as one row of the column functions: a new dict of is_valid,
// error, compact and formatted, in this order.
PyObject* result_row_to_pydict(const ValidationResult& result) noexcept;

}  // namespace cobalis::python
