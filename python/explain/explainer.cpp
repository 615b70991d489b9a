// An Explainer holds what an explanation needs beyond the core's answer: the
// sentence of every error code of every kind (given once, as the package's
// table of messages), and the function that explains the values of a column
// (given by the package, which knows the column types). Its `explain` method
// answers a `str` with no Python frame in between:
//
//   {"error": code or None, "position": int or None,
//    "expected": str or None, "message": str or None}
//
// and hands anything else to the column function as (kind, values, strict).
#include "python/explain/explainer.hpp"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <new>
#include <string_view>

#include "core/kinds.hpp"
#include "core/repair/repair.hpp"
#include "python/convert.hpp"
#include "python/errors.hpp"

namespace cobalis::python {
namespace {

constexpr std::size_t KINDS = kinds::KIND_COUNT;
constexpr std::size_t CODES = ERROR_CODE_COUNT;

enum Key : std::size_t { ERROR, POSITION, EXPECTED, MESSAGE, KEY_COUNT };

// The places and check characters whose sentences are kept.
constexpr std::size_t PLACES_KEPT = 64;
constexpr std::size_t ONE_CHECK = 11;                // a digit or X
constexpr std::size_t ONE_CHECK_SENTENCES = ONE_CHECK * ONE_CHECK;
constexpr std::size_t CHECK_SENTENCES = ONE_CHECK_SENTENCES + 100 * 100;  // then two digits each

// Where the sentence for check characters `expected` in place of `found` is
// kept, or CHECK_SENTENCES when it is not.
constexpr std::size_t check_slot(std::string_view expected, std::string_view found) noexcept {
    const auto one = [](char c) -> std::size_t { return c == 'X' ? 10 : c >= '0' && c <= '9' ? c - '0' : ONE_CHECK; };
    if (expected.size() == 1 && found.size() == 1) {
        const std::size_t e = one(expected[0]);
        const std::size_t f = one(found[0]);
        return e < ONE_CHECK && f < ONE_CHECK ? e * ONE_CHECK + f : CHECK_SENTENCES;
    }
    if (expected.size() == 2 && found.size() == 2) {
        std::size_t slot = 0;
        for (const char c : {expected[0], expected[1], found[0], found[1]}) {
            if (c < '0' || c > '9') return CHECK_SENTENCES;
            slot = slot * 10 + static_cast<std::size_t>(c - '0');
        }
        return ONE_CHECK_SENTENCES + slot;
    }
    return CHECK_SENTENCES;
}
static_assert(check_slot("X", "9") == 10 * ONE_CHECK + 9 && check_slot("99", "99") == CHECK_SENTENCES - 1 &&
              check_slot("A", "1") == CHECK_SENTENCES && check_slot("1A", "12") == CHECK_SENTENCES);
constexpr std::array<const char*, KEY_COUNT> KEY_NAMES{"error", "position", "expected", "message"};

struct ExplainerObject {
    PyObject_HEAD
    PyObject* messages;  // as given, to pickle the Explainer by
    PyObject* columns;   // columns(kind, values, strict) -> the answers of a column
    PyObject* empty;    // the answer with every value None, copied for each answer
    std::array<PyObject*, KEY_COUNT> keys;
    std::array<PyObject*, KINDS> kind_names;
    // The sentence of each kind's codes without its full stop (a str), and
    // with it; null where the table of messages has none.
    std::array<std::array<PyObject*, CODES>, KINDS> bases;
    std::array<std::array<PyObject*, CODES>, KINDS> sentences;
    // Answers already made, kept to copy for the same explanation again: for
    // a check character failure by the expected and found characters (digits
    // or X, one each, or two digits each) with the position left out; for a
    // blamed place by its index; otherwise by the code.
    std::array<PyObject**, KINDS> by_check;  // CHECK_SENTENCES each, made on first use
    std::array<std::array<std::array<PyObject*, PLACES_KEPT>, CODES>, KINDS> by_place;
    std::array<std::array<PyObject*, CODES>, KINDS> by_code;
    std::array<PyObject*, 100> digit_pairs;  // "00".."99"
};

ExplainerObject* as_explainer(PyObject* self) noexcept { return reinterpret_cast<ExplainerObject*>(self); }

std::string_view utf8_of(PyObject* text) noexcept {
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text, &size);
    if (bytes == nullptr) return {nullptr, 0};
    return {bytes, static_cast<std::size_t>(size)};
}

// The characters before byte `offset` of UTF-8 `text`.
std::size_t characters_before(std::string_view text, std::size_t offset) noexcept {
    std::size_t n = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        n += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

PyObject* text_of(std::string_view s) noexcept {
    return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

// messages[kind][code] for every kind and code, where the table has it.
bool read_messages(ExplainerObject* self, PyObject* messages) noexcept {
    for (std::size_t k = 0; k < KINDS; ++k) {
        const std::string_view kind = kinds::KINDS[k].name;
        PyObject* name = PyUnicode_FromStringAndSize(kind.data(), static_cast<Py_ssize_t>(kind.size()));
        if (name == nullptr) return false;
        PyUnicode_InternInPlace(&name);
        self->kind_names[k] = name;
        PyObject* codes = PyObject_GetItem(messages, name);
        if (codes == nullptr) {
            if (!PyErr_ExceptionMatches(PyExc_KeyError)) return false;
            PyErr_Clear();
            continue;
        }
        for (std::size_t c = 0; c < CODES; ++c) {
            PyObject* code = error_object(static_cast<ErrorCode>(c));
            PyObject* base = PyObject_GetItem(codes, code);
            if (base == nullptr) {
                if (!PyErr_ExceptionMatches(PyExc_KeyError)) {
                    Py_DECREF(codes);
                    return false;
                }
                PyErr_Clear();
                continue;
            }
            if (!PyUnicode_Check(base)) {
                Py_DECREF(base);
                Py_DECREF(codes);
                PyErr_Format(PyExc_TypeError, "Explainer: the message of %U %U is not a str", name, code);
                return false;
            }
            self->bases[k][c] = base;
            self->sentences[k][c] = PyUnicode_FromFormat("%U.", base);
            if (self->sentences[k][c] == nullptr) {
                Py_DECREF(codes);
                return false;
            }
        }
        Py_DECREF(codes);
    }
    return true;
}

void clear_all(ExplainerObject* self) noexcept {
    Py_CLEAR(self->messages);
    Py_CLEAR(self->columns);
    Py_CLEAR(self->empty);
    for (PyObject*& key : self->keys) Py_CLEAR(key);
    for (PyObject*& name : self->kind_names) Py_CLEAR(name);
    for (auto& row : self->bases) {
        for (PyObject*& base : row) Py_CLEAR(base);
    }
    for (auto& row : self->sentences) {
        for (PyObject*& sentence : row) Py_CLEAR(sentence);
    }
    for (PyObject**& kept : self->by_check) {
        if (kept == nullptr) continue;
        for (std::size_t i = 0; i < CHECK_SENTENCES; ++i) Py_CLEAR(kept[i]);
        delete[] kept;
        kept = nullptr;
    }
    for (auto& codes : self->by_place) {
        for (auto& places : codes) {
            for (PyObject*& answer : places) Py_CLEAR(answer);
        }
    }
    for (auto& codes : self->by_code) {
        for (PyObject*& answer : codes) Py_CLEAR(answer);
    }
    for (PyObject*& pair : self->digit_pairs) Py_CLEAR(pair);
}

PyObject* explainer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    static const char* keywords[] = {"messages", "columns", nullptr};
    PyObject* messages = nullptr;
    PyObject* columns = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO:Explainer", const_cast<char**>(keywords), &messages,
                                     &columns)) {
        return nullptr;
    }
    if (PyCallable_Check(columns) == 0) {
        return PyErr_Format(PyExc_TypeError, "Explainer: columns must be callable, not %R", columns);
    }
    PyObject* self = PyType_GenericAlloc(type, 0);
    if (self == nullptr) return nullptr;
    ExplainerObject* explainer = as_explainer(self);
    explainer->messages = Py_NewRef(messages);
    explainer->columns = Py_NewRef(columns);
    bool ok = read_messages(explainer, messages);
    for (std::size_t i = 0; ok && i < explainer->digit_pairs.size(); ++i) {
        const std::array<char, 2> pair{static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10)};
        explainer->digit_pairs[i] = PyUnicode_FromStringAndSize(pair.data(), 2);
        ok = explainer->digit_pairs[i] != nullptr;
    }
    explainer->empty = ok ? PyDict_New() : nullptr;
    ok = explainer->empty != nullptr;
    for (std::size_t i = 0; ok && i < KEY_COUNT; ++i) {
        explainer->keys[i] = PyUnicode_InternFromString(KEY_NAMES[i]);
        ok = explainer->keys[i] != nullptr && PyDict_SetItem(explainer->empty, explainer->keys[i], Py_None) == 0;
    }
    if (!ok) {
        Py_DECREF(self);
        return nullptr;
    }
    return self;
}

