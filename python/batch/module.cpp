// The _cobalis_batch extension module: whole columns of text checked in one
// call.
//
// A column that exports the Arrow PyCapsule interface is read straight from
// its buffers, chunk by chunk, with the interpreter lock released while the
// rows are checked; the answer is a new Arrow column handed out through the
// same interface. A plain iterable of str and None is answered with a list.
//
// This file binds the arguments of is_valid and validate and sends the
// column on: to arrow_in.hpp when it exports the Arrow PyCapsule interface,
// to iterables.hpp otherwise.
#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <string>
#include <string_view>

#include "python/batch/arrow_in.hpp"
#include "python/batch/arrow_out.hpp"
#include "python/batch/call.hpp"
#include "python/batch/column.hpp"
#include "python/batch/compact.hpp"
#include "python/batch/iterables.hpp"
#include "python/batch/kinds.hpp"
#include "python/batch/errors.hpp"
#include "python/convert.hpp"
#include "python/kernel_level.hpp"

namespace cobalis::batch {
namespace {

// Calls values.<method>() when values has it. Answers false with an
// exception set on failure; `result` stays null when there is no such method.
bool call_if_present(PyObject* values, const char* method, PyObject*& result) noexcept {
    result = nullptr;
    PyObject* bound = PyObject_GetAttrString(values, method);
    if (bound == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        return true;
    }
    result = PyObject_CallNoArgs(bound);
    Py_DECREF(bound);
    return result != nullptr;
}

std::string kind_list(Operation op) {
    std::string out;
    for (const Kind& kind : kinds()) {
        if (op == Operation::validate && kind.validate == nullptr) continue;
        if (!out.empty()) out += ", ";
        out += kind.name;
    }
    return out;
}

const Kind* kind_of(PyObject* name, Operation op, bool strict) noexcept {
    if (!PyUnicode_Check(name)) return wrong_type(op, "kind must be a str", name);
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &size);
    if (text == nullptr) return nullptr;
    const Kind* kind = find_kind({text, static_cast<std::size_t>(size)}, strict);
    if (kind != nullptr && (op == Operation::is_valid || kind->validate != nullptr)) return kind;
    try {
        const std::string expected = kind_list(op);
        if (kind != nullptr) {
            PyErr_Format(PyExc_ValueError, "cobalis.validate: %R is a check-digit algorithm for is_valid only; "
                         "kinds for validate: %s", name, expected.c_str());
        } else {
            PyErr_Format(PyExc_ValueError, "cobalis.%s: unknown kind %R; kinds: %s", name_of(op), name,
                         expected.c_str());
        }
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    }
    return nullptr;
}

// The `threads` argument: None (0 here: every core the process may use) or
// a count of at least 1. Answers false with an exception set otherwise.
bool threads_of(PyObject* value, Operation op, int& threads) noexcept {
    constexpr long MOST = 1024;  // more than any machine has cores; keeps the count an int
    threads = 0;
    if (value == nullptr || value == Py_None) return true;
    if (!PyLong_Check(value) || PyBool_Check(value)) {
        wrong_type(op, "threads must be None or an int", value);
        return false;
    }
    int overflow = 0;
    const long count = PyLong_AsLongAndOverflow(value, &overflow);
    if (count == -1 && PyErr_Occurred()) return false;
    if (overflow < 0 || (overflow == 0 && count < 1)) {
        PyErr_Format(PyExc_ValueError, "cobalis.%s: threads must be at least 1, not %R", name_of(op), value);
        return false;
    }
    threads = overflow > 0 ? MOST : static_cast<int>(std::min(count, MOST));
    return true;
}

PyObject* run(Operation op, PyObject* args, PyObject* kwargs) noexcept {
    static const char* keywords[] = {"kind", "values", "strict", "threads", nullptr};
    PyObject* kind_name = nullptr;
    PyObject* values = nullptr;
    int strict = 0;
    PyObject* thread_count = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, op == Operation::is_valid ? "OO|$pO:is_valid" : "OO|$pO:validate",
                                     const_cast<char**>(keywords), &kind_name, &values, &strict, &thread_count)) {
        return nullptr;
    }
    const Kind* kind = kind_of(kind_name, op, strict != 0);
    int threads = 0;
    if (kind == nullptr || !threads_of(thread_count, op, threads)) return nullptr;

    PyObject* exported = nullptr;
    if (!call_if_present(values, "__arrow_c_stream__", exported)) return nullptr;
    if (exported != nullptr) return answer_arrow(exported, true, *kind, op, threads);
    if (!call_if_present(values, "__arrow_c_array__", exported)) return nullptr;
    if (exported != nullptr) return answer_arrow(exported, false, *kind, op, threads);
    return from_iterable(*kind, op, values);
}

