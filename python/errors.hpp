// The exceptions every extension module of ours raises the same way: the
// internal fault, and the TypeError that names the type of a wrong argument.
#pragma once

#include <Python.h>

#include <cstddef>

namespace cobalis::python {

// Raises the dedicated internal-fault exception (a direct subclass of
// BaseException) with `message`. Always answers nullptr.
PyObject* raise_internal_fault(const char* message) noexcept;

// The qualified name of `object`'s type ("int", "NoneType"), a new reference;
// "<failed to extract type name>" when the interpreter cannot give it. Null
// only when not even that text could be made (an exception is then set).
PyObject* type_name_of(PyObject* object) noexcept;

// Raises TypeError with the message PyErr_Format makes of `format`, `args`
// and, last, the type name of `object` (so `format` ends its conversions with
// %U). Always answers nullptr.
template <class... Args>
std::nullptr_t raise_type_error(PyObject* object, const char* format, Args... args) noexcept {
    PyObject* type_name = type_name_of(object);
    if (type_name == nullptr) return nullptr;
    PyErr_Format(PyExc_TypeError, format, args..., type_name);
    Py_DECREF(type_name);
    return nullptr;
}

}  // namespace cobalis::python
