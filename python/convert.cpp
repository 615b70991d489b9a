#include "python/convert.hpp"

#include <array>
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
    "country", "check_digits", "bban_length", "bank_code", "location", "branch", "brand", "isbn_type", "isbn10",
    "isbn13", "lou_prefix", "ean_type", "country_prefix", "local_length", "domain_length",
    "alpha2", "alpha3", "numeric", "name", "official_name", "common_name", "flag", "currency", "calling_code",
    "tld", "eu_member", "iban_length",
    "code", "symbol", "decimals", "countries",
    "standard_rate", "reduced_rates",
};

constexpr std::array<const char*, count_of<Kind>()> KIND_TEXTS{
    "iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email",
};

// Strings made once and reused: keys, kind names, and the texts of the
// enumerations. Python strings are immutable, so sharing them is safe.
std::array<PyObject*, count_of<Key>()> keys{};
std::array<PyObject*, count_of<Kind>()> kinds{};
std::array<PyObject*, ERROR_CODE_COUNT> error_texts{};
std::array<PyObject*, CARD_BRAND_COUNT> brand_texts{};
std::array<PyObject*, 2> isbn_type_texts{};
std::array<PyObject*, 2> ean_type_texts{};
PyObject* internal_fault_type = nullptr;

PyObject* key_object(Key key) noexcept { return keys[static_cast<std::size_t>(key)]; }

// Inserts `value` (a new reference, or nullptr after a failed creation).
bool put(PyObject* dict, Key key, PyObject* value) noexcept {
    if (value == nullptr) {
        if (!PyErr_Occurred()) raise_internal_fault("a Python object could not be created");
        return false;
    }
    const int status = PyDict_SetItem(dict, key_object(key), value);
    Py_DECREF(value);
    return status == 0;
}

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
        cache[i] = PyUnicode_InternFromString(text_of(i));
        if (cache[i] == nullptr) return false;
    }
    return true;
}

template <class E, std::size_t N>
auto enum_texts(std::string_view (*text)(E) noexcept) {
    return [text](std::size_t i) {
        // Every enumeration text is a NUL-terminated literal.
        return text(static_cast<E>(i)).data();
    };
}

}  // namespace

bool init_strings() noexcept {
    return intern_all(keys, [](std::size_t i) { return KEY_TEXTS[i]; }) &&
           intern_all(kinds, [](std::size_t i) { return KIND_TEXTS[i]; }) &&
           intern_all(error_texts, enum_texts<ErrorCode, ERROR_CODE_COUNT>(error_text)) &&
           intern_all(brand_texts, enum_texts<CardBrand, CARD_BRAND_COUNT>(brand_text)) &&
           intern_all(isbn_type_texts, enum_texts<IsbnType, 2>(isbn_type_text)) &&
           intern_all(ean_type_texts, enum_texts<EanType, 2>(ean_type_text));
}

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

bool put_details(PyObject* d, const NoDetails&, ResultTexts&) noexcept { return d != nullptr; }
bool put_details(PyObject* d, const IssnDetails&, ResultTexts&) noexcept { return d != nullptr; }

bool put_details(PyObject* d, const IbanDetails& x, ResultTexts&) noexcept {
    return put_code(d, Key::country, x.country.view()) && put_code(d, Key::check_digits, x.check_digits.view()) &&
           put_uint(d, Key::bban_length, x.bban_length);
}

bool put_details(PyObject* d, const BicDetails& x, ResultTexts&) noexcept {
    const auto branch = x.branch ? std::optional<std::string_view>(x.branch->view()) : std::nullopt;
    return put_code(d, Key::bank_code, x.bank_code.view()) && put_code(d, Key::country, x.country.view()) &&
           put_code(d, Key::location, x.location.view()) && put_optional_code(d, Key::branch, branch);
}

bool put_details(PyObject* d, const CreditCardDetails& x, ResultTexts&) noexcept {
    return put_shared(d, Key::brand, brand_texts[static_cast<std::size_t>(x.brand)]);
}

bool put_details(PyObject* d, const IsbnDetails& x, ResultTexts& texts) noexcept {
    const auto put_optional = [&](Key key, const auto& code) {
        return code ? texts.put(d, key, code->view()) : put_shared(d, key, Py_None);
    };
    return put_shared(d, Key::isbn_type, isbn_type_texts[static_cast<std::size_t>(x.isbn_type)]) &&
           put_optional(Key::isbn10, x.isbn10) && put_optional(Key::isbn13, x.isbn13);
}

bool put_details(PyObject* d, const IsinDetails& x, ResultTexts&) noexcept { return put_code(d, Key::country, x.country.view()); }

bool put_details(PyObject* d, const LeiDetails& x, ResultTexts&) noexcept {
    return put_code(d, Key::lou_prefix, x.lou_prefix.view());
}