int explainer_traverse(PyObject* self, visitproc visit, void* arg) noexcept {
    Py_VISIT(as_explainer(self)->messages);
    Py_VISIT(as_explainer(self)->columns);
    Py_VISIT(Py_TYPE(self));
    return 0;
}

int explainer_clear(PyObject* self) noexcept {
    Py_CLEAR(as_explainer(self)->messages);
    Py_CLEAR(as_explainer(self)->columns);
    return 0;
}

void explainer_dealloc(PyObject* self) noexcept {
    PyObject_GC_UnTrack(self);
    clear_all(as_explainer(self));
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

// The number of the kind called `name`, or KINDS with an exception set.
std::size_t kind_number(const ExplainerObject* self, PyObject* name) noexcept {
    // The names the callers spell out are interned: one comparison each.
    for (std::size_t i = 0; i < KINDS; ++i) {
        if (name == self->kind_names[i]) return i;
    }
    if (!PyUnicode_Check(name)) {
        raise_type_error(name, "explain() takes a str kind, not %U");
        return KINDS;
    }
    const std::string_view wanted = utf8_of(name);
    if (wanted.data() == nullptr) return KINDS;
    for (std::size_t i = 0; i < KINDS; ++i) {
        if (kinds::KINDS[i].name == wanted) return i;
    }
    PyErr_Format(PyExc_ValueError, "unknown kind: %R", name);
    return KINDS;
}

// The sentence for an explanation: the code's sentence, then what the check
// characters should be, or which character is to blame.
PyObject* sentence(const ExplainerObject* self, std::size_t kind, const repair::Explanation& e,
                   PyObject* position) noexcept {
    const auto code = static_cast<std::size_t>(*e.error);
    PyObject* base = self->bases[kind][code];
    if (base == nullptr) return text_of(error_text(*e.error));
    if (e.check_length == 0 && position == nullptr) return Py_NewRef(self->sentences[kind][code]);
    const std::string_view stem = utf8_of(base);
    if (stem.data() == nullptr) return nullptr;
    // The stem and at most ": they should be XX, not YY." or " (character N)."
    constexpr std::size_t ROOM = 256;
    std::array<char, ROOM> buffer{};
    if (stem.size() > ROOM - 64) {
        if (e.check_length != 0) {
            // At most two characters each, NUL-terminated for the format.
            std::array<char, 3> expected{};
            std::array<char, 3> found{};
            e.expected().copy(expected.data(), 2);
            e.found().copy(found.data(), 2);
            return PyUnicode_FromFormat("%U: %s should be %s, not %s.", base, e.check_length == 1 ? "it" : "they",
                                        expected.data(), found.data());
        }
        return PyUnicode_FromFormat("%U (character %zd).", base, PyLong_AsSsize_t(position) + 1);
    }
    char* out = buffer.data();
    const auto put = [&](std::string_view s) {
        std::memcpy(out, s.data(), s.size());
        out += s.size();
    };
    put(stem);
    if (e.check_length != 0) {
        put(e.check_length == 1 ? ": it should be " : ": they should be ");
        put(e.expected());
        put(", not ");
        put(e.found());
        put(".");
    } else {
        put(" (character ");
        out = std::to_chars(out, buffer.data() + ROOM, PyLong_AsSsize_t(position) + 1).ptr;
        put(").");
    }
    return PyUnicode_DecodeUTF8(buffer.data(), out - buffer.data(), "surrogateescape");
}

PyObject* expected_text(const ExplainerObject* self, std::string_view expected) noexcept {
    if (expected.size() == 2 && expected[0] >= '0' && expected[0] <= '9' && expected[1] >= '0' && expected[1] <= '9') {
        return Py_NewRef(self->digit_pairs[static_cast<std::size_t>((expected[0] - '0') * 10 + (expected[1] - '0'))]);
    }
    return text_of(expected);
}

// A new answer for `e` with `position` (a Python int, or null for None).
PyObject* new_answer(const ExplainerObject* self, std::size_t kind, const repair::Explanation& e,
                     PyObject* position) noexcept {
    PyObject* answer = PyDict_Copy(self->empty);
    if (answer == nullptr) return nullptr;
    PyObject* expected = e.check_length != 0 ? expected_text(self, e.expected()) : nullptr;
    PyObject* message = e.check_length != 0 && expected == nullptr ? nullptr : sentence(self, kind, e, position);
    const bool ok = message != nullptr &&
                    PyDict_SetItem(answer, self->keys[ERROR], error_object(*e.error)) == 0 &&
                    (position == nullptr || PyDict_SetItem(answer, self->keys[POSITION], position) == 0) &&
                    (expected == nullptr || PyDict_SetItem(answer, self->keys[EXPECTED], expected) == 0) &&
                    PyDict_SetItem(answer, self->keys[MESSAGE], message) == 0;
    Py_XDECREF(expected);
    Py_XDECREF(message);
    if (!ok) Py_CLEAR(answer);
    return answer;
}

// Where the answer for `e` (its blamed character the `place`-th of the text)
// is kept; null where it is not.
PyObject** kept_answer(ExplainerObject* self, std::size_t kind, const repair::Explanation& e,
                       std::size_t place) noexcept {
    const auto code = static_cast<std::size_t>(*e.error);
    if (e.check_length != 0) {
        const std::size_t at = check_slot(e.expected(), e.found());
        if (at == CHECK_SENTENCES) return nullptr;
        PyObject**& kept = self->by_check[kind];
        if (kept == nullptr) kept = new (std::nothrow) PyObject*[CHECK_SENTENCES]();
        return kept == nullptr ? nullptr : &kept[at];
    }
    if (e.position) return place < PLACES_KEPT ? &self->by_place[kind][code][place] : nullptr;
    return &self->by_code[kind][code];
}

// The answer for `input` (the UTF-8 bytes of a str) as an identifier of `kind`.
PyObject* explanation(ExplainerObject* self, std::size_t kind, std::string_view input, bool strict) noexcept {
    const repair::Explanation e = repair::explain(kind, input, strict);
    if (!e.error) return PyDict_Copy(self->empty);
    const std::size_t place = e.position ? characters_before(input, *e.position) : 0;
    PyObject* position = e.position ? PyLong_FromSize_t(place) : nullptr;
    if (e.position && position == nullptr) return nullptr;
    PyObject* answer = nullptr;
    if (PyObject** kept = kept_answer(self, kind, e, place); kept != nullptr) {
        // A check failure's answer is kept without its position, which the copy gets.
        if (*kept == nullptr) *kept = new_answer(self, kind, e, e.check_length != 0 ? nullptr : position);
        answer = *kept == nullptr ? nullptr : PyDict_Copy(*kept);
        if (answer != nullptr && e.check_length != 0 && position != nullptr &&
            PyDict_SetItem(answer, self->keys[POSITION], position) != 0) {
            Py_CLEAR(answer);
        }
    } else {
        answer = new_answer(self, kind, e, position);
    }
    Py_XDECREF(position);
    return answer;
}

// explain(kind, text, *, strict=False): kind and text by position or by
// name, strict by name only.
PyObject* explainer_explain(PyObject* self_object, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) noexcept {
    ExplainerObject* self = as_explainer(self_object);
    enum { KIND, TEXT, STRICT, SLOTS };
    constexpr std::array<const char*, SLOTS> NAMES{"kind", "text", "strict"};
    std::array<PyObject*, SLOTS> bound{};
    if (nargs > 2) {
        return PyErr_Format(PyExc_TypeError, "explain() takes 2 positional arguments but %zd were given", nargs);
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) bound[static_cast<std::size_t>(i)] = args[i];
    const Py_ssize_t named = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
    for (Py_ssize_t j = 0; j < named; ++j) {
        PyObject* name = PyTuple_GetItem(kwnames, j);
        std::size_t slot = SLOTS;
        for (std::size_t s = 0; s < SLOTS; ++s) {
            if (PyUnicode_CompareWithASCIIString(name, NAMES[s]) == 0) slot = s;
        }
        if (slot == SLOTS) {
            return PyErr_Format(PyExc_TypeError, "explain() got an unexpected keyword argument '%U'", name);
        }
        if (bound[slot] != nullptr) {
            return PyErr_Format(PyExc_TypeError, "explain() got multiple values for argument '%s'", NAMES[slot]);
        }
        bound[slot] = args[nargs + j];
    }
    for (std::size_t s = KIND; s <= TEXT; ++s) {
        if (bound[s] == nullptr) {
            return PyErr_Format(PyExc_TypeError, "explain() missing required argument '%s'", NAMES[s]);
        }
    }
    bool strict = false;
    if (bound[STRICT] != nullptr) {
        const int flag = PyObject_IsTrue(bound[STRICT]);
        if (flag < 0) return nullptr;
        strict = flag != 0;
    }
    const std::size_t kind = kind_number(self, bound[KIND]);
    if (kind == KINDS) return nullptr;
    PyObject* text = bound[TEXT];
    if (!PyUnicode_Check(text)) {
        return PyObject_CallFunctionObjArgs(self->columns, self->kind_names[kind], text, strict ? Py_True : Py_False,
                                            nullptr);
    }
    const std::string_view input = utf8_of(text);
    if (input.data() == nullptr) return nullptr;
    return explanation(self, kind, input, strict);
}

// Pickled as made: so is its `explain`, for process pools and clusters.
PyObject* explainer_reduce(PyObject* self_object, PyObject*) noexcept {
    const ExplainerObject* self = as_explainer(self_object);
    if (self->messages == nullptr || self->columns == nullptr) {
        PyErr_SetString(PyExc_TypeError, "a cleared Explainer cannot be pickled");
        return nullptr;
    }
    return Py_BuildValue("(O(OO))", reinterpret_cast<PyObject*>(Py_TYPE(self_object)), self->messages, self->columns);
}

using KeywordsCall = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*) noexcept;
PyCFunction as_cfunction(KeywordsCall f) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

