// The TypeErrors of the batch functions, each naming the type of the value
// the caller passed (through the shared python::raise_type_error, so every
// module of ours names types alike).
#pragma once

#include <Python.h>

#include <cstddef>

#include "python/batch/call.hpp"

namespace cobalis::batch {

// Raises TypeError "cobalis.<op>: <what>, not <the value's type>"; answers null.
std::nullptr_t wrong_type(Operation op, const char* what, PyObject* value) noexcept;

// Raises the TypeError for `values` that is neither an Arrow column nor an
// iterable of str and None; answers null.
PyObject* raise_wrong_values(Operation op, PyObject* values) noexcept;

// Raises the TypeError for values[index], `item`, that is neither str nor
// None; answers null.
PyObject* raise_wrong_item(Operation op, PyObject* item, Py_ssize_t index) noexcept;

}  // namespace cobalis::batch
