#include "python/batch/iterables.hpp"

#include <cmath>
#include <string_view>

#include "python/batch/errors.hpp"
#include "python/convert.hpp"

namespace cobalis::batch {
namespace {

// Whether `item` is pandas' NA, looked up only once pandas is loaded
// (nothing is imported here): 1 or 0, or -1 with an exception set.
int is_pandas_missing(PyObject* item) noexcept {
    PyObject* name = PyUnicode_FromString("pandas._libs.missing");
    if (name == nullptr) return -1;
    PyObject* module = PyImport_GetModule(name);
    Py_DECREF(name);
    if (module == nullptr) return PyErr_Occurred() != nullptr ? -1 : 0;
    PyObject* na = PyObject_GetAttrString(module, "NA");
    Py_DECREF(module);
    if (na == nullptr) {
        PyErr_Clear();
        return 0;
    }
    const int same = na == item ? 1 : 0;
    Py_DECREF(na);
    return same;
}

PyObject* answer_one(const Kind& kind, Operation op, PyObject* item, Py_ssize_t index) noexcept {
    if (item == Py_None) return Py_NewRef(Py_None);
    if (!PyUnicode_Check(item)) {
        // The other ways a column says a value is missing: a float NaN
        // (numpy's and pandas' marker, float subclasses included) and pandas' NA.
        if (PyFloat_Check(item) && std::isnan(PyFloat_AsDouble(item))) return Py_NewRef(Py_None);
        const int missing = is_pandas_missing(item);
        if (missing < 0) return nullptr;
        if (missing > 0) return Py_NewRef(Py_None);
        return raise_wrong_item(op, item, index);
    }
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(item, &size);
    if (bytes == nullptr) return nullptr;
    const std::string_view text(bytes, static_cast<std::size_t>(size));
    if (op == Operation::is_valid) return Py_NewRef(kind.is_valid(text) ? Py_True : Py_False);
    return python::result_row_to_pydict(kind.validate(text));
}

}  // namespace

PyObject* from_iterable(const Kind& kind, Operation op, PyObject* values) noexcept {
    // Text is iterable too, but a column of one-character strings is never meant.
    if (PyUnicode_Check(values) || PyBytes_Check(values) || PyByteArray_Check(values)) {
        return raise_wrong_values(op, values);
    }
    PyObject* iterator = PyObject_GetIter(values);
    if (iterator == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) return nullptr;
        PyErr_Clear();
        return raise_wrong_values(op, values);
    }
    PyObject* answers = PyList_New(0);
    Py_ssize_t index = 0;
    while (answers != nullptr) {
        PyObject* item = PyIter_Next(iterator);
        if (item == nullptr) break;
        PyObject* answer = answer_one(kind, op, item, index++);
        Py_DECREF(item);
        if (answer == nullptr || PyList_Append(answers, answer) != 0) Py_CLEAR(answers);
        Py_XDECREF(answer);
    }
    Py_DECREF(iterator);
    if (answers != nullptr && PyErr_Occurred()) Py_CLEAR(answers);
    return answers;
}

}  // namespace cobalis::batch
