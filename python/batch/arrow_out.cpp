#include "python/batch/arrow_out.hpp"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "python/batch/arrow_abi.hpp"
#include "python/batch/call.hpp"
#include "python/batch/column_export.hpp"
#include "python/batch/strings_in.hpp"

namespace cobalis::batch {
namespace {

using arrow::ArrowArray;
using arrow::ArrowArrayStream;
using arrow::ArrowSchema;

struct ResultObject {
    PyObject_HEAD
    std::shared_ptr<const Column>* column;
};

PyTypeObject* batch_result_type = nullptr;

const std::shared_ptr<const Column>& column_of(PyObject* self) noexcept {
    return *reinterpret_cast<ResultObject*>(self)->column;
}

void result_dealloc(PyObject* self) noexcept {
    delete reinterpret_cast<ResultObject*>(self)->column;
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

// Capsule destructors: release the struct unless a consumer took it over.
template <class Struct>
void free_capsule(PyObject* capsule, const char* name) noexcept {
    auto* exported = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (exported == nullptr) return;
    if (exported->release != nullptr) exported->release(exported);
    delete exported;
}
void free_schema_capsule(PyObject* c) noexcept { free_capsule<ArrowSchema>(c, arrow::SCHEMA_CAPSULE); }
void free_array_capsule(PyObject* c) noexcept { free_capsule<ArrowArray>(c, arrow::ARRAY_CAPSULE); }
void free_stream_capsule(PyObject* c) noexcept { free_capsule<ArrowArrayStream>(c, arrow::STREAM_CAPSULE); }

// A new capsule holding a fresh export made by `fill`.
template <class Struct, class Fill>
PyObject* new_capsule(const char* name, PyCapsule_Destructor destructor, Fill fill) noexcept {
    try {
        auto exported = std::make_unique<Struct>();
        fill(exported.get());
        PyObject* capsule = PyCapsule_New(exported.get(), name, destructor);
        if (capsule == nullptr) {
            exported->release(exported.get());
            return nullptr;
        }
        (void)exported.release();
        return capsule;
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    }
}

PyObject* schema_capsule(PyObject* self) noexcept {
    return new_capsule<ArrowSchema>(arrow::SCHEMA_CAPSULE, free_schema_capsule,
                                    [self](ArrowSchema* out) { export_schema(*column_of(self), out); });
}

bool ignore_requested_schema(PyObject* args, PyObject* kwargs, const char* format) noexcept {
    // The answer has one type; a consumer that wants another casts it.
    static const char* keywords[] = {"requested_schema", nullptr};
    PyObject* requested = nullptr;
    return PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &requested) != 0;
}

PyObject* result_arrow_c_schema(PyObject* self, PyObject*) noexcept { return schema_capsule(self); }

PyObject* result_arrow_c_array(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    if (!ignore_requested_schema(args, kwargs, "|O:__arrow_c_array__")) return nullptr;
    PyObject* schema = schema_capsule(self);
    if (schema == nullptr) return nullptr;
    PyObject* array = new_capsule<ArrowArray>(arrow::ARRAY_CAPSULE, free_array_capsule,
                                              [self](ArrowArray* out) { export_array(column_of(self), out); });
    if (array == nullptr) {
        Py_DECREF(schema);
        return nullptr;
    }
    PyObject* pair = PyTuple_Pack(2, schema, array);
    Py_DECREF(schema);
    Py_DECREF(array);
    return pair;
}

PyObject* result_arrow_c_stream(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    if (!ignore_requested_schema(args, kwargs, "|O:__arrow_c_stream__")) return nullptr;
    return new_capsule<ArrowArrayStream>(arrow::STREAM_CAPSULE, free_stream_capsule, [self](ArrowArrayStream* out) {
        export_stream(column_of(self), out);
    });
}

Py_ssize_t result_length(PyObject* self) noexcept { return static_cast<Py_ssize_t>(column_of(self)->length); }

// One row of an answer column as a Python value: bool, str, a dict of a
// struct's fields by name, None where null. The columns made here start at
// buffer row 0.
PyObject* cell(const Column& column, std::int64_t row) noexcept {
    const auto* validity = static_cast<const std::uint8_t*>(column.buffers.empty() ? nullptr : column.buffers[0]);
    if (validity != nullptr && !detail::bit(validity, row)) return Py_NewRef(Py_None);
    const std::string_view format = column.format;
    if (format == "b") {
        return PyBool_FromLong(detail::bit(static_cast<const std::uint8_t*>(column.buffers[1]), row));
    }
    if (format == "u" || format == "U") {
        std::int64_t begin = 0, end = 0;
        if (format == "u") {
            const auto* offsets = static_cast<const std::int32_t*>(column.buffers[1]);
            begin = offsets[row];
            end = offsets[row + 1];
        } else {
            const auto* offsets = static_cast<const std::int64_t*>(column.buffers[1]);
            begin = offsets[row];
            end = offsets[row + 1];
        }
        return PyUnicode_DecodeUTF8(static_cast<const char*>(column.buffers[2]) + begin,
                                    static_cast<Py_ssize_t>(end - begin), "strict");
    }
    PyObject* fields = PyDict_New();  // a struct: the row of validate
    for (const auto& child : column.children) {
        if (fields == nullptr) break;
        PyObject* value = cell(*child, row);
        if (value == nullptr || PyDict_SetItemString(fields, child->name, value) != 0) Py_CLEAR(fields);
        Py_XDECREF(value);
    }
    return fields;
}

PyObject* result_item(PyObject* self, Py_ssize_t index) noexcept {
    const Column& column = *column_of(self);
    if (index < 0 || index >= column.length) {
        PyErr_SetString(PyExc_IndexError, "batch answer index out of range");
        return nullptr;
    }
    return cell(column, index);
}

// An iterator is what makes the answer list-like to libraries that store a
// sequence row by row (and anything else as one value in every row).
PyObject* result_iter(PyObject* self) noexcept { return PySeqIter_New(self); }

// Pickled as the pyarrow array of the same rows, which is what comes back.
PyObject* result_reduce(PyObject* self, PyObject*) noexcept {
    PyObject* pyarrow = PyImport_ImportModule("pyarrow");
    if (pyarrow == nullptr) return nullptr;
    PyObject* array = PyObject_CallMethod(pyarrow, "array", "O", self);
    Py_DECREF(pyarrow);
    if (array == nullptr) return nullptr;
    PyObject* reduced = PyObject_CallMethod(array, "__reduce__", nullptr);
    Py_DECREF(array);
    return reduced;
}

PyObject* result_repr(PyObject* self) noexcept {
    try {
        ArrowSchema schema{};
        export_schema(*column_of(self), &schema);
        const std::string type = describe_type(schema);
        schema.release(&schema);
        return PyUnicode_FromFormat("<cobalis batch answer: %zd rows of %s>", result_length(self), type.c_str());
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    }
}

PyMethodDef result_methods[] = {
    {"__arrow_c_schema__", result_arrow_c_schema, METH_NOARGS,
     "__arrow_c_schema__($self, /)\n--\n\nThe answer's Arrow type, as an \"arrow_schema\" capsule."},
    {"__arrow_c_array__", as_cfunction(result_arrow_c_array), METH_VARARGS | METH_KEYWORDS,
     "__arrow_c_array__($self, /, requested_schema=None)\n--\n\n"
     "The answer as one Arrow array: a pair of \"arrow_schema\" and \"arrow_array\" capsules."},
    {"__arrow_c_stream__", as_cfunction(result_arrow_c_stream), METH_VARARGS | METH_KEYWORDS,
     "__arrow_c_stream__($self, /, requested_schema=None)\n--\n\n"
     "The answer as an \"arrow_array_stream\" capsule of one array."},
    {"__reduce__", result_reduce, METH_NOARGS,
     "__reduce__($self, /)\n--\n\nPickles the answer as a pyarrow array of its rows (pyarrow is needed)."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot result_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(result_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(result_repr)},
    {Py_sq_length, reinterpret_cast<void*>(result_length)},
    {Py_sq_item, reinterpret_cast<void*>(result_item)},
    {Py_tp_iter, reinterpret_cast<void*>(result_iter)},
    {Py_tp_methods, result_methods},
    {Py_tp_doc, const_cast<char*>(
                    "The answers of cobalis.is_valid or cobalis.validate for an Arrow column: an Arrow column "
                    "itself, exported through the Arrow PyCapsule interface (pyarrow.array(answer), "
                    "polars.Series(answer), polars.DataFrame(answer)), and a sequence of its rows as Python values "
                    "(bool, or a dict of the four results of validate; None where missing). Pickled, it comes back "
                    "as pyarrow.array(answer).")},
    {0, nullptr},
};

PyType_Spec result_spec = {
    "_cobalis_batch.BatchResult",
    sizeof(ResultObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    result_slots,
};

}  // namespace

PyTypeObject* result_type() noexcept {
    if (batch_result_type == nullptr) {
        batch_result_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&result_spec));
    }
    return batch_result_type;
}

PyObject* new_result(std::shared_ptr<const Column> column) noexcept {
    auto* holder = new (std::nothrow) std::shared_ptr<const Column>(std::move(column));
    if (holder == nullptr) return PyErr_NoMemory();
    PyObject* self = PyType_GenericAlloc(batch_result_type, 0);
    if (self == nullptr) {
        delete holder;
        return nullptr;
    }
    reinterpret_cast<ResultObject*>(self)->column = holder;
    return self;
}

}  // namespace cobalis::batch
