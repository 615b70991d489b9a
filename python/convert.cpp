#include "python/convert.hpp"

#include <array>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

namespace cobalis::python {
namespace {

template <class E>
constexpr std::size_t count_of() noexcept {
    return static_cast<std::size_t>(E::count_);
}

constexpr std::array<const char*, count_of<Key>()> KEY_TEXTS{
    "is_valid", "compact", "formatted", "error", "kind",
    "alpha2", "alpha3", "numeric", "name", "official_name", "common_name", "flag", "currency", "calling_code",
    "tld", "eu_member", "iban_length",
    "code", "symbol", "decimals", "countries",
    "country", "standard_rate", "reduced_rates",
};

// Every detail key of every kind, plain or strict, once each, in the order first met.
struct DetailKeyList {
    std::array<std::string_view, [] {
        std::size_t n = 0;
        for (const kinds::Kind& kind : kinds::KINDS) n += kind.detail_keys.size() + kind.strict_detail_keys.size();
        return n;
    }()> texts{};
    std::size_t count = 0;
};

constexpr DetailKeyList DETAIL_KEY_LIST = [] {
    DetailKeyList list;
    for (const kinds::Kind& kind : kinds::KINDS) {
        for (const auto keys : {kind.detail_keys, kind.strict_detail_keys}) {
            for (const std::string_view key : keys) {
                bool seen = false;
                for (std::size_t i = 0; i < list.count; ++i) seen = seen || list.texts[i] == key;
                if (!seen) list.texts[list.count++] = key;
            }
        }
    }
    return list;
}();
constexpr std::size_t DETAIL_KEY_COUNT = DETAIL_KEY_LIST.count;
constexpr std::span<const std::string_view> DETAIL_KEY_TEXTS{DETAIL_KEY_LIST.texts.data(), DETAIL_KEY_COUNT};

// A detail key named like one of the five common keys would overwrite it.
constexpr bool detail_keys_apart_from_common_keys() noexcept {
    for (const std::string_view key : DETAIL_KEY_TEXTS) {
        for (std::size_t i = 0; i <= static_cast<std::size_t>(Key::kind); ++i) {
            if (key == KEY_TEXTS[i]) return false;
        }
    }
    return true;
}
static_assert(detail_keys_apart_from_common_keys(), "a detail key repeats one of the five common keys");

// Where a detail key's string is kept in the cache.
constexpr std::size_t detail_slot(std::string_view key) noexcept {
    for (std::size_t i = 0; i < DETAIL_KEY_COUNT; ++i) {
        if (DETAIL_KEY_TEXTS[i] == key) return i;
    }
    return DETAIL_KEY_COUNT;
}

// The cache slots of the keys of details `D`, in the order of D::KEYS.
template <class D>
constexpr std::array<std::size_t, D::KEYS.size()> DETAIL_SLOTS = [] {
    std::array<std::size_t, D::KEYS.size()> out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = detail_slot(D::KEYS[i]);
    return out;
}();

// Strings made once and reused: keys, kind names, and the texts of the
// enumerations. Python strings are immutable, so sharing them is safe.
std::array<PyObject*, count_of<Key>()> keys{};
std::array<PyObject*, DETAIL_KEY_COUNT> detail_keys{};
std::array<PyObject*, kinds::KIND_COUNT> kind_names{};
std::array<PyObject*, ERROR_CODE_COUNT> error_texts{};
std::array<PyObject*, CARD_BRAND_COUNT> brand_texts{};
std::array<PyObject*, 2> isbn_type_texts{};
std::array<PyObject*, 2> ean_type_texts{};

// Inserts `value` (a new reference, or nullptr after a failed creation).
bool put_object(PyObject* dict, PyObject* key, PyObject* value) noexcept {
    if (value == nullptr) {
        if (!PyErr_Occurred()) raise_internal_fault("a Python object could not be created");
        return false;
    }
    const int status = PyDict_SetItem(dict, key, value);
    Py_DECREF(value);
    return status == 0;
}

bool put(PyObject* dict, Key key, PyObject* value) noexcept { return put_object(dict, key_object(key), value); }

bool put_shared(PyObject* dict, Key key, PyObject* value) noexcept {
    return PyDict_SetItem(dict, key_object(key), value) == 0;
}

PyObject* decode_code(std::string_view bytes) noexcept {
    PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "strict");
    if (text == nullptr && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_Clear();
        text = PyUnicode_FromStringAndSize("", 0);
    }
    return text;
}

// Two-character codes of digits and upper-case letters (countries, check
// digits, locations) recur on almost every result: each of the 1296 is made
// once, on first use, and shared from then on.
constexpr std::size_t ALNUM = 36;
std::array<PyObject*, ALNUM * ALNUM> two_char_codes{};

constexpr int alnum_index(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

PyObject* new_code(std::string_view bytes) noexcept {
    if (bytes.size() == 2) {
        const int hi = alnum_index(bytes[0]);
        const int lo = alnum_index(bytes[1]);
        if (hi >= 0 && lo >= 0) {
            PyObject*& cached = two_char_codes[static_cast<std::size_t>(hi) * ALNUM + static_cast<std::size_t>(lo)];
            if (cached == nullptr) cached = decode_code(bytes);
            return cached == nullptr ? nullptr : Py_NewRef(cached);
        }
    }
    return decode_code(bytes);
}

template <std::size_t N>
bool intern_all(std::array<PyObject*, N>& cache, auto text_of) noexcept {
    for (std::size_t i = 0; i < N; ++i) {
        if (cache[i] != nullptr) continue;
        const std::string_view text = text_of(i);
        cache[i] = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        if (cache[i] == nullptr) return false;
        PyUnicode_InternInPlace(&cache[i]);
    }
    return true;
}

template <class E, std::size_t N>
auto enum_texts(std::string_view (*text)(E) noexcept) {
    return [text](std::size_t i) { return text(static_cast<E>(i)); };
}

}  // namespace

bool init_strings() noexcept {
    return intern_all(keys, [](std::size_t i) { return std::string_view(KEY_TEXTS[i]); }) &&
           intern_all(detail_keys, [](std::size_t i) { return DETAIL_KEY_TEXTS[i]; }) &&
           intern_all(kind_names, [](std::size_t i) { return kinds::KINDS[i].name; }) &&
           intern_all(error_texts, enum_texts<ErrorCode, ERROR_CODE_COUNT>(error_text)) &&
           intern_all(brand_texts, enum_texts<CardBrand, CARD_BRAND_COUNT>(brand_text)) &&
           intern_all(isbn_type_texts, enum_texts<IsbnType, 2>(isbn_type_text)) &&
           intern_all(ean_type_texts, enum_texts<EanType, 2>(ean_type_text));
}

PyObject* key_object(Key key) noexcept { return keys[static_cast<std::size_t>(key)]; }

PyObject* error_object(ErrorCode code) noexcept { return error_texts[static_cast<std::size_t>(code)]; }

PyObject* new_text(std::string_view text) noexcept {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

bool put_bool(PyObject* dict, Key key, bool value) noexcept {
    return put_shared(dict, key, value ? Py_True : Py_False);
}

bool put_text(PyObject* dict, Key key, std::string_view value) noexcept { return put(dict, key, new_text(value)); }

bool put_optional_text(PyObject* dict, Key key, std::optional<std::string_view> value) noexcept {
    return value ? put_text(dict, key, *value) : put_shared(dict, key, Py_None);
}

bool put_uint(PyObject* dict, Key key, unsigned value) noexcept {
    return put(dict, key, PyLong_FromUnsignedLong(value));
}

bool put_optional_uint(PyObject* dict, Key key, std::optional<unsigned> value) noexcept {
    return value ? put_uint(dict, key, *value) : put_shared(dict, key, Py_None);
}

bool put_float(PyObject* dict, Key key, float value) noexcept {
    return put(dict, key, PyFloat_FromDouble(static_cast<double>(value)));
}

bool put_code(PyObject* dict, Key key, std::string_view bytes) noexcept { return put(dict, key, new_code(bytes)); }

bool put_optional_code(PyObject* dict, Key key, std::optional<std::string_view> bytes) noexcept {
    return bytes ? put_code(dict, key, *bytes) : put_shared(dict, key, Py_None);
}

namespace {

// A new list of exactly `values.size()` items, each made by `make`.
template <class T, class Make>
PyObject* new_list(std::span<const T> values, Make make) noexcept {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyObject* item = make(values[i]);
        if (item == nullptr) {
            Py_DECREF(list);
            return nullptr;
        }
        PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals item
    }
    return list;
}

}  // namespace

bool put_text_list(PyObject* dict, Key key, std::span<const std::string_view> values) noexcept {
    return put(dict, key, new_list(values, new_text));
}

bool put_code_list(PyObject* dict, Key key, std::span<const std::string_view> codes) noexcept {
    return put(dict, key, new_list(codes, new_code));
}

bool put_float_list(PyObject* dict, Key key, std::span<const float> values) noexcept {
    return put(dict, key, new_list(values, [](float v) { return PyFloat_FromDouble(static_cast<double>(v)); }));
}

namespace {

// The strings of one valid result. Most results are made from text that
// already is their compact or display form, and several kinds repeat one text
// under two keys: a text whose bytes equal the argument's, or the compact
// form's, is handed out as that same string (Python strings are immutable).
class ResultTexts {
public:
    explicit ResultTexts(Source source) noexcept : source_(source) {}
    ResultTexts(const ResultTexts&) = delete;
    ResultTexts& operator=(const ResultTexts&) = delete;
    ~ResultTexts() { Py_XDECREF(compact_); }