bool put_details(PyObject* d, const EanDetails& x, ResultTexts&) noexcept {
    return put_shared(d, Key::ean_type, ean_type_texts[static_cast<std::size_t>(x.ean_type)]) &&
           put_text(d, Key::country_prefix, x.country_prefix.view());
}

bool put_details(PyObject* d, const VatDetails& x, ResultTexts&) noexcept { return put_code(d, Key::country, x.country.view()); }

bool put_details(PyObject* d, const EmailDetails& x, ResultTexts&) noexcept {
    return put_uint(d, Key::local_length, x.local_length) && put_uint(d, Key::domain_length, x.domain_length);
}

}  // namespace

namespace {

// The variant of `Details` each kind fills in.
constexpr std::array<std::size_t, count_of<Kind>()> VARIANT_OF_KIND{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// The detail keys of each variant, in their order.
constexpr std::array<std::array<Key, 4>, std::variant_size_v<Details>> DETAIL_KEYS{{
    {},
    {Key::country, Key::check_digits, Key::bban_length},
    {Key::bank_code, Key::country, Key::location, Key::branch},
    {Key::brand},
    {Key::isbn_type, Key::isbn10, Key::isbn13},
    {},
    {Key::country},
    {Key::lou_prefix},
    {Key::ean_type, Key::country_prefix},
    {Key::country},
    {Key::local_length, Key::domain_length},
}};
constexpr std::array<std::size_t, std::variant_size_v<Details>> DETAIL_KEY_COUNT{0, 3, 4, 1, 3, 0, 1, 1, 2, 1, 2};

// Per kind, a finished dictionary for an invalid and for a valid answer with
// every key already in place. Copying one is a single allocation of the right
// size; filling it in then replaces values and never grows the table, which
// makes a result much cheaper than inserting key after key into an empty dict.
std::array<PyObject*, count_of<Kind>()> invalid_templates{};
std::array<PyObject*, count_of<Kind>()> valid_templates{};

PyObject* make_template(Kind kind, bool valid) noexcept {
    PyObject* empty = PyUnicode_FromStringAndSize("", 0);
    PyObject* dict = empty == nullptr ? nullptr : PyDict_New();
    bool ok = dict != nullptr && put_bool(dict, Key::is_valid, valid) && put_shared(dict, Key::compact, empty) &&
              put_shared(dict, Key::formatted, empty) && put_shared(dict, Key::error, Py_None) &&
              put_shared(dict, Key::kind, kinds[static_cast<std::size_t>(kind)]);
    if (valid) {
        const std::size_t variant = VARIANT_OF_KIND[static_cast<std::size_t>(kind)];
        for (std::size_t i = 0; ok && i < DETAIL_KEY_COUNT[variant]; ++i) {
            ok = put_shared(dict, DETAIL_KEYS[variant][i], Py_None);
        }
    }
    Py_XDECREF(empty);
    if (!ok) Py_CLEAR(dict);
    return dict;
}

}  // namespace

bool init_result_templates() noexcept {
    for (std::size_t k = 0; k < count_of<Kind>(); ++k) {
        if (invalid_templates[k] == nullptr) invalid_templates[k] = make_template(static_cast<Kind>(k), false);
        if (valid_templates[k] == nullptr) valid_templates[k] = make_template(static_cast<Kind>(k), true);
        if (invalid_templates[k] == nullptr || valid_templates[k] == nullptr) return false;
    }
    return true;
}

PyObject* result_to_pydict(const ValidationResult& result, Kind kind, Source source) noexcept {
    const auto k = static_cast<std::size_t>(kind);
    // A valid result carries no error and its own kind's details; an invalid
    // one always carries an error. Anything else is a fault of the core, not
    // of the input.
    if (result.is_valid == result.error.has_value() ||
        (result.is_valid && result.details.index() != VARIANT_OF_KIND[k])) {
        return raise_internal_fault("validation result with inconsistent validity, error or details");
    }
    if (!result.is_valid) {
        PyObject* dict = PyDict_Copy(invalid_templates[k]);
        if (dict != nullptr && !put_shared(dict, Key::error, error_texts[static_cast<std::size_t>(*result.error)])) {
            Py_CLEAR(dict);
        }
        return dict;
    }
    PyObject* dict = PyDict_Copy(valid_templates[k]);
    if (dict == nullptr) return nullptr;
    ResultTexts texts(source);
    const bool ok = texts.put_compact(dict, result.compact.view()) &&
                    texts.put(dict, Key::formatted, result.formatted.view()) &&
                    std::visit([dict, &texts](const auto& details) { return put_details(dict, details, texts); },
                               result.details);
    if (!ok) Py_CLEAR(dict);
    return dict;
}

}  // namespace cobalis::python