PyObject* is_valid_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run(Operation::is_valid, args, kwargs);
}

PyObject* validate_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run(Operation::validate, args, kwargs);
}

PyObject* outstanding_entry(PyObject*, PyObject*) noexcept { return PyLong_FromLongLong(outstanding()); }

PyObject* last_call_entry(PyObject*, PyObject*) noexcept {
    const LastCall& call = last_call();
    return Py_BuildValue("{sLsisdsd}", "rows", static_cast<long long>(call.rows), "threads", call.threads,
                         "seconds", static_cast<double>(call.nanoseconds) * 1e-9, "parallel_seconds",
                         static_cast<double>(call.parallel_nanoseconds) * 1e-9);
}

PyMethodDef methods[] = {
    {"is_valid", as_cfunction(is_valid_entry), METH_VARARGS | METH_KEYWORDS,
     "is_valid(kind, values, *, strict=False, threads=None)\n--\n\n"
     "Checks every value of a column with the is_valid function of `kind` (strict: of cobalis.strict), "
     "an Arrow column on `threads` threads (None: every core the process may use)."},
    {"validate", as_cfunction(validate_entry), METH_VARARGS | METH_KEYWORDS,
     "validate(kind, values, *, strict=False, threads=None)\n--\n\n"
     "Validates every value of a column with the validate function of `kind` (strict: of cobalis.strict), "
     "an Arrow column on `threads` threads (None: every core the process may use)."},
    {"_last_call", last_call_entry, METH_NOARGS,
     "_last_call()\n--\n\n"
     "This thread's last call on an Arrow column: its rows, threads, seconds from the column's export to the "
     "answer, and of those the seconds its threads were at work (for the benchmark)."},
    {"_outstanding", outstanding_entry, METH_NOARGS,
     "_outstanding()\n--\n\n"
     "How many answer columns and exports of them are still alive (for leak checks)."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_cobalis_batch",
    "Whole columns of identifiers checked in one call; see cobalis.is_valid and cobalis.validate.",
    0,
    methods,
    nullptr, nullptr, nullptr, nullptr,
};

PyObject* kind_names(Operation op) noexcept {
    PyObject* names = PyList_New(0);
    for (const Kind& kind : kinds()) {
        if (names == nullptr) break;
        if (op == Operation::validate && kind.validate == nullptr) continue;
        PyObject* name = python::new_text(kind.name);
        if (name == nullptr || PyList_Append(names, name) != 0) Py_CLEAR(names);
        Py_XDECREF(name);
    }
    if (names == nullptr) return nullptr;
    PyObject* tuple = PyList_AsTuple(names);
    Py_DECREF(names);
    return tuple;
}

bool add_new(PyObject* module, const char* name, PyObject* value) noexcept {
    if (value == nullptr) return false;
    const int status = PyModule_AddObjectRef(module, name, value);
    Py_DECREF(value);
    return status == 0;
}

PyObject* initialise() noexcept {
    if (!python::kernel_level_usable()) return nullptr;
    if (!python::init_strings()) return nullptr;
    PyTypeObject* type = result_type();
    if (type == nullptr) return nullptr;
    PyObject* module = PyModule_Create(&module_def);
    if (module == nullptr) return nullptr;
    const bool ok = PyModule_AddObjectRef(module, "BatchResult", reinterpret_cast<PyObject*>(type)) == 0 &&
                    add_new(module, "IS_VALID_KINDS", kind_names(Operation::is_valid)) &&
                    add_new(module, "VALIDATE_KINDS", kind_names(Operation::validate)) &&
                    add_new(module, "KINDS", kind_table()) && python::add_kernel_level(module) &&
                    add_compact_type(module);
    if (!ok) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}

}  // namespace
}  // namespace cobalis::batch

PyMODINIT_FUNC PyInit__cobalis_batch(void) { return cobalis::batch::initialise(); }
