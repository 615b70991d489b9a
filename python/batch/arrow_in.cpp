#include "python/batch/arrow_in.hpp"

#include <cerrno>
#include <chrono>
#include <deque>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "python/batch/answers.hpp"
#include "python/batch/arrow_abi.hpp"
#include "python/batch/arrow_out.hpp"
#include "python/batch/parallel.hpp"
#include "python/batch/strings_in.hpp"

namespace cobalis::batch {
namespace {

using arrow::ArrowArray;
using arrow::ArrowArrayStream;
using arrow::ArrowSchema;

// Below this many rows the lock is kept: giving it up and taking it back
// costs more than checking the rows.
constexpr std::int64_t ROWS_WORTH_RELEASING = 256;

// A stream is checked this many rows at a time, each window's chunks given
// back to the producer once checked, so that a long stream is never held
// whole.
constexpr std::int64_t WINDOW_ROWS = std::int64_t{1} << 20;

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
// A dictionary column's chunks point at their dictionaries, kept in
// `dictionaries` (whose elements never move) as long as the window.
bool take_chunk(const ArrowArray& array, const Source& source, std::vector<StringChunk>& window,
                std::deque<StringChunk>& dictionaries, std::int64_t& rows, Failure& failure) {
    StringChunk chunk;
    StringChunk dictionary;
    const char* problem = "";
    if (!read_chunk(array, source, chunk, dictionary, problem)) {
        failure.type = PyExc_ValueError;
        failure.message = std::string("malformed Arrow array: ") + problem;
        return false;
    }
    if (chunk.index != Index::None) chunk.dictionary = &dictionaries.emplace_back(dictionary);
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
        std::deque<StringChunk> dictionaries;
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
            if (!take_chunk(array, source, window, dictionaries, rows, failure)) return nullptr;
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
    std::deque<StringChunk> dictionaries;
    std::int64_t rows = 0;
    if (!check_source(*schema, source, op, failure) ||
        !take_chunk(*array, source, window, dictionaries, rows, failure) ||
        !check_window(window, rows, answers, threads, failure)) {
        return nullptr;
    }
    return finish(answers, threads, failure);
}

thread_local LastCall latest_call;

}  // namespace

PyObject* answer_arrow(PyObject* exported, bool is_stream, const Kind& kind, Operation op, int threads) noexcept {
    const auto start = std::chrono::steady_clock::now();
    (void)take_parallel_nanoseconds();
    Failure failure;
    std::shared_ptr<const Column> column;
    try {
        if (threads == 0) threads = usable_cores();
        AnswersOf<BoolColumnBuilder> is_valid_answers(kind.is_valid_rows, kind.is_valid);
        AnswersOf<ResultColumnsBuilder> validate_answers(kind.validate_rows, kind.validate);
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
    latest_call = {column->length, threads, std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count(),
                   take_parallel_nanoseconds()};
    return result;
}

const LastCall& last_call() noexcept { return latest_call; }

}  // namespace cobalis::batch
