#include "python/errors.hpp"

namespace cobalis::python {
namespace {

PyObject* internal_fault_type = nullptr;

}  // namespace

PyObject* raise_internal_fault(const char* message) noexcept {
    if (internal_fault_type == nullptr) {
        internal_fault_type = PyErr_NewExceptionWithDoc(
            "_cobalis.InternalFault", "A broken invariant inside cobalis; please report it.", PyExc_BaseException,
            nullptr);
        if (internal_fault_type == nullptr) return nullptr;
    }
    PyErr_SetString(internal_fault_type, message);
    return nullptr;
}

PyObject* type_name_of(PyObject* object) noexcept {
    PyObject* name = PyType_GetQualName(Py_TYPE(object));
    if (name != nullptr) return name;
    PyErr_Clear();
    return PyUnicode_FromString("<failed to extract type name>");
}

}  // namespace cobalis::python
