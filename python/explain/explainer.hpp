// _cobalis_explain.Explainer: `explain(kind, text, *, strict=False)` as one
// C call, answering the explanation dict with its sentence.
#pragma once

#include <Python.h>

namespace cobalis::python {

// Adds the Explainer type to `module`; false with an exception set.
bool add_explainer_type(PyObject* module) noexcept;

}  // namespace cobalis::python
