// Compact(kind, error, *, strict=False): a callable made once per kind that
// takes one str and answers its compact form as a str, or raises.
//
// A framework that runs a validator per value (pydantic's after-validators)
// calls it straight, with no Python function in between: the text goes to the
// core as it is, and on success the answer is the compact form, the input
// object itself when it is already compact. On failure the object calls
// `error(kind, code)` (a Python callable given once, when it is made) and
// raises the exception that answers, so that the framework sees its own kind
// of error; the callable runs only then.
#include "python/batch/compact.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "core/kinds.hpp"
#include "core/types.hpp"
#include "python/batch/kinds.hpp"
#include "python/convert.hpp"
#include "python/errors.hpp"

namespace cobalis::batch {
namespace {

// What a kind's normaliser makes of each byte: drops it (a separator),
// folds it (a lower-case letter) or keeps it. The compact form of a valid
// text is its normal form. Every kind that drops separators folds lower-case
// letters too, or refuses them (so no valid text holds one); the kind that
// drops nothing (e-mail) keeps its input as it is.
struct NormalBytes {
    std::array<bool, 256> dropped{};
    std::array<bool, 256> folded{};

    // Whether the text is its own normal form.
    bool unchanged(std::string_view text) const noexcept {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (dropped[byte] || folded[byte]) return false;
        }
        return true;
    }

    // The normal form of `text`, into `out` of `capacity` bytes; its length,
    // or none when it does not fit (no valid text's normal form is so long).
    std::optional<std::size_t> normalise(std::string_view text, char* out, std::size_t capacity) const noexcept {
        std::size_t n = 0;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (dropped[byte]) continue;
            if (n == capacity) return std::nullopt;
            out[n++] = folded[byte] ? static_cast<char>(c - 'a' + 'A') : c;
        }
        return n;
    }
};

NormalBytes normal_bytes_of(std::string_view name) noexcept {
    NormalBytes bytes;
    for (const kinds::Kind& kind : kinds::KINDS) {
        if (kind.name != name || kind.separators.empty()) continue;
        for (const char c : kind.separators) bytes.dropped[static_cast<unsigned char>(c)] = true;
        for (char c = 'a'; c <= 'z'; ++c) bytes.folded[static_cast<unsigned char>(c)] = true;
    }
    return bytes;
}

struct CompactObject {
    PyObject_HEAD
    const Kind* kind;
    // What the kind's normaliser makes of each byte of a valid text.
    NormalBytes normal_bytes;
    PyObject* name;   // the kind's name, as given to `error`
    PyObject* error;  // error(kind, code) -> the exception to raise
    bool strict;
};

PyTypeObject* compact_type = nullptr;

using python::new_text;

CompactObject* as_compact(PyObject* self) noexcept { return reinterpret_cast<CompactObject*>(self); }

PyObject* compact_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    static const char* keywords[] = {"kind", "error", "strict", nullptr};
    PyObject* name = nullptr;
    PyObject* error = nullptr;
    int strict = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "UO|$p:Compact", const_cast<char**>(keywords), &name, &error,
                                     &strict)) {
        return nullptr;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &size);
    if (text == nullptr) return nullptr;
    const Kind* kind = find_kind({text, static_cast<std::size_t>(size)}, strict != 0);
    if (kind == nullptr || kind->validate == nullptr) {
        // The check-digit algorithms answer only is_valid: they have no compact form.
        return PyErr_Format(PyExc_ValueError, "Compact: %R is not an identifier kind", name);
    }
    if (PyCallable_Check(error) == 0) {
        return PyErr_Format(PyExc_TypeError, "Compact: error must be callable, not %R", error);
    }
    PyObject* self = PyType_GenericAlloc(type, 0);
    if (self == nullptr) return nullptr;
    // An exact str, so that what `error` receives is always the same object.
    PyObject* own_name = new_text({text, static_cast<std::size_t>(size)});
    if (own_name == nullptr) {
        Py_DECREF(self);
        return nullptr;
    }
    CompactObject* compact = as_compact(self);
    compact->kind = kind;
    compact->normal_bytes = normal_bytes_of(kind->name);
    compact->name = own_name;
    compact->error = Py_NewRef(error);
    compact->strict = strict != 0;
    return self;
}

int compact_traverse(PyObject* self, visitproc visit, void* arg) noexcept {
    Py_VISIT(as_compact(self)->error);
    Py_VISIT(Py_TYPE(self));
    return 0;
}

int compact_clear(PyObject* self) noexcept {
    Py_CLEAR(as_compact(self)->error);
    return 0;
}

void compact_dealloc(PyObject* self) noexcept {
    PyObject_GC_UnTrack(self);
    compact_clear(self);
    Py_CLEAR(as_compact(self)->name);
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

// Raises what error(kind, code) answers; answers null.
std::nullptr_t raise_invalid(CompactObject* self, ErrorCode code) noexcept {
    if (self->error == nullptr) {  // cleared by the collector while still reachable
        PyErr_SetString(PyExc_RuntimeError, "Compact: the error factory is gone");
        return nullptr;
    }
    PyObject* exception = PyObject_CallFunctionObjArgs(self->error, self->name, python::error_object(code), nullptr);
    if (exception == nullptr) return nullptr;
    if (PyExceptionInstance_Check(exception)) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception)), exception);
    } else {
        PyErr_Format(PyExc_TypeError, "Compact: error(kind, code) must return an exception, not %R", exception);
    }
    Py_DECREF(exception);
    return nullptr;
}

