// The _cobalis_batch extension module: whole columns of text checked in one
// call.
//
// A column that exports the Arrow PyCapsule interface is read straight from
// its buffers, chunk by chunk, with the interpreter lock released while the
// rows are checked; the answer is a new Arrow column handed out through the
// same interface. A plain iterable of str and None is answered with a list.
#include <Python.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "python/batch/arrow_abi.hpp"
#include "python/batch/column.hpp"
#include "python/batch/compact.hpp"
#include "python/batch/kinds.hpp"
#include "python/batch/parallel.hpp"
#include "python/batch/strings_in.hpp"

namespace cobalis::batch {
namespace {

using arrow::ArrowArray;
using arrow::ArrowArrayStream;
using arrow::ArrowSchema;

enum class Operation : bool { is_valid, validate };

const char* name_of(Operation op) noexcept { return op == Operation::is_valid ? "is_valid" : "validate"; }

// Below this many rows the lock is kept: giving it up and taking it back
// costs more than checking the rows.
constexpr std::int64_t ROWS_WORTH_RELEASING = 256;

// Below this many rows a call stays on one thread: starting threads and
// joining their pieces of the answer costs more than the rows take.
constexpr std::int64_t ROWS_WORTH_SPLITTING = 16384;

// A long column is cut into this many pieces per thread, taken in turn by
// whichever thread is free, so a core that another process slows down holds
// up one small piece rather than a whole share.
constexpr std::int64_t PIECES_PER_THREAD = 4;
constexpr std::int64_t PIECE_MIN_ROWS = 4096;

// A stream is checked this many rows at a time, each window's chunks given
// back to the producer once checked, so that a long stream is never held
// whole.
constexpr std::int64_t WINDOW_ROWS = std::int64_t{1} << 20;

// ---------------------------------------------------------------------------
// Where the answers of one call go, window after window.

// Calls on_slice(chunk) for the part of each chunk of `window` that lies in
// rows [begin, end) of the window.
template <class OnSlice>
void for_each_slice(std::span<const StringChunk> window, std::int64_t begin, std::int64_t end, OnSlice on_slice) {
    std::int64_t first = 0;  // the window row of the chunk's row 0
    for (const StringChunk& chunk : window) {
        const std::int64_t from = std::max(begin, first), to = std::min(end, first + chunk.length);
        if (from < to) on_slice(slice(chunk, from - first, to - from));
        first += chunk.length;
        if (first >= end) break;
    }
}

class Answers {
public:
    virtual ~Answers() = default;
    // Checks every row of `window`, `rows` in all, on up to `threads`
    // threads. Runs without the interpreter lock; throws std::bad_alloc.
    virtual void add(std::span<const StringChunk> window, std::int64_t rows, int threads) = 0;
    // Whether finish() has pieces to join, worth giving up the lock for.
    [[nodiscard]] virtual bool joins() const noexcept = 0;
    virtual std::shared_ptr<const Column> finish(int threads) = 0;
};

template <class Builder>
class AnswersOf final : public Answers {
public:
    using Rows = void (*)(const StringChunk&, Builder&);
    explicit AnswersOf(Rows rows) noexcept : rows_(rows) {}

    void add(std::span<const StringChunk> window, std::int64_t rows, int threads) override {
        if (threads <= 1 || rows < ROWS_WORTH_SPLITTING) {
            if (pieces_.empty()) pieces_.emplace_back();
            for (const StringChunk& chunk : window) check(chunk, pieces_.back());
            return;
        }
        // Each piece gets its own builder; the pieces are joined at the end.
        const auto count = static_cast<std::size_t>(std::clamp(rows / PIECE_MIN_ROWS, std::int64_t{1},
                                                                PIECES_PER_THREAD * threads));
        const std::size_t first = pieces_.size();
        pieces_.resize(first + count);
        // A thread fills a builder on its own stack and moves it into place
        // when done: builders side by side in pieces_ share cache lines, and
        // the counts each row updates would bounce between the cores.
        const bool ok = run_tasks(count, threads, [&](std::size_t i) {
            const auto n = static_cast<std::int64_t>(count), k = static_cast<std::int64_t>(i);
            Builder piece;
            for_each_slice(window, rows * k / n, rows * (k + 1) / n,
                           [&](const StringChunk& part) { check(part, piece); });
            pieces_[first + i] = std::move(piece);
        });
        if (!ok) throw std::bad_alloc();
    }

