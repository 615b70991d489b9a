// Compact: one kind's validation as a callable that answers the compact form
// of a valid text or raises, for the frameworks (pydantic) that call a
// validator once per value and want nothing else back.
#pragma once

#include <Python.h>

namespace cobalis::batch {

// Adds the type `Compact` to the batch module. Answers false with an
// exception set on failure.
bool add_compact_type(PyObject* module) noexcept;

}  // namespace cobalis::batch
