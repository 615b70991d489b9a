// The _cobalis extension module: its function table and the one calling
// convention all 28 functions share.
//
// Every function takes one `str` (by position or by its keyword), hands the
// text's UTF-8 bytes to a body and returns what the body made. Argument errors
// are TypeErrors whose texts are part of the interface; a C++ exception never
// crosses into the interpreter.
#include <Python.h>

#include <array>
#include <cstddef>
#include <exception>
#include <string_view>
#include <utility>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "core/validators/bic.hpp"
#include "core/validators/credit_card.hpp"
#include "core/validators/ean.hpp"
#include "core/validators/email.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/isbn.hpp"
#include "core/validators/isin.hpp"
#include "core/validators/issn.hpp"
#include "core/validators/lei.hpp"
#include "core/validators/vat/vat.hpp"
#include "python/convert.hpp"
#include "python/lookups.hpp"

namespace cobalis::python {
namespace {

// A body gets the argument (a `str`) and a view of its UTF-8 bytes (which may
// hold NULs), and returns a new reference, or nullptr with an exception set.
using Body = PyObject* (*)(PyObject* argument, std::string_view text) noexcept;

struct Function {
    const char* name;
    const char* parameter;
    Body body;
};

template <auto validate, Kind kind>
PyObject* validate_body(PyObject* argument, std::string_view text) noexcept {
    // An exact `str` may stand in for a result text with the same bytes.
    PyObject* reusable = PyUnicode_CheckExact(argument) ? argument : nullptr;
    return result_to_pydict(validate(text), kind, Source{reusable, text});
}

template <auto predicate>
PyObject* bool_body(PyObject*, std::string_view text) noexcept {
    return Py_NewRef(predicate(text) ? Py_True : Py_False);
}

PyObject* luhn_generate_body(PyObject*, std::string_view text) noexcept {
    return PyLong_FromLong(algorithms::luhn::generate_str(text));
}

template <PyObject* (*lookup)(std::string_view) noexcept>
PyObject* lookup_body(PyObject*, std::string_view text) noexcept {
    return lookup(text);
}

// In registration order, which is also the order of __all__.
constexpr std::array FUNCTIONS{
    Function{"is_valid_iban", "input", bool_body<validators::iban::is_valid>},
    Function{"validate_iban", "input", validate_body<validators::iban::validate, Kind::iban>},
    Function{"is_valid_bic", "input", bool_body<validators::bic::is_valid>},
    Function{"validate_bic", "input", validate_body<validators::bic::validate, Kind::bic>},
    Function{"is_valid_credit_card", "input", bool_body<validators::credit_card::is_valid>},
    Function{"validate_credit_card", "input", validate_body<validators::credit_card::validate, Kind::credit_card>},
    Function{"is_valid_isbn", "input", bool_body<validators::isbn::is_valid>},
    Function{"validate_isbn", "input", validate_body<validators::isbn::validate, Kind::isbn>},
    Function{"is_valid_issn", "input", bool_body<validators::issn::is_valid>},
    Function{"validate_issn", "input", validate_body<validators::issn::validate, Kind::issn>},
    Function{"is_valid_isin", "input", bool_body<validators::isin::is_valid>},
    Function{"validate_isin", "input", validate_body<validators::isin::validate, Kind::isin>},
    Function{"is_valid_lei", "input", bool_body<validators::lei::is_valid>},
    Function{"validate_lei", "input", validate_body<validators::lei::validate, Kind::lei>},
    Function{"is_valid_ean", "input", bool_body<validators::ean::is_valid>},
    Function{"validate_ean", "input", validate_body<validators::ean::validate, Kind::ean>},
    Function{"is_valid_vat", "input", bool_body<validators::vat::is_valid>},
    Function{"validate_vat", "input", validate_body<validators::vat::validate, Kind::vat>},
    Function{"is_valid_email", "input", bool_body<validators::email::is_valid>},
    Function{"validate_email", "input", validate_body<validators::email::validate, Kind::email>},
    Function{"luhn_validate", "input", bool_body<algorithms::luhn::validate_str>},
    Function{"luhn_generate", "input", luhn_generate_body},
    Function{"verhoeff_validate", "input", bool_body<algorithms::verhoeff::validate_str>},
    Function{"damm_validate", "input", bool_body<algorithms::damm::validate_str>},
    Function{"get_country", "alpha2", lookup_body<get_country_body>},
    Function{"get_country_by_alpha3", "alpha3", lookup_body<get_country_by_alpha3_body>},
    Function{"get_currency", "code", lookup_body<get_currency_body>},
    Function{"get_vat_rate", "country", lookup_body<get_vat_rate_body>},
};

// "name(parameter)\n--\n\n": CPython reads the part before the marker as the
// text signature and leaves __doc__ None.
constexpr std::size_t DOC_CAPACITY = 64;
using Doc = std::array<char, DOC_CAPACITY>;

constexpr Doc make_doc(const Function& f) {
    Doc doc{};
    std::size_t n = 0;
    const auto append = [&](std::string_view s) {
        for (char c : s) doc[n++] = c;
    };
    append(f.name);
    append("(");
    append(f.parameter);
    append(")\n--\n\n");
    return doc;
}

template <std::size_t... I>
constexpr std::array<Doc, sizeof...(I)> make_docs(std::index_sequence<I...>) {
    return {make_doc(FUNCTIONS[I])...};
}
constexpr auto DOCS = make_docs(std::make_index_sequence<FUNCTIONS.size()>{});

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

// The UTF-8 bytes of a `str` (or subclass). The interpreter's own encoding
// error (a lone surrogate) passes unchanged; anything else is a TypeError
// naming the parameter and the argument's type.
bool utf8_of(const Function& f, PyObject* object, std::string_view& text) noexcept {
    if (!PyUnicode_Check(object)) {
        PyObject* type_name = PyType_GetQualName(Py_TYPE(object));
        if (type_name == nullptr) {
            PyErr_Clear();
            PyErr_Format(PyExc_TypeError,
                         "argument '%s': '<failed to extract type name>' object cannot be converted to 'PyString'",
                         f.parameter);
            return false;
        }
        PyErr_Format(PyExc_TypeError, "argument '%s': '%U' object cannot be converted to 'PyString'", f.parameter,
                     type_name);
        Py_DECREF(type_name);
        return false;
    }
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(object, &size);
    if (bytes == nullptr) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
        return false;
    }
    text = std::string_view(bytes, static_cast<std::size_t>(size));
    return true;
}

PyObject* call(const Function& f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    PyObject* argument = bind(f, args, nargs, kwnames);
    if (argument == nullptr) return nullptr;
    std::string_view text;
    if (!utf8_of(f, argument, text)) return nullptr;
    PyObject* answer = nullptr;
    try {
        answer = f.body(argument, text);
    } catch (const std::exception& e) {
        return raise_internal_fault(e.what());
    } catch (...) {
        return raise_internal_fault("unknown C++ exception");
    }
    if (answer == nullptr && !PyErr_Occurred()) return raise_internal_fault("a body failed without an exception");
    return answer;
}

using FastCallWithKeywords = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

template <std::size_t I>
PyObject* entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return call(FUNCTIONS[I], args, nargs, kwnames);
}