    [[nodiscard]] bool joins() const noexcept override { return pieces_.size() > 1; }

    std::shared_ptr<const Column> finish(int threads) override {
        if (pieces_.empty()) return Builder().finish();
        if (pieces_.size() == 1) return pieces_.front().finish();
        if constexpr (std::is_same_v<Builder, ResultColumnsBuilder>) {
            return Builder::join(pieces_, threads);
        } else {
            return Builder::join(pieces_);
        }
    }

private:
    void check(const StringChunk& chunk, Builder& out) {
        if constexpr (std::is_same_v<Builder, ResultColumnsBuilder>) {
            out.reserve(chunk.length, text_bytes(chunk));
        } else {
            out.reserve(chunk.length);
        }
        rows_(chunk, out);
    }

    Rows rows_;
    std::vector<Builder> pieces_;
};

// ---------------------------------------------------------------------------
// The answer object: an Arrow column exported on demand, as often as asked.

struct ResultObject {
    PyObject_HEAD
    std::shared_ptr<const Column>* column;
};

PyTypeObject* result_type = nullptr;

const std::shared_ptr<const Column>& column_of(PyObject* self) noexcept {
    return *reinterpret_cast<ResultObject*>(self)->column;
}

PyObject* new_result(std::shared_ptr<const Column> column) noexcept {
    auto* holder = new (std::nothrow) std::shared_ptr<const Column>(std::move(column));
    if (holder == nullptr) return PyErr_NoMemory();
    PyObject* self = PyType_GenericAlloc(result_type, 0);
    if (self == nullptr) {
        delete holder;
        return nullptr;
    }
    reinterpret_cast<ResultObject*>(self)->column = holder;
    return self;
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

using WithKeywords = PyObject* (*)(PyObject*, PyObject*, PyObject*);

PyCFunction as_cfunction(WithKeywords f) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
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
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot result_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(result_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(result_repr)},
    {Py_sq_length, reinterpret_cast<void*>(result_length)},
    {Py_tp_methods, result_methods},
    {Py_tp_doc, const_cast<char*>(
                    "The answers of cobalis.is_valid or cobalis.validate for an Arrow column: an Arrow column "
                    "itself, exported through the Arrow PyCapsule interface (pyarrow.array(answer), "
                    "polars.Series(answer), polars.DataFrame(answer)).")},
    {0, nullptr},
};

PyType_Spec result_spec = {
    "_cobalis_batch.BatchResult",
    sizeof(ResultObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    result_slots,
};

// ---------------------------------------------------------------------------
// Reading an Arrow column.

// An error held until everything the call took from the producer has been
// released: release callbacks may run the producer's Python code, which must
// not start with an exception pending.
struct Failure {
    PyObject* type = nullptr;  // a built-in exception type; null while nothing failed
    std::string message;
    int code = 0;  // the errno of an OSError

    explicit operator bool() const noexcept { return type != nullptr; }

    void out_of_memory() noexcept {
        type = PyExc_MemoryError;
        message.clear();
    }

    PyObject* raise() const noexcept {
        if (type == PyExc_MemoryError && message.empty()) return PyErr_NoMemory();
        if (type != PyExc_OSError) {
            PyErr_SetString(type, message.c_str());
            return nullptr;
        }
        PyObject* error = PyObject_CallFunction(PyExc_OSError, "is", code, message.c_str());
        if (error != nullptr) {
            PyErr_SetObject(PyExc_OSError, error);
            Py_DECREF(error);
        }
        return nullptr;
    }
};

// A struct of the C data interface that is released when it goes away.
template <class Struct>
struct Owned {
    Struct value{};
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (value.release != nullptr) value.release(&value);
    }
};

bool check_source(const ArrowSchema& schema, Source& source, Operation op, Failure& failure) {
    if (read_source(schema, source)) return true;
    failure.type = PyExc_TypeError;
    failure.message = std::string("cobalis.") + name_of(op) + " needs a column of strings, not " + describe_type(schema);
    return false;
}

// Adds the rows of `array` to the window, or fails saying what is wrong with
// the array.
bool take_chunk(const ArrowArray& array, const Source& source, std::vector<StringChunk>& window, std::int64_t& rows,
                Failure& failure) {
    StringChunk chunk;
    const char* problem = "";
    if (!read_chunk(array, source, chunk, problem)) {
        failure.type = PyExc_ValueError;
        failure.message = std::string("malformed Arrow array: ") + problem;
        return false;
    }
    window.push_back(chunk);
    rows += chunk.length;
    return true;
}

// Runs `work` (which throws only std::bad_alloc) without the interpreter
// lock when `worth_it`.
template <class Work>
bool unlocked_if(bool worth_it, Work work, Failure& failure) noexcept {
    bool ok = true;
    auto run = [&]() noexcept {
        try {
            work();
        } catch (...) {
            ok = false;  // growing a buffer is the only thing that can fail
        }
    };
    if (worth_it) {
        Py_BEGIN_ALLOW_THREADS
        run();
        Py_END_ALLOW_THREADS
    } else {
        run();
    }
    if (!ok) failure.out_of_memory();
    return ok;
}

bool check_window(std::span<const StringChunk> window, std::int64_t rows, Answers& answers, int threads,
                  Failure& failure) {
    return unlocked_if(rows >= ROWS_WORTH_RELEASING, [&] { answers.add(window, rows, threads); }, failure);
}

std::shared_ptr<const Column> finish(Answers& answers, int threads, Failure& failure) {
    std::shared_ptr<const Column> column;
    unlocked_if(answers.joins(), [&] { column = answers.finish(threads); }, failure);
    return column;
}

// A failure the producer reported through its stream, with its own message.
void stream_failed(ArrowArrayStream* stream, int code, Failure& failure) {
    const char* message = stream->get_last_error != nullptr ? stream->get_last_error(stream) : nullptr;
    failure.message = message != nullptr ? message : "the Arrow stream failed without a message";
    switch (code) {
    case ENOMEM:
        failure.type = PyExc_MemoryError;
        break;
    case EINVAL:
        failure.type = PyExc_ValueError;
        break;
    case ENOSYS:
        failure.type = PyExc_NotImplementedError;
        break;
    default:
        failure.type = PyExc_OSError;
        failure.code = code;
    }
}

std::shared_ptr<const Column> read_stream(PyObject* capsule, Answers& answers, int threads, Operation op,
                                          Failure& failure) {
    if (!PyCapsule_IsValid(capsule, arrow::STREAM_CAPSULE)) {
        failure = {PyExc_TypeError, "__arrow_c_stream__() must return an \"arrow_array_stream\" capsule"};
        return nullptr;
    }
    // The stream itself stays in its capsule, whose destructor releases it.
    auto* stream = static_cast<ArrowArrayStream*>(PyCapsule_GetPointer(capsule, arrow::STREAM_CAPSULE));
    if (stream->release == nullptr) {
        failure = {PyExc_ValueError, "the Arrow stream has already been consumed"};
        return nullptr;
    }
    Owned<ArrowSchema> schema;
    if (const int code = stream->get_schema(stream, &schema.value); code != 0) {
        stream_failed(stream, code, failure);
        return nullptr;
    }
    Source source;
    if (!check_source(schema.value, source, op, failure)) return nullptr;
    for (bool ended = false; !ended;) {
        // The arrays of one window, released (with the lock held: their
        // release callbacks may run the producer's Python code) once checked.
        std::deque<Owned<ArrowArray>> arrays;
        std::vector<StringChunk> window;
        std::int64_t rows = 0;
        while (rows < WINDOW_ROWS) {
            ArrowArray& array = arrays.emplace_back().value;
            if (const int code = stream->get_next(stream, &array); code != 0) {
                stream_failed(stream, code, failure);
                return nullptr;
            }
            if (array.release == nullptr) {  // the end
                ended = true;
                break;
            }
            if (!take_chunk(array, source, window, rows, failure)) return nullptr;
        }
        if (!check_window(window, rows, answers, threads, failure)) return nullptr;
    }
    return finish(answers, threads, failure);
}

std::shared_ptr<const Column> read_array(PyObject* pair, Answers& answers, int threads, Operation op,
                                         Failure& failure) {
    if (!PyTuple_Check(pair) || PyTuple_Size(pair) != 2 ||
        !PyCapsule_IsValid(PyTuple_GetItem(pair, 0), arrow::SCHEMA_CAPSULE) ||
        !PyCapsule_IsValid(PyTuple_GetItem(pair, 1), arrow::ARRAY_CAPSULE)) {
        failure = {PyExc_TypeError,
                   "__arrow_c_array__() must return a pair of \"arrow_schema\" and \"arrow_array\" capsules"};
        return nullptr;
    }
    // Both stay in their capsules, whose destructors release them.
    auto* schema = static_cast<ArrowSchema*>(PyCapsule_GetPointer(PyTuple_GetItem(pair, 0), arrow::SCHEMA_CAPSULE));
    auto* array = static_cast<ArrowArray*>(PyCapsule_GetPointer(PyTuple_GetItem(pair, 1), arrow::ARRAY_CAPSULE));
    if (schema->release == nullptr || array->release == nullptr) {
        failure = {PyExc_ValueError, "the Arrow array has already been consumed"};
        return nullptr;
    }
    Source source;
    std::vector<StringChunk> window;
    std::int64_t rows = 0;
    if (!check_source(*schema, source, op, failure) || !take_chunk(*array, source, window, rows, failure) ||
        !check_window(window, rows, answers, threads, failure)) {
        return nullptr;
    }
    return finish(answers, threads, failure);
}

// Answers the column that `exported` (what __arrow_c_stream__ or
// __arrow_c_array__ returned) holds, then drops `exported`, so that the
// producer has released everything before any error is raised.
// The account of this thread's last call on an Arrow column, for the benchmark.
struct LastCall {
    std::int64_t rows = 0;
    int threads = 0;
    std::int64_t nanoseconds = 0;           // from the column's export to the answer
    std::int64_t parallel_nanoseconds = 0;  // of which the threads were at work
};
thread_local LastCall last_call;

PyObject* answer_arrow(PyObject* exported, bool is_stream, const Kind& kind, Operation op, int threads) noexcept {
    const auto start = std::chrono::steady_clock::now();
    (void)take_parallel_nanoseconds();
    Failure failure;
    std::shared_ptr<const Column> column;
    try {
        if (threads == 0) threads = usable_cores();
        AnswersOf<BoolColumnBuilder> is_valid_answers(kind.is_valid_rows);
        AnswersOf<ResultColumnsBuilder> validate_answers(kind.validate_rows);
        Answers& answers = op == Operation::is_valid ? static_cast<Answers&>(is_valid_answers) : validate_answers;
        column = is_stream ? read_stream(exported, answers, threads, op, failure)
                           : read_array(exported, answers, threads, op, failure);
    } catch (const std::bad_alloc&) {
        failure.out_of_memory();
    }
    Py_DECREF(exported);
    if (failure) return failure.raise();
    PyObject* result = new_result(column);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    last_call = {column->length, threads, std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count(),
                 take_parallel_nanoseconds()};
    return result;
}

// Calls values.<method>() when values has it. Answers false with an
// exception set on failure; `result` stays null when there is no such method.
bool call_if_present(PyObject* values, const char* method, PyObject*& result) noexcept {
    result = nullptr;
    PyObject* bound = PyObject_GetAttrString(values, method);
    if (bound == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        return true;
    }
    result = PyObject_CallNoArgs(bound);
    Py_DECREF(bound);
    return result != nullptr;
}

// ---------------------------------------------------------------------------
// Plain Python values.

// Keys of the dictionaries of validate, and the error texts, made once.
std::array<PyObject*, 4> result_keys{};  // is_valid, error, compact, formatted
std::array<PyObject*, ERROR_CODE_COUNT> error_texts{};

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

// The row of validate as a dict: is_valid, error, compact, formatted.
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

PyObject* answer_one(const Kind& kind, Operation op, PyObject* item, Py_ssize_t index) noexcept {
    if (item == Py_None) return Py_NewRef(Py_None);
    if (!PyUnicode_Check(item)) {
        PyObject* type_name = PyType_GetQualName(Py_TYPE(item));
        if (type_name == nullptr) return nullptr;
        PyErr_Format(PyExc_TypeError, "cobalis.%s: values[%zd] is %U, not str or None", name_of(op), index,
                     type_name);
        Py_DECREF(type_name);
        return nullptr;
    }
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(item, &size);
    if (bytes == nullptr) return nullptr;
    const std::string_view text(bytes, static_cast<std::size_t>(size));
    if (op == Operation::is_valid) return Py_NewRef(kind.is_valid(text) ? Py_True : Py_False);
    return result_dict(kind.validate(text));
}

PyObject* from_iterable(const Kind& kind, Operation op, PyObject* values) noexcept {
    // Text is iterable too, but a column of one-character strings is never meant.
    if (PyUnicode_Check(values) || PyBytes_Check(values) || PyByteArray_Check(values)) {
        return raise_wrong_values(op, values);
    }
    PyObject* iterator = PyObject_GetIter(values);
    if (iterator == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) return nullptr;
        PyErr_Clear();
        return raise_wrong_values(op, values);
    }
    PyObject* answers = PyList_New(0);
    Py_ssize_t index = 0;
    while (answers != nullptr) {
        PyObject* item = PyIter_Next(iterator);
        if (item == nullptr) break;
        PyObject* answer = answer_one(kind, op, item, index++);
        Py_DECREF(item);
        if (answer == nullptr || PyList_Append(answers, answer) != 0) Py_CLEAR(answers);
        Py_XDECREF(answer);
    }
    Py_DECREF(iterator);
    if (answers != nullptr && PyErr_Occurred()) Py_CLEAR(answers);
    return answers;
}

// ---------------------------------------------------------------------------
// The module's functions.

std::string kind_list(Operation op) {
    std::string out;
    for (const Kind& kind : kinds()) {
        if (op == Operation::validate && kind.validate == nullptr) continue;
        if (!out.empty()) out += ", ";
        out += kind.name;
    }
    return out;
}

// Raises TypeError "cobalis.<op>: <what>, not <the value's type>"; answers null.
std::nullptr_t wrong_type(Operation op, const char* what, PyObject* value) noexcept {
    PyObject* type_name = PyType_GetQualName(Py_TYPE(value));
    if (type_name != nullptr) {
        PyErr_Format(PyExc_TypeError, "cobalis.%s: %s, not %U", name_of(op), what, type_name);
        Py_DECREF(type_name);
    }
    return nullptr;
}

const Kind* kind_of(PyObject* name, Operation op, bool strict) noexcept {
    if (!PyUnicode_Check(name)) return wrong_type(op, "kind must be a str", name);
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &size);
    if (text == nullptr) return nullptr;
    const Kind* kind = find_kind({text, static_cast<std::size_t>(size)}, strict);
    if (kind != nullptr && (op == Operation::is_valid || kind->validate != nullptr)) return kind;
    try {
        const std::string expected = kind_list(op);
        if (kind != nullptr) {
            PyErr_Format(PyExc_ValueError, "cobalis.validate: %R is a check-digit algorithm for is_valid only; "
                         "kinds for validate: %s", name, expected.c_str());
        } else {
            PyErr_Format(PyExc_ValueError, "cobalis.%s: unknown kind %R; kinds: %s", name_of(op), name,
                         expected.c_str());
        }
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    }
    return nullptr;
}

