#include "python/batch/strings.hpp"

#include <array>

namespace cobalis::batch {
namespace {

// Keys of the dictionaries of validate, and the error texts, made once.
std::array<PyObject*, 4> result_keys{};  // is_valid, error, compact, formatted
std::array<PyObject*, ERROR_CODE_COUNT> error_texts{};

}  // namespace

bool init_strings() noexcept {
    constexpr std::array<const char*, 4> KEYS{"is_valid", "error", "compact", "formatted"};
    for (std::size_t i = 0; i < KEYS.size(); ++i) {
        if (result_keys[i] == nullptr && (result_keys[i] = PyUnicode_InternFromString(KEYS[i])) == nullptr) {
            return false;
        }
    }
    for (std::size_t i = 0; i < ERROR_CODE_COUNT; ++i) {
        if (error_texts[i] != nullptr) continue;
        error_texts[i] = PyUnicode_InternFromString(error_text(static_cast<ErrorCode>(i)).data());
        if (error_texts[i] == nullptr) return false;
    }
    return true;
}

PyObject* new_text(std::string_view text) noexcept {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* result_dict(const ValidationResult& result) noexcept {
    PyObject* dict = PyDict_New();
    if (dict == nullptr) return nullptr;
    PyObject* compact = new_text(result.compact.view());
    PyObject* formatted = compact == nullptr ? nullptr : new_text(result.formatted.view());
    PyObject* error = result.error ? error_texts[static_cast<std::size_t>(*result.error)] : Py_None;
    const bool ok = formatted != nullptr &&
                    PyDict_SetItem(dict, result_keys[0], result.is_valid ? Py_True : Py_False) == 0 &&
                    PyDict_SetItem(dict, result_keys[1], error) == 0 &&
                    PyDict_SetItem(dict, result_keys[2], compact) == 0 &&
                    PyDict_SetItem(dict, result_keys[3], formatted) == 0;
    Py_XDECREF(compact);
    Py_XDECREF(formatted);
    if (!ok) {
        Py_DECREF(dict);
        return nullptr;
    }
    return dict;
}

PyObject* raise_wrong_values(Operation op, PyObject* values) noexcept {
    PyObject* type_name = PyType_GetQualName(Py_TYPE(values));
    if (type_name == nullptr) return nullptr;
    PyErr_Format(PyExc_TypeError,
                 "cobalis.%s takes an Arrow column (an object with __arrow_c_stream__ or __arrow_c_array__) "
                 "or an iterable of str and None, not %U",
                 name_of(op), type_name);
    Py_DECREF(type_name);
    return nullptr;
}

PyObject* raise_wrong_item(Operation op, PyObject* item, Py_ssize_t index) noexcept {
    PyObject* type_name = PyType_GetQualName(Py_TYPE(item));
    if (type_name == nullptr) return nullptr;
    PyErr_Format(PyExc_TypeError, "cobalis.%s: values[%zd] is %U, not str or None", name_of(op), index,
                 type_name);
    Py_DECREF(type_name);
    return nullptr;
}

std::nullptr_t wrong_type(Operation op, const char* what, PyObject* value) noexcept {
    PyObject* type_name = PyType_GetQualName(Py_TYPE(value));
    if (type_name != nullptr) {
        PyErr_Format(PyExc_TypeError, "cobalis.%s: %s, not %U", name_of(op), what, type_name);
        Py_DECREF(type_name);
    }
    return nullptr;
}

}  // namespace cobalis::batch
