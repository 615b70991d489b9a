// The Python objects this module makes itself: new str objects, the
// dictionary of one row of validate (with its keys and error texts made
// once), and the TypeErrors that name the type of a value the caller passed.
// The other extension modules make the same things; they are kept together
// here so that they stay alike.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string_view>

#include "core/types.hpp"
#include "python/batch/call.hpp"

namespace cobalis::batch {

// Makes the keys and error texts of result_dict; false, with an exception
// set, when they cannot be made. Calling it again makes only what is missing.
bool init_strings() noexcept;

PyObject* new_text(std::string_view text) noexcept;

// The row of validate as a dict: is_valid, error, compact, formatted.
PyObject* result_dict(const ValidationResult& result) noexcept;

// Raises TypeError "cobalis.<op>: <what>, not <the value's type>"; answers null.
std::nullptr_t wrong_type(Operation op, const char* what, PyObject* value) noexcept;

// Raises the TypeError for `values` that is neither an Arrow column nor an
// iterable of str and None; answers null.
PyObject* raise_wrong_values(Operation op, PyObject* values) noexcept;

// Raises the TypeError for values[index], `item`, that is neither str nor
// None; answers null.
PyObject* raise_wrong_item(Operation op, PyObject* item, Py_ssize_t index) noexcept;

}  // namespace cobalis::batch