template <std::size_t... I>
std::array<PyMethodDef, sizeof...(I)> make_methods(std::index_sequence<I...>) noexcept {
    const auto as_cfunction = [](FastCallWithKeywords fn) {
        return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn));
    };
    return {PyMethodDef{FUNCTIONS[I].name, as_cfunction(entry<I>), METH_FASTCALL | METH_KEYWORDS, DOCS[I].data()}...};
}

std::array<PyMethodDef, FUNCTIONS.size()> methods = make_methods(std::make_index_sequence<FUNCTIONS.size()>{});

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_cobalis",
    "",       // __doc__ is the empty string
    0,        // no per-module state
    nullptr,  // functions are added by the initialiser, in table order
    nullptr, nullptr, nullptr, nullptr,
};

// The module once made. A second initialisation (a re-import, or another
// interpreter) is refused rather than handing out a second module.
PyObject* the_module = nullptr;

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
        PyErr_SetString(PyExc_TypeError, "_cobalis.__all__ must be a list");
        ok = false;
    }
    ok = ok && PyList_Append(all, name) == 0 && PyObject_SetAttr(module, name, function) == 0;
    Py_XDECREF(all);
    Py_XDECREF(name);
    Py_DECREF(function);
    return ok;
}

PyObject* initialise() noexcept {
    if (the_module != nullptr) {
        PyErr_SetString(PyExc_ImportError,
                        "_cobalis: the module may only be initialized once per interpreter process");
        return nullptr;
    }
    if (!init_strings() || !init_result_templates()) return nullptr;
    PyObject* module = PyModule_Create2(&module_def, PYTHON_ABI_VERSION);
    if (module == nullptr) return nullptr;
    PyObject* module_name = PyModule_GetNameObject(module);
    bool ok = module_name != nullptr;
    for (std::size_t i = 0; ok && i < methods.size(); ++i) ok = add_function(module, module_name, methods[i]);
    Py_XDECREF(module_name);
    if (!ok) {
        Py_DECREF(module);
        return nullptr;
    }
    the_module = Py_NewRef(module);
    return module;
}

}  // namespace
}  // namespace cobalis::python

PyMODINIT_FUNC PyInit__cobalis(void) {
    try {
        return cobalis::python::initialise();
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
