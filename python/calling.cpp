#include "python/calling.hpp"

#include "python/kernel_level.hpp"

namespace cobalis::python {
namespace {

// Binds the single parameter from METH_FASTCALL | METH_KEYWORDS arguments.
// Answers the bound object (borrowed), or nullptr with a TypeError set.
PyObject* bind(const Function& f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    if (nargs > 1) {
        return PyErr_Format(PyExc_TypeError, "%s() takes 1 positional arguments but %zd were given", f.name, nargs);
    }
    PyObject* bound = nargs == 1 ? args[0] : nullptr;
    if (kwnames != nullptr) {
        const Py_ssize_t count = PyTuple_Size(kwnames);
        for (Py_ssize_t i = 0; i < count; ++i) {
            PyObject* keyword = PyTuple_GetItem(kwnames, i);
            if (PyUnicode_CompareWithASCIIString(keyword, f.parameter) != 0) {
                return PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", f.name,
                                    keyword);
            }
            if (bound != nullptr) {
                return PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", f.name,
                                    f.parameter);
            }
            bound = args[nargs + i];
        }
    }
    if (bound == nullptr) {
        return PyErr_Format(PyExc_TypeError, "%s() missing 1 required positional argument: '%s'", f.name,
                            f.parameter);
    }
    return bound;
}

// Whether `object` is a `str` (or subclass); anything else is a TypeError
// naming the parameter and the argument's type.
bool is_str(const Function& f, PyObject* object) noexcept {
    if (PyUnicode_Check(object)) return true;
    raise_type_error(object, "argument '%s': '%U' object cannot be converted to 'PyString'", f.parameter);
    return false;
}

bool add_function(PyObject* module, PyObject* module_name, PyMethodDef& def) noexcept {
    PyObject* function = PyCFunction_NewEx(&def, module, module_name);
    if (function == nullptr) return false;
    PyObject* name = PyObject_GetAttrString(function, "__name__");
    PyObject* all = name == nullptr ? nullptr : PyObject_GetAttrString(module, "__all__");
    if (name != nullptr && all == nullptr && PyErr_ExceptionMatches(PyExc_AttributeError)) {
        PyErr_Clear();
        all = PyList_New(0);
        if (all != nullptr && PyObject_SetAttrString(module, "__all__", all) != 0) Py_CLEAR(all);
    }
    bool ok = all != nullptr;
    if (ok && !PyList_Check(all)) {
        PyErr_Format(PyExc_TypeError, "%U.__all__ must be a list", module_name);
        ok = false;
    }
    ok = ok && PyList_Append(all, name) == 0 && PyObject_SetAttr(module, name, function) == 0;
    Py_XDECREF(all);
    Py_XDECREF(name);
    Py_DECREF(function);
    return ok;
}

}  // namespace

PyObject* call(const Function& f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    PyObject* argument = bind(f, args, nargs, kwnames);
    if (argument == nullptr || !is_str(f, argument)) return nullptr;
    return call_body(f.body, argument);
}

PyObject* create_module_once(PyModuleDef& def, std::span<PyMethodDef> methods, PyObject*& cell) noexcept {
    if (!kernel_level_usable()) return nullptr;
    if (cell != nullptr) {
        PyErr_Format(PyExc_ImportError, "%s: the module may only be initialized once per interpreter process",
                     def.m_name);
        return nullptr;
    }
    if (!init_strings() || !init_result_templates()) return nullptr;
    PyObject* module = PyModule_Create2(&def, PYTHON_ABI_VERSION);
    if (module == nullptr) return nullptr;
    PyObject* module_name = PyModule_GetNameObject(module);
    bool ok = module_name != nullptr;
    for (std::size_t i = 0; ok && i < methods.size(); ++i) ok = add_function(module, module_name, methods[i]);
    Py_XDECREF(module_name);
    if (!ok) {
        Py_DECREF(module);
        return nullptr;
    }
    cell = Py_NewRef(module);
    return module;
}

}  // namespace cobalis::python