PyMethodDef explainer_methods[] = {
    {"explain", as_cfunction(explainer_explain), METH_FASTCALL | METH_KEYWORDS,
     "explain($self, kind, text, *, strict=False)\n--\n\n"
     "Why `text` is not a valid identifier of `kind`, and where; for any other value (a column), what the "
     "columns function answers."},
    {"__reduce__", explainer_reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot explainer_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(explainer_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(explainer_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(explainer_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(explainer_clear)},
    {Py_tp_methods, explainer_methods},
    {Py_tp_doc, const_cast<char*>("Explainer(messages, columns)\n--\n\n"
                                  "Explains identifiers with the sentences of messages[kind][code]; "
                                  "columns(kind, values, strict) answers whatever is not a str.")},
    {0, nullptr},
};

PyType_Spec explainer_spec = {
    "_cobalis_explain.Explainer",
    sizeof(ExplainerObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_IMMUTABLETYPE,
    explainer_slots,
};

}  // namespace

bool add_explainer_type(PyObject* module) noexcept {
    PyObject* type = PyType_FromSpec(&explainer_spec);
    if (type == nullptr) return false;
    const int status = PyModule_AddObjectRef(module, "Explainer", type);
    Py_DECREF(type);
    return status == 0;
}

}  // namespace cobalis::python
