// A column given as a plain iterable of str and None: checked row by row
// with the interpreter lock held, the answers a list.
#pragma once

#include <Python.h>

#include "python/batch/call.hpp"
#include "python/batch/kinds.hpp"

namespace cobalis::batch {

// The list of answers for `values`, or null with an exception set: a
// TypeError for text, for what is not iterable, and for an item that is
// neither str nor None.
PyObject* from_iterable(const Kind& kind, Operation op, PyObject* values) noexcept;

}  // namespace cobalis::batch
