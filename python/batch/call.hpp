// What every file of the _cobalis_batch module shares about a call: which
// of the two operations it is, its name in messages ("cobalis.is_valid"),
// and how a method that takes keywords goes into a method table.
#pragma once

#include <Python.h>

namespace cobalis::batch {

enum class Operation : bool { is_valid, validate };

constexpr const char* name_of(Operation op) noexcept { return op == Operation::is_valid ? "is_valid" : "validate"; }

using WithKeywords = PyObject* (*)(PyObject*, PyObject*, PyObject*);

inline PyCFunction as_cfunction(WithKeywords f) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

}  // namespace cobalis::batch