    PyObject* make(std::string_view text) noexcept {
        if (source_.object != nullptr && text == source_.text) return Py_NewRef(source_.object);
        if (compact_ != nullptr && text == compact_view_) return Py_NewRef(compact_);
        return new_text(text);
    }
    bool put(PyObject* dict, Key key, std::string_view text) noexcept { return python::put(dict, key, make(text)); }
    bool put_compact(PyObject* dict, std::string_view text) noexcept {
        compact_ = make(text);
        compact_view_ = text;
        return compact_ != nullptr && put_shared(dict, Key::compact, compact_);
    }

private:
    Source source_;
    PyObject* compact_ = nullptr;
    std::string_view compact_view_;
};

// Inserts the details of one result: one value per key of `D`, in the order
// of D::KEYS (each a new reference, or null after a failed creation). Every
// value is released, inserted or not.
template <class D, class... Values>
bool put_detail_values(PyObject* dict, Values... values) noexcept {
    static_assert(sizeof...(Values) == D::KEYS.size(), "one value for each key of the details, in their order");
    if constexpr (sizeof...(Values) == 0) {
        return dict != nullptr;
    } else {
        const std::array<PyObject*, sizeof...(Values)> objects{values...};
        bool ok = true;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (ok) {
                ok = put_object(dict, detail_keys[DETAIL_SLOTS<D>[i]], objects[i]);
            } else {
                Py_XDECREF(objects[i]);
            }
        }
        return ok;
    }
}

PyObject* new_uint(unsigned value) noexcept { return PyLong_FromUnsignedLong(value); }

template <class Code>
PyObject* new_optional_code(const std::optional<Code>& code) noexcept {
    return code ? new_code(code->view()) : Py_NewRef(Py_None);
}

bool put_details(PyObject* d, const NoDetails&, ResultTexts&) noexcept { return put_detail_values<NoDetails>(d); }
bool put_details(PyObject* d, const IssnDetails&, ResultTexts&) noexcept { return put_detail_values<IssnDetails>(d); }

bool put_details(PyObject* d, const IbanDetails& x, ResultTexts&) noexcept {
    return put_detail_values<IbanDetails>(d, new_code(x.country.view()), new_code(x.check_digits.view()),
                                          new_uint(x.bban_length));
}

template <std::size_t N>
PyObject* new_optional_short_code(const std::optional<ShortCode<N>>& code) noexcept {
    return code ? decode_code(code->view()) : Py_NewRef(Py_None);
}

bool put_details(PyObject* d, const StrictIbanDetails& x, ResultTexts&) noexcept {
    return put_detail_values<StrictIbanDetails>(d, new_code(x.country.view()), new_code(x.check_digits.view()),
                                                new_uint(x.bban_length), decode_code(x.bank_code.view()),
                                                new_optional_short_code(x.branch_code));
}

bool put_details(PyObject* d, const BicDetails& x, ResultTexts&) noexcept {
    return put_detail_values<BicDetails>(d, new_code(x.bank_code.view()), new_code(x.country.view()),
                                         new_code(x.location.view()), new_optional_code(x.branch));
}

bool put_details(PyObject* d, const CreditCardDetails& x, ResultTexts&) noexcept {
    return put_detail_values<CreditCardDetails>(d, Py_NewRef(brand_texts[static_cast<std::size_t>(x.brand)]));
}

bool put_details(PyObject* d, const IsbnDetails& x, ResultTexts& texts) noexcept {
    const auto optional = [&texts](const auto& code) {
        return code ? texts.make(code->view()) : Py_NewRef(Py_None);
    };
    return put_detail_values<IsbnDetails>(d, Py_NewRef(isbn_type_texts[static_cast<std::size_t>(x.isbn_type)]),
                                          optional(x.isbn10), optional(x.isbn13));
}

bool put_details(PyObject* d, const IsinDetails& x, ResultTexts&) noexcept {
    return put_detail_values<IsinDetails>(d, new_code(x.country.view()));
}

bool put_details(PyObject* d, const LeiDetails& x, ResultTexts&) noexcept {
    return put_detail_values<LeiDetails>(d, new_code(x.lou_prefix.view()));
}

bool put_details(PyObject* d, const EanDetails& x, ResultTexts&) noexcept {
    return put_detail_values<EanDetails>(d, Py_NewRef(ean_type_texts[static_cast<std::size_t>(x.ean_type)]),
                                         new_text(x.country_prefix.view()));
}

bool put_details(PyObject* d, const VatDetails& x, ResultTexts&) noexcept {
    return put_detail_values<VatDetails>(d, new_code(x.country.view()));
}

bool put_details(PyObject* d, const EmailDetails& x, ResultTexts&) noexcept {
    return put_detail_values<EmailDetails>(d, new_uint(x.local_length), new_uint(x.domain_length));
}

}  // namespace

