// The _cobalis_explain extension module: where an invalid identifier breaks
// and which valid identifiers lie one typing slip away, for every kind of
// core/kinds.hpp (core/repair/ does the work). The package's
// `cobalis.explain` and `cobalis.suggest` build their answers on these two
// functions:
//   explain(kind, text, strict) -> (error, position, expected, found)
//   suggest(kind, text, strict, limit) -> [compact, ...]
// `position` counts characters of `text`, not bytes.
#include <Python.h>

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/kinds.hpp"
#include "core/repair/repair.hpp"
#include "python/errors.hpp"

namespace cobalis::python {
namespace {

std::string_view utf8_of(PyObject* text) noexcept {
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text, &size);
    if (bytes == nullptr) return {nullptr, 0};
    return {bytes, static_cast<std::size_t>(size)};
}

// The number of the kind called `name`, or KIND_COUNT with ValueError set.
std::size_t kind_number(PyObject* name) noexcept {
    const std::string_view wanted = utf8_of(name);
    if (wanted.data() == nullptr) return kinds::KIND_COUNT;
    for (std::size_t i = 0; i < kinds::KIND_COUNT; ++i) {
        if (kinds::KINDS[i].name == wanted) return i;
    }
    PyErr_Format(PyExc_ValueError, "unknown kind: %R", name);
    return kinds::KIND_COUNT;
}

// The characters before byte `offset` of UTF-8 `text`.
std::size_t characters_before(std::string_view text, std::size_t offset) noexcept {
    std::size_t n = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        n += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

PyObject* text_or_none(std::string_view s) noexcept {
    if (s.empty()) return Py_NewRef(Py_None);
    return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

PyObject* explain(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    static const char* keywords[] = {"kind", "text", "strict", nullptr};
    PyObject* kind = nullptr;
    PyObject* text = nullptr;
    int strict = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "UU|p:explain", const_cast<char**>(keywords), &kind, &text,
                                     &strict)) {
        return nullptr;
    }
    const std::size_t number = kind_number(kind);
    if (number == kinds::KIND_COUNT) return nullptr;
    const std::string_view input = utf8_of(text);
    if (input.data() == nullptr) return nullptr;
    const repair::Explanation e = repair::explain(number, input, strict != 0);
    PyObject* error = e.error ? text_or_none(error_text(*e.error)) : Py_NewRef(Py_None);
    PyObject* position = e.position ? PyLong_FromSize_t(characters_before(input, *e.position)) : Py_NewRef(Py_None);
    PyObject* expected = text_or_none(e.expected());
    PyObject* found = text_or_none(e.found());
    if (error == nullptr || position == nullptr || expected == nullptr || found == nullptr) {
        Py_XDECREF(error);
        Py_XDECREF(position);
        Py_XDECREF(expected);
        Py_XDECREF(found);
        return nullptr;
    }
    PyObject* answer = PyTuple_Pack(4, error, position, expected, found);
    Py_DECREF(error);
    Py_DECREF(position);
    Py_DECREF(expected);
    Py_DECREF(found);
    return answer;
}

PyObject* suggest(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    static const char* keywords[] = {"kind", "text", "strict", "limit", nullptr};
    PyObject* kind = nullptr;
    PyObject* text = nullptr;
    int strict = 0;
    Py_ssize_t limit = 5;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "UU|pn:suggest", const_cast<char**>(keywords), &kind, &text,
                                     &strict, &limit)) {
        return nullptr;
    }
    if (limit < 0) {
        PyErr_SetString(PyExc_ValueError, "limit must not be negative");
        return nullptr;
    }
    const std::size_t number = kind_number(kind);
    if (number == kinds::KIND_COUNT) return nullptr;
    const std::string_view input = utf8_of(text);
    if (input.data() == nullptr) return nullptr;
    repair::Suggestions found;
    repair::suggest(number, input, strict != 0, static_cast<std::size_t>(limit), found);
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(found.count));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < found.count; ++i) {
        const InlineString s = found.at(i);
        PyObject* item = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogateescape");
        if (item == nullptr) {
            Py_DECREF(list);
            return nullptr;
        }
        PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

using WithKeywords = PyObject* (*)(PyObject*, PyObject*, PyObject*) noexcept;
PyCFunction as_cfunction(WithKeywords f) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

PyMethodDef methods[] = {
    {"explain", as_cfunction(explain), METH_VARARGS | METH_KEYWORDS,
     "explain(kind, text, strict=False)\n--\n\n(error, position, expected, found) of `text` as an identifier of `kind`."},
    {"suggest", as_cfunction(suggest), METH_VARARGS | METH_KEYWORDS,
     "suggest(kind, text, strict=False, limit=5)\n--\n\nValid identifiers one edit away from `text`, most plausible first."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_cobalis_explain", "", 0, methods, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace cobalis::python

PyMODINIT_FUNC PyInit__cobalis_explain(void) {
    try {
        return PyModule_Create2(&cobalis::python::module_def, PYTHON_ABI_VERSION);
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
