// The answer of a call on an Arrow column: a BatchResult, which hands its
// Column out through the Arrow PyCapsule interface (as a schema, an array or
// a stream, each a fresh export) as often as a consumer asks.
#pragma once

#include <Python.h>

#include <memory>

#include "python/batch/column.hpp"

namespace cobalis::batch {

// The BatchResult type, made on the first call; null, with an exception
// set, when it cannot be made.
PyTypeObject* result_type() noexcept;

// A new BatchResult holding `column`; result_type() has been made.
PyObject* new_result(std::shared_ptr<const Column> column) noexcept;

}  // namespace cobalis::batch
