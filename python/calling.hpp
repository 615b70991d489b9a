// The calling convention every function of our extension modules shares.
//
// Every function takes one `str` (by position or by its keyword), hands the
// text's UTF-8 bytes to a body and returns what the body made. Argument errors
// are TypeErrors whose texts are part of the interface; a C++ exception never
// crosses into the interpreter. A module is a table of `Function`s.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "python/convert.hpp"

namespace cobalis::python {

// A body gets the argument (a `str`) and a view of its UTF-8 bytes (which may
// hold NULs), and returns a new reference, or nullptr with an exception set.
using Body = PyObject* (*)(PyObject* argument, std::string_view text) noexcept;

struct Function {
    const char* name = nullptr;
    const char* parameter = nullptr;
    Body body = nullptr;
};

// `kind` numbers the kind in kinds::KINDS.
template <auto validate, std::size_t kind>
PyObject* validate_body(PyObject* argument, std::string_view text) noexcept {
    // An exact `str` may stand in for a result text with the same bytes.
    PyObject* reusable = PyUnicode_CheckExact(argument) ? argument : nullptr;
    return result_to_pydict(validate(text), kind, Source{reusable, text});
}

template <auto predicate>
PyObject* bool_body(PyObject*, std::string_view text) noexcept {
    return Py_NewRef(predicate(text) ? Py_True : Py_False);
}

// The is_valid_<kind> and validate_<kind> functions of every kind in
// kinds::KINDS, kind after kind; with `strict`, those of the kinds with
// national rules, with their strict entry points.
template <bool strict>
class KindFunctions {
    // A name made of `prefix` and a kind's name, kept as a NUL-terminated text.
    template <std::size_t N>
    struct Name {
        std::array<char, N + 1> chars{};
        constexpr Name(std::string_view prefix, std::string_view kind) noexcept {
            std::size_t n = 0;
            for (char c : prefix) chars[n++] = c;
            for (char c : kind) chars[n++] = c;
        }
    };
    template <std::size_t K, std::size_t N = kinds::KINDS[K].name.size()>
    static constexpr Name<9 + N> IS_VALID_NAME{"is_valid_", kinds::KINDS[K].name};
    template <std::size_t K, std::size_t N = kinds::KINDS[K].name.size()>
    static constexpr Name<9 + N> VALIDATE_NAME{"validate_", kinds::KINDS[K].name};

    static constexpr std::size_t COUNT = strict ? kinds::STRICT_COUNT : kinds::KIND_COUNT;
    static constexpr std::size_t kind_at(std::size_t i) noexcept { return strict ? kinds::STRICT_KINDS[i] : i; }

    template <std::size_t K>
    static constexpr std::array<Function, 2> pair() noexcept {
        constexpr const kinds::Kind& kind = kinds::KINDS[K];
        if constexpr (strict) {
            return {Function{IS_VALID_NAME<K>.chars.data(), "input", bool_body<kind.is_valid_strict>},
                    Function{VALIDATE_NAME<K>.chars.data(), "input", validate_body<kind.validate_strict, K>}};
        } else {
            return {Function{IS_VALID_NAME<K>.chars.data(), "input", bool_body<kind.is_valid>},
                    Function{VALIDATE_NAME<K>.chars.data(), "input", validate_body<kind.validate, K>}};
        }
    }

    template <std::size_t... I>
    static constexpr std::array<Function, 2 * COUNT> make(std::index_sequence<I...>) noexcept {
        const std::array<std::array<Function, 2>, COUNT> pairs{pair<kind_at(I)>()...};
        std::array<Function, 2 * COUNT> out{};
        for (std::size_t i = 0; i < COUNT; ++i) {
            out[2 * i] = pairs[i][0];
            out[2 * i + 1] = pairs[i][1];
        }
        return out;
    }

public:
    static constexpr std::array<Function, 2 * COUNT> FUNCTIONS = make(std::make_index_sequence<COUNT>{});
};

// `first` followed by `second`.
template <std::size_t N, std::size_t M>
constexpr std::array<Function, N + M> joined(const std::array<Function, N>& first,
                                             const std::array<Function, M>& second) noexcept {
    std::array<Function, N + M> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = first[i];
    for (std::size_t i = 0; i < M; ++i) out[N + i] = second[i];
    return out;
}

// Binds the argument, takes its UTF-8 bytes and runs the body of `f`.
PyObject* call(const Function& f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept;

// Runs `body` on a `str` argument already bound: its UTF-8 bytes, or the
// interpreter's own encoding error (a lone surrogate). A body answers a new
// reference or nullptr with an exception set, and raises no C++ exception
// (it is noexcept).
inline PyObject* call_body(Body body, PyObject* argument) noexcept {
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(argument, &size);
    if (bytes == nullptr) [[unlikely]] {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
        return nullptr;
    }
    PyObject* answer = body(argument, std::string_view(bytes, static_cast<std::size_t>(size)));
    if (answer == nullptr && !PyErr_Occurred()) [[unlikely]] {
        return raise_internal_fault("a body failed without an exception");
    }
    return answer;
}

// The PyMethodDef entries of a table of functions, in table order: one entry
// point per function, with "name(parameter)\n--\n\n" as its doc, which
// CPython reads as the text signature (leaving __doc__ None).
template <const auto& FUNCTIONS>
class MethodTable {
public:
    static constexpr std::size_t SIZE = FUNCTIONS.size();

    MethodTable() noexcept : methods_(make_methods(std::make_index_sequence<SIZE>{})) {}
    std::span<PyMethodDef> methods() noexcept { return methods_; }

private:
    static constexpr std::size_t DOC_CAPACITY = 64;
    using Doc = std::array<char, DOC_CAPACITY>;

    static constexpr Doc make_doc(const Function& f) {
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
    static constexpr std::array<Doc, SIZE> make_docs(std::index_sequence<I...>) {
        return {make_doc(FUNCTIONS[I])...};
    }
    static constexpr std::array<Doc, SIZE> DOCS = make_docs(std::make_index_sequence<SIZE>{});

    using FastCallWithKeywords = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

    // Almost every call is f(s) with an exact `str`: that one goes straight to
    // the function's own body, with no binding, no look-up of the argument's
    // type flags and no call through a pointer; everything else takes the
    // general road of `call`, which gives the same answers.
    template <std::size_t I>
    static PyObject* entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
        if (nargs == 1 && kwnames == nullptr && PyUnicode_CheckExact(args[0])) {
            constexpr Body body = FUNCTIONS[I].body;
            return call_body(body, args[0]);
        }
        return call(FUNCTIONS[I], args, nargs, kwnames);
    }

    template <std::size_t... I>
    static std::array<PyMethodDef, SIZE> make_methods(std::index_sequence<I...>) noexcept {
        const auto as_cfunction = [](FastCallWithKeywords fn) {
            return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn));
        };
        return {PyMethodDef{FUNCTIONS[I].name, as_cfunction(entry<I>), METH_FASTCALL | METH_KEYWORDS,
                            DOCS[I].data()}...};
    }

    std::array<PyMethodDef, SIZE> methods_;
};

// Makes the module of `def` once per process (the cached strings and result
// templates are shared by every call, so a second interpreter may not have a
// module of its own): its functions in table order, each name also appended
// to __all__. A second initialisation raises ImportError, and so does a
// COBALIS_KERNELS the kernels cannot obey; `cell` keeps the module made.
PyObject* create_module_once(PyModuleDef& def, std::span<PyMethodDef> methods, PyObject*& cell) noexcept;

}  // namespace cobalis::python
