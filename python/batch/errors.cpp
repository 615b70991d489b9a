#include "python/batch/errors.hpp"

#include "python/errors.hpp"

namespace cobalis::batch {

PyObject* raise_wrong_values(Operation op, PyObject* values) noexcept {
    return python::raise_type_error(values,
                                    "cobalis.%s takes an Arrow column (an object with __arrow_c_stream__ or "
                                    "__arrow_c_array__) or an iterable of str and None, not %U",
                                    name_of(op));
}

PyObject* raise_wrong_item(Operation op, PyObject* item, Py_ssize_t index) noexcept {
    return python::raise_type_error(item, "cobalis.%s: values[%zd] is %U, not str or None", name_of(op), index);
}

std::nullptr_t wrong_type(Operation op, const char* what, PyObject* value) noexcept {
    return python::raise_type_error(value, "cobalis.%s: %s, not %U", name_of(op), what);
}

}  // namespace cobalis::batch
