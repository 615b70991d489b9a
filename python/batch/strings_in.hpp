// Reading a column of text out of Arrow arrays that another library made.
//
// Three string layouts carry the same rows: "u" (32-bit offsets into one
// data buffer), "U" (64-bit offsets) and "vu" (16-byte views that hold short
// strings inline and point into variadic data buffers otherwise). A column
// of nulls ("n") reads as all null, and a struct of one string field (a
// one-column table, as a record batch stream hands it out) reads as that
// field, a null struct row counting as a null string.
//
// A dictionary-encoded column (integer indices into an array of distinct
// strings, in any of the layouts above) is read as its indices and its
// dictionary: the dictionary's strings are checked once each and every row
// takes the answer of the string it points at (see dictionary.hpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "python/batch/arrow_abi.hpp"

namespace cobalis::batch {

enum class Layout : std::uint8_t { Null, Utf8, LargeUtf8, Utf8View };

// The integer type of a dictionary column's indices; None for plain strings.
enum class Index : std::uint8_t { None, Int8, UInt8, Int16, UInt16, Int32, UInt32, Int64, UInt64 };

// What the schema says about where the strings are.
struct Source {
    Layout layout = Layout::Null;  // of the dictionary's strings when `index` is set
    bool in_struct = false;        // the strings are the only field of a struct
    Index index = Index::None;
};

// A read-only view of `length` rows of one imported array, rows counted
// from 0; nothing here owns memory.
struct StringChunk {
    Layout layout = Layout::Null;
    std::int64_t length = 0;
    std::int64_t first = 0;                        // buffer row of row 0
    const std::uint8_t* validity = nullptr;        // null when no row is null
    const std::uint8_t* outer_validity = nullptr;  // the enclosing struct's, if any
    std::int64_t outer_first = 0;
    const void* offsets = nullptr;              // int32/int64 offsets, or the 16-byte views
    const char* data = nullptr;                 // Utf8 and LargeUtf8
    const char* const* view_buffers = nullptr;  // Utf8View: the variadic data buffers
    // A dictionary column: the rows are indices (`validity` is theirs) into
    // `dictionary`, a plain chunk of strings that whoever reads the column
    // keeps alive as long as this chunk.
    Index index = Index::None;
    const void* indices = nullptr;
    const StringChunk* dictionary = nullptr;
};

// A readable name for the type a schema describes ("int64",
// "struct<a: string, b: double>"), for error messages.
std::string describe_type(const arrow::ArrowSchema& schema);

// Fills `source` and answers true when the schema is a column of strings we
// can read; false for any other type.
bool read_source(const arrow::ArrowSchema& schema, Source& source) noexcept;

// Fills `chunk` from an array of the type `source` describes, and for a
// dictionary column `dictionary` from the array's dictionary (the caller
// stores it and points chunk.dictionary at it). Answers false, with
// `problem` set, when the array's shape does not fit its type.
bool read_chunk(const arrow::ArrowArray& array, const Source& source, StringChunk& chunk, StringChunk& dictionary,
                const char*& problem) noexcept;

namespace detail {

constexpr bool bit(const std::uint8_t* bits, std::int64_t i) noexcept { return (bits[i >> 3] >> (i & 7)) & 1; }

template <class T>
T load(const void* p) noexcept {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Reads one row's text; `at` is the buffer row.
template <Layout layout>
std::string_view text_at(const StringChunk& c, std::int64_t at) noexcept {
    if constexpr (layout == Layout::Utf8 || layout == Layout::LargeUtf8) {
        using Offset = std::conditional_t<layout == Layout::Utf8, std::int32_t, std::int64_t>;
        const auto* offsets = static_cast<const Offset*>(c.offsets);
        const auto begin = offsets[at];
        return {c.data + begin, static_cast<std::size_t>(offsets[at + 1] - begin)};
    } else {
        // A view: length, then either the text itself (up to 12 bytes) or a
        // 4-byte prefix, the data buffer's index and the offset in it.
        constexpr std::int32_t INLINE_MAX = 12;
        const auto* view = static_cast<const char*>(c.offsets) + 16 * at;
        const auto size = load<std::int32_t>(view);
        if (size <= INLINE_MAX) return {view + 4, static_cast<std::size_t>(size)};
        const auto buffer = load<std::int32_t>(view + 8);
        const auto offset = load<std::int32_t>(view + 12);
        return {c.view_buffers[buffer] + offset, static_cast<std::size_t>(size)};
    }
}

template <Layout layout, class OnText, class OnNull>
void each_row(const StringChunk& c, OnText& on_text, OnNull& on_null) {
    if (c.validity == nullptr && c.outer_validity == nullptr) {
        for (std::int64_t i = 0; i < c.length; ++i) on_text(text_at<layout>(c, c.first + i));
        return;
    }
    for (std::int64_t i = 0; i < c.length; ++i) {
        const bool present = (c.validity == nullptr || bit(c.validity, c.first + i)) &&
                             (c.outer_validity == nullptr || bit(c.outer_validity, c.outer_first + i));
        if (present) {
            on_text(text_at<layout>(c, c.first + i));
        } else {
            on_null();
        }
    }
}

}  // namespace detail

// Rows [from, from + count) of `chunk`.
constexpr StringChunk slice(StringChunk chunk, std::int64_t from, std::int64_t count) noexcept {
    chunk.first += from;
    chunk.outer_first += from;
    chunk.length = count;
    return chunk;
}

// How many bytes of text the rows hold, nulls' bytes included (of a
// dictionary column: of its dictionary).
std::int64_t text_bytes(const StringChunk& chunk) noexcept;

// Calls on_text(text) or on_null() for every row, in order; `c` holds plain
// strings (its `index` is None).
template <class OnText, class OnNull>
void for_each_row(const StringChunk& c, OnText on_text, OnNull on_null) {
    switch (c.layout) {
    case Layout::Null:
        for (std::int64_t i = 0; i < c.length; ++i) on_null();
        return;
    case Layout::Utf8:
        return detail::each_row<Layout::Utf8>(c, on_text, on_null);
    case Layout::LargeUtf8:
        return detail::each_row<Layout::LargeUtf8>(c, on_text, on_null);
    case Layout::Utf8View:
        return detail::each_row<Layout::Utf8View>(c, on_text, on_null);
    }
}

}  // namespace cobalis::batch