// The `threads` argument: None (0 here: every core the process may use) or
// a count of at least 1. Answers false with an exception set otherwise.
bool threads_of(PyObject* value, Operation op, int& threads) noexcept {
    constexpr long MOST = 1024;  // more than any machine has cores; keeps the count an int
    threads = 0;
    if (value == nullptr || value == Py_None) return true;
    if (!PyLong_Check(value) || PyBool_Check(value)) {
        wrong_type(op, "threads must be None or an int", value);
        return false;
    }
    int overflow = 0;
    const long count = PyLong_AsLongAndOverflow(value, &overflow);
    if (count == -1 && PyErr_Occurred()) return false;
    if (overflow < 0 || (overflow == 0 && count < 1)) {
        PyErr_Format(PyExc_ValueError, "cobalis.%s: threads must be at least 1, not %R", name_of(op), value);
        return false;
    }
    threads = overflow > 0 ? MOST : static_cast<int>(std::min(count, MOST));
    return true;
}

PyObject* run(Operation op, PyObject* args, PyObject* kwargs) noexcept {
    static const char* keywords[] = {"kind", "values", "strict", "threads", nullptr};
    PyObject* kind_name = nullptr;
    PyObject* values = nullptr;
    int strict = 0;
    PyObject* thread_count = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, op == Operation::is_valid ? "OO|$pO:is_valid" : "OO|$pO:validate",
                                     const_cast<char**>(keywords), &kind_name, &values, &strict, &thread_count)) {
        return nullptr;
    }
    const Kind* kind = kind_of(kind_name, op, strict != 0);
    int threads = 0;
    if (kind == nullptr || !threads_of(thread_count, op, threads)) return nullptr;

    PyObject* exported = nullptr;
    if (!call_if_present(values, "__arrow_c_stream__", exported)) return nullptr;
    if (exported != nullptr) return answer_arrow(exported, true, *kind, op, threads);
    if (!call_if_present(values, "__arrow_c_array__", exported)) return nullptr;
    if (exported != nullptr) return answer_arrow(exported, false, *kind, op, threads);
    return from_iterable(*kind, op, values);
}

