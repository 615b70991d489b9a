// The _cobalis_explain extension module: where an invalid identifier breaks
// and which valid identifiers lie one typing slip away, for every kind of
// core/kinds.hpp (core/repair/ does the work):
//   Explainer(messages, columns).explain(kind, text, *, strict=False) -> dict
//   suggest(kind, text, strict=False, limit=5, /) -> [compact, ...]
// The package's `cobalis.explain` is an Explainer's `explain`, so that one
// text is answered with no Python frame in between; `cobalis.suggest` wraps
// `suggest`. `position` counts characters of `text`, not bytes.
#include <Python.h>

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/kinds.hpp"
#include "core/repair/repair.hpp"
#include "python/explain/explainer.hpp"
#include "python/convert.hpp"
#include "python/errors.hpp"
#include "python/kernel_level.hpp"

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

// The arguments are positional (the package's functions name them): kind,
// text, then the flags. Answers false with TypeError set when they are not.
bool parse(const char* name, PyObject* const* args, Py_ssize_t nargs, Py_ssize_t most, std::size_t& number,
           std::string_view& input, bool& strict, Py_ssize_t& limit) noexcept {
    if (nargs < 2 || nargs > most) {
        PyErr_Format(PyExc_TypeError, "%s() takes from 2 to %zd positional arguments (%zd given)", name, most, nargs);
        return false;
    }
    if (!PyUnicode_Check(args[0]) || !PyUnicode_Check(args[1])) {
        PyErr_Format(PyExc_TypeError, "%s() takes a str kind and a str text", name);
        return false;
    }
    number = kind_number(args[0]);
    if (number == kinds::KIND_COUNT) return false;
    input = utf8_of(args[1]);
    if (input.data() == nullptr) return false;
    strict = false;
    if (nargs > 2) {
        const int flag = PyObject_IsTrue(args[2]);
        if (flag < 0) return false;
        strict = flag != 0;
    }
    if (nargs > 3) {
        limit = PyLong_AsSsize_t(args[3]);
        if (limit == -1 && PyErr_Occurred()) return false;
        if (limit < 0) {
            PyErr_SetString(PyExc_ValueError, "limit must not be negative");
            return false;
        }
    }
    return true;
}

PyObject* suggest(PyObject*, PyObject* const* args, Py_ssize_t nargs) noexcept {
    std::size_t number = 0;
    std::string_view input;
    bool strict = false;
    Py_ssize_t limit = 5;
    if (!parse("suggest", args, nargs, 4, number, input, strict, limit)) return nullptr;
    repair::Suggestions found;
    repair::suggest(number, input, strict, static_cast<std::size_t>(limit), found);
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

using FastCall = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t) noexcept;
PyCFunction as_cfunction(FastCall f) noexcept { return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f)); }

PyMethodDef methods[] = {
    {"suggest", as_cfunction(suggest), METH_FASTCALL,
     "suggest(kind, text, strict=False, limit=5, /)\n--\n\nValid identifiers one edit away from `text`, most "
     "plausible first."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_cobalis_explain", "", 0, methods, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace cobalis::python

PyMODINIT_FUNC PyInit__cobalis_explain(void) {
    try {
        // The repairs confirm every candidate with the kinds' fast paths, so
        // this module obeys COBALIS_KERNELS as the others do.
        if (!cobalis::python::kernel_level_usable() || !cobalis::python::init_strings()) return nullptr;
        PyObject* module = PyModule_Create2(&cobalis::python::module_def, PYTHON_ABI_VERSION);
        if (module == nullptr) return nullptr;
        if (!cobalis::python::add_explainer_type(module)) {
            Py_DECREF(module);
            return nullptr;
        }
        return module;
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