enum class Form : bool { compact, formatted };

// The compact or display form of `text`, or null with an exception set.
PyObject* answer(CompactObject* self, PyObject* text, Form form) noexcept {
    if (!PyUnicode_Check(text)) return python::raise_type_error(text, "Compact(%R) takes a str, not %U", self->name);
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text, &size);
    if (bytes == nullptr) return nullptr;
    const std::string_view input(bytes, static_cast<std::size_t>(size));
    // The compact form of a valid text is its normal form: the fast path and
    // the normaliser's bytes make it without the full result. Most values
    // arrive compact already, and are answered as they are.
    if (form == Form::compact && self->kind->is_valid(input)) {
        if (self->normal_bytes.unchanged(input)) return PyUnicode_CheckExact(text) ? Py_NewRef(text) : new_text(input);
        std::array<char, InlineString::CAPACITY> normal;
        if (const auto n = self->normal_bytes.normalise(input, normal.data(), normal.size())) {
            return new_text({normal.data(), *n});
        }
    }
    const ValidationResult result = self->kind->validate(input);
    if (!result.is_valid) return raise_invalid(self, result.error.value_or(ErrorCode::UnknownFormat));
    const std::string_view out = form == Form::compact ? result.compact.view() : result.formatted.view();
    // Text that is already in the wanted form is answered as it is (when it
    // is a plain str): most values arrive that way, and nothing is copied.
    if (out == input && PyUnicode_CheckExact(text)) return Py_NewRef(text);
    return new_text(out);
}

PyObject* compact_call(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    if (PyTuple_Size(args) != 1 || (kwargs != nullptr && PyDict_Size(kwargs) != 0)) {
        return PyErr_Format(PyExc_TypeError, "Compact(%R) takes exactly one positional argument",
                            as_compact(self)->name);
    }
    return answer(as_compact(self), PyTuple_GetItem(args, 0), Form::compact);
}

PyObject* compact_compact(PyObject* self, PyObject* text) noexcept {
    return answer(as_compact(self), text, Form::compact);
}

PyObject* compact_formatted(PyObject* self, PyObject* text) noexcept {
    return answer(as_compact(self), text, Form::formatted);
}

PyObject* compact_repr(PyObject* self) noexcept {
    return PyUnicode_FromFormat("_cobalis_batch.Compact(%R%s)", as_compact(self)->name,
                                as_compact(self)->strict ? ", strict=True" : "");
}

PyObject* get_kind(PyObject* self, void*) noexcept { return Py_NewRef(as_compact(self)->name); }

PyObject* get_strict(PyObject* self, void*) noexcept { return PyBool_FromLong(as_compact(self)->strict ? 1 : 0); }

PyMethodDef compact_methods[] = {
    // The same as a call, as a method: a bound built-in method is called
    // through vectorcall, with no tuple made for its argument, which the
    // limited API offers no type of our own.
    {"compact", compact_compact, METH_O,
     "compact(text, /)\n--\n\n"
     "The compact form of a valid `text`, as a call answers it; the quicker to call of the two."},
    {"formatted", compact_formatted, METH_O,
     "formatted(text, /)\n--\n\n"
     "The display form of a valid `text` (as validate's \"formatted\"); raises as a call does when it is invalid."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef compact_getset[] = {
    {"kind", get_kind, nullptr, "The kind's name.", nullptr},
    {"strict", get_strict, nullptr, "Whether the kind's national rules are checked too (cobalis.strict).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot compact_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(compact_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(compact_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(compact_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(compact_clear)},
    {Py_tp_call, reinterpret_cast<void*>(compact_call)},
    {Py_tp_repr, reinterpret_cast<void*>(compact_repr)},
    {Py_tp_methods, compact_methods},
    {Py_tp_getset, compact_getset},
    {Py_tp_doc, const_cast<char*>(
                    "Compact(kind, error, *, strict=False)\n--\n\n"
                    "A validator of one identifier kind (strict: with the national rules of cobalis.strict). "
                    "Called with a str, it answers the compact form of a valid identifier as a str; for an "
                    "invalid one it raises the exception that error(kind, code) returns, with code one of "
                    "the error codes of validate.")},
    {0, nullptr},
};

PyType_Spec compact_spec = {
    "_cobalis_batch.Compact",
    sizeof(CompactObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_IMMUTABLETYPE,
    compact_slots,
};

}  // namespace

bool add_compact_type(PyObject* module) noexcept {
    if (!python::init_strings()) return false;
    if (compact_type == nullptr) {
        compact_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&compact_spec));
        if (compact_type == nullptr) return false;
    }
    return PyModule_AddObjectRef(module, "Compact", reinterpret_cast<PyObject*>(compact_type)) == 0;
}

}  // namespace cobalis::batch
