// Reading an Arrow column that the caller exported through the PyCapsule
// interface: its type checked, its arrays taken window by window and checked
// without the interpreter lock, and any error held until the producer has
// been given back everything it lent.
#pragma once

#include <Python.h>

#include <cstdint>

#include "python/batch/call.hpp"
#include "python/batch/kinds.hpp"

namespace cobalis::batch {

// Answers the column that `exported` (what __arrow_c_stream__ or
// __arrow_c_array__ returned) holds, then drops `exported`, so that the
// producer has released everything before any error is raised.
// `threads`: at most that many, 0 for every core the process may use.
PyObject* answer_arrow(PyObject* exported, bool is_stream, const Kind& kind, Operation op, int threads) noexcept;

// The account of this thread's last call on an Arrow column, for the benchmark.
struct LastCall {
    std::int64_t rows = 0;
    int threads = 0;
    std::int64_t nanoseconds = 0;           // from the column's export to the answer
    std::int64_t parallel_nanoseconds = 0;  // of which the threads were at work
};

// This thread's last call on an Arrow column.
const LastCall& last_call() noexcept;

}  // namespace cobalis::batch