PyObject* is_valid_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run(Operation::is_valid, args, kwargs);
}

PyObject* validate_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run(Operation::validate, args, kwargs);
}

PyObject* outstanding_entry(PyObject*, PyObject*) noexcept { return PyLong_FromLongLong(outstanding()); }

PyObject* last_call_entry(PyObject*, PyObject*) noexcept {
    return Py_BuildValue("{sLsisdsd}", "rows", static_cast<long long>(last_call.rows), "threads", last_call.threads,
                         "seconds", static_cast<double>(last_call.nanoseconds) * 1e-9, "parallel_seconds",
                         static_cast<double>(last_call.parallel_nanoseconds) * 1e-9);
}

PyMethodDef methods[] = {
    {"is_valid", as_cfunction(is_valid_entry), METH_VARARGS | METH_KEYWORDS,
     "is_valid(kind, values, *, strict=False, threads=None)\n--\n\n"
     "Checks every value of a column with the is_valid function of `kind` (strict: of cobalis.strict), "
     "an Arrow column on `threads` threads (None: every core the process may use)."},
    {"validate", as_cfunction(validate_entry), METH_VARARGS | METH_KEYWORDS,
     "validate(kind, values, *, strict=False, threads=None)\n--\n\n"
     "Validates every value of a column with the validate function of `kind` (strict: of cobalis.strict), "
     "an Arrow column on `threads` threads (None: every core the process may use)."},
    {"_last_call", last_call_entry, METH_NOARGS,
     "_last_call()\n--\n\n"
     "This thread's last call on an Arrow column: its rows, threads, seconds from the column's export to the "
     "answer, and of those the seconds its threads were at work (for the benchmark)."},
    {"_outstanding", outstanding_entry, METH_NOARGS,
     "_outstanding()\n--\n\n"
     "How many answer columns and exports of them are still alive (for leak checks)."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_cobalis_batch",
    "Whole columns of identifiers checked in one call; see cobalis.is_valid and cobalis.validate.",
    0,
    methods,
    nullptr, nullptr, nullptr, nullptr,
};

PyObject* kind_names(Operation op) noexcept {
    PyObject* names = PyList_New(0);
    for (const Kind& kind : kinds()) {
        if (names == nullptr) break;
        if (op == Operation::validate && kind.validate == nullptr) continue;
        PyObject* name = new_text(kind.name);
        if (name == nullptr || PyList_Append(names, name) != 0) Py_CLEAR(names);
        Py_XDECREF(name);
    }
    if (names == nullptr) return nullptr;
    PyObject* tuple = PyList_AsTuple(names);
    Py_DECREF(names);
    return tuple;
}

bool add_new(PyObject* module, const char* name, PyObject* value) noexcept {
    if (value == nullptr) return false;
    const int status = PyModule_AddObjectRef(module, name, value);
    Py_DECREF(value);
    return status == 0;
}

PyObject* initialise() noexcept {
    if (!init_strings()) return nullptr;
    if (result_type == nullptr) {
        result_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&result_spec));
        if (result_type == nullptr) return nullptr;
    }
    PyObject* module = PyModule_Create(&module_def);
    if (module == nullptr) return nullptr;
    const bool ok = PyModule_AddObjectRef(module, "BatchResult", reinterpret_cast<PyObject*>(result_type)) == 0 &&
                    add_new(module, "IS_VALID_KINDS", kind_names(Operation::is_valid)) &&
                    add_new(module, "VALIDATE_KINDS", kind_names(Operation::validate)) &&
                    add_compact_type(module);
    if (!ok) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}

}  // namespace
}  // namespace cobalis::batch

PyMODINIT_FUNC PyInit__cobalis_batch(void) { return cobalis::batch::initialise(); }