namespace {

// Per kind, a finished dictionary for an invalid and for a valid answer with
// every key already in place. Copying one is a single allocation of the right
// size; filling it in then replaces values and never grows the table, which
// makes a result much cheaper than inserting key after key into an empty dict.
std::array<PyObject*, kinds::KIND_COUNT> invalid_templates{};
std::array<PyObject*, kinds::KIND_COUNT> valid_templates{};
// A valid strict answer that tells more than the plain one has its own.
std::array<PyObject*, kinds::KIND_COUNT> strict_valid_templates{};

enum class Answer { Invalid, Valid, StrictValid };

PyObject* make_template(std::size_t kind, Answer answer) noexcept {
    const bool valid = answer != Answer::Invalid;
    PyObject* empty = PyUnicode_FromStringAndSize("", 0);
    PyObject* dict = empty == nullptr ? nullptr : PyDict_New();
    bool ok = dict != nullptr && put_bool(dict, Key::is_valid, valid) && put_shared(dict, Key::compact, empty) &&
              put_shared(dict, Key::formatted, empty) && put_shared(dict, Key::error, Py_None) &&
              put_shared(dict, Key::kind, kind_names[kind]);
    if (valid) {
        const kinds::Kind& row = kinds::KINDS[kind];
        for (const std::string_view key : answer == Answer::StrictValid ? row.strict_detail_keys : row.detail_keys) {
            ok = ok && PyDict_SetItem(dict, detail_keys[detail_slot(key)], Py_None) == 0;
        }
    }
    Py_XDECREF(empty);
    if (!ok) Py_CLEAR(dict);
    return dict;
}

}  // namespace

