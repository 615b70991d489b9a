// Dictionary-encoded columns: each distinct string of the dictionary is
// checked once, and every row takes the answer of the string its index
// points at, so a column whose values repeat costs a lookup per row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/types.hpp"
#include "python/batch/column.hpp"
#include "python/batch/strings_in.hpp"

namespace cobalis::batch {

namespace detail {

template <class T, class OnIndex, class OnNull>
void each_index(const StringChunk& c, OnIndex& on_index, OnNull& on_null) {
    const auto* indices = static_cast<const T*>(c.indices) + c.first;
    const auto size = static_cast<std::uint64_t>(c.dictionary->length);
    for (std::int64_t i = 0; i < c.length; ++i) {
        const bool present = (c.validity == nullptr || bit(c.validity, c.first + i)) &&
                             (c.outer_validity == nullptr || bit(c.outer_validity, c.outer_first + i));
        const T k = indices[i];
        bool inside = static_cast<std::uint64_t>(k) < size;
        if constexpr (std::is_signed_v<T>) inside = inside && k >= 0;
        // An index past the dictionary (a malformed array) reads as null
        // rather than past the end of a buffer.
        if (present && inside) {
            on_index(static_cast<std::int64_t>(k));
        } else {
            on_null();
        }
    }
}

}  // namespace detail

// Calls on_index(k) for every row of a dictionary chunk that points at the
// dictionary's string k, on_null() for every null row, in order.
template <class OnIndex, class OnNull>
void for_each_index(const StringChunk& c, OnIndex on_index, OnNull on_null) {
    switch (c.index) {
    case Index::None:
        return;
    case Index::Int8:
        return detail::each_index<std::int8_t>(c, on_index, on_null);
    case Index::UInt8:
        return detail::each_index<std::uint8_t>(c, on_index, on_null);
    case Index::Int16:
        return detail::each_index<std::int16_t>(c, on_index, on_null);
    case Index::UInt16:
        return detail::each_index<std::uint16_t>(c, on_index, on_null);
    case Index::Int32:
        return detail::each_index<std::int32_t>(c, on_index, on_null);
    case Index::UInt32:
        return detail::each_index<std::uint32_t>(c, on_index, on_null);
    case Index::Int64:
        return detail::each_index<std::int64_t>(c, on_index, on_null);
    case Index::UInt64:
        return detail::each_index<std::uint64_t>(c, on_index, on_null);
    }
}

// Whether two chunks are the same strings (the same buffers, rows and
// validity): chunks of one column often share their dictionary.
bool same_strings(const StringChunk& a, const StringChunk& b) noexcept;

// The is_valid answers of a dictionary's strings.
class BoolDictionary {
public:
    using Check = bool (*)(std::string_view) noexcept;
    // Checks every string of `dictionary` on up to `threads` threads; throws
    // std::bad_alloc.
    void check(const StringChunk& dictionary, Check one, int threads);
    // Appends the answers of the rows of `chunk`, a column of this dictionary.
    void rows(const StringChunk& chunk, BoolColumnBuilder& out) const;

private:
    std::vector<std::int8_t> answers_;  // 1 valid, 0 not, -1 a null string
};

// The validate answers of a dictionary's strings.
class ResultDictionary {
public:
    using Check = ValidationResult (*)(std::string_view) noexcept;
    void check(const StringChunk& dictionary, Check one, int threads);
    void rows(const StringChunk& chunk, ResultColumnsBuilder& out) const;
    // About how many bytes the compact forms of `rows` rows take.
    [[nodiscard]] std::int64_t bytes_for(std::int64_t rows) const noexcept;

private:
    struct Entry {
        bool present = false;
        bool is_valid = false;
        std::optional<ErrorCode> error;
        std::uint32_t piece = 0;  // which of texts_ holds the two texts
        std::uint32_t compact_size = 0;
        std::uint32_t formatted_size = 0;
        std::size_t at = 0;  // compact, then formatted
    };
    std::vector<Entry> entries_;
    std::vector<std::string> texts_;
    std::int64_t compact_bytes_ = 0;
};

template <class Builder>
struct DictionaryOf;
template <>
struct DictionaryOf<BoolColumnBuilder> {
    using type = BoolDictionary;
};
template <>
struct DictionaryOf<ResultColumnsBuilder> {
    using type = ResultDictionary;
};

}  // namespace cobalis::batch