bool init_result_templates() noexcept {
    for (std::size_t k = 0; k < kinds::KIND_COUNT; ++k) {
        if (invalid_templates[k] == nullptr) invalid_templates[k] = make_template(k, Answer::Invalid);
        if (valid_templates[k] == nullptr) valid_templates[k] = make_template(k, Answer::Valid);
        if (invalid_templates[k] == nullptr || valid_templates[k] == nullptr) return false;
        if (kinds::KINDS[k].strict_variant != kinds::KINDS[k].variant) {
            if (strict_valid_templates[k] == nullptr) strict_valid_templates[k] = make_template(k, Answer::StrictValid);
            if (strict_valid_templates[k] == nullptr) return false;
        }
    }
    return true;
}

PyObject* result_to_pydict(const ValidationResult& result, std::size_t k, Source source) noexcept {
    // A valid result carries no error and its own kind's details, plain or
    // strict; an invalid one always carries an error. Anything else is a
    // fault of the core, not of the input.
    const kinds::Kind& kind = kinds::KINDS[k];
    const bool strict_details = kind.strict_variant != kind.variant && result.details.index() == kind.strict_variant;
    if (result.is_valid == result.error.has_value() ||
        (result.is_valid && result.details.index() != kind.variant && !strict_details)) {
        return raise_internal_fault("validation result with inconsistent validity, error or details");
    }
    if (!result.is_valid) {
        PyObject* dict = PyDict_Copy(invalid_templates[k]);
        if (dict != nullptr && !put_shared(dict, Key::error, error_texts[static_cast<std::size_t>(*result.error)])) {
            Py_CLEAR(dict);
        }
        return dict;
    }
    PyObject* dict = PyDict_Copy(strict_details ? strict_valid_templates[k] : valid_templates[k]);
    if (dict == nullptr) return nullptr;
    ResultTexts texts(source);
    const bool ok = texts.put_compact(dict, result.compact.view()) &&
                    texts.put(dict, Key::formatted, result.formatted.view()) &&
                    std::visit([dict, &texts](const auto& details) { return put_details(dict, details, texts); },
                               result.details);
    if (!ok) Py_CLEAR(dict);
    return dict;
}

PyObject* result_row_to_pydict(const ValidationResult& result) noexcept {
    PyObject* dict = PyDict_New();
    if (dict == nullptr) return nullptr;
    const bool ok = put_bool(dict, Key::is_valid, result.is_valid) &&
                    put_shared(dict, Key::error, result.error ? error_object(*result.error) : Py_None) &&
                    put_text(dict, Key::compact, result.compact.view()) &&
                    put_text(dict, Key::formatted, result.formatted.view());
    if (!ok) Py_CLEAR(dict);
    return dict;
}

}  // namespace cobalis::python
