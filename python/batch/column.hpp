// The answers of a batch call as Arrow columns: built row by row into plain
// buffers, then frozen into a Column that every export shares.
//
// A Column never changes once built. Each export (schema, array, stream)
// holds a reference to it, so the buffers live until the last consumer has
// called the export's release callback, whichever order things end in.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/types.hpp"
#include "python/batch/arrow_abi.hpp"

namespace cobalis::batch {

struct Column {
    const char* format = "";  // static texts
    const char* name = "";
    std::int64_t length = 0;
    std::int64_t null_count = 0;
    std::vector<const void*> buffers;  // as the format lays them out
    std::vector<std::shared_ptr<const Column>> children;
    std::vector<std::shared_ptr<const void>> owners;  // what keeps `buffers` alive

    Column() noexcept;
    ~Column();
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;
};

// Columns, exports and streams of this module that are still alive: zero
// once every answer and everything exported from it has been released.
std::int64_t outstanding() noexcept;

// A bitmap written one bit at a time over zeroed bytes.
class Bitmap {
public:
    void grow_to(std::int64_t rows);
    void set(std::int64_t row) noexcept { bytes_[row >> 3] |= static_cast<std::uint8_t>(1u << (row & 7)); }
    std::shared_ptr<const std::vector<std::uint8_t>> freeze();

private:
    std::vector<std::uint8_t> bytes_;
};

// Answers of is_valid: a boolean column, null where the input was null.
class BoolColumnBuilder {
public:
    void reserve(std::int64_t more_rows);
    void append(bool value) noexcept {
        if (value) values_.set(rows_);
        validity_.set(rows_);
        ++rows_;
    }
    void append_null() noexcept {
        ++nulls_;
        ++rows_;
    }
    std::shared_ptr<const Column> finish();

private:
    Bitmap values_;
    Bitmap validity_;
    std::int64_t rows_ = 0;
    std::int64_t nulls_ = 0;
};

// A string column whose offsets are narrowed to 32 bits at the end when the
// data fits ("u"), and stay 64-bit otherwise ("U").
class StringColumnBuilder {
public:
    StringColumnBuilder() : offsets_{0} {}
    void reserve(std::int64_t more_rows);
    void append(std::string_view text) {
        data_.insert(data_.end(), text.begin(), text.end());
        offsets_.push_back(static_cast<std::int64_t>(data_.size()));
    }
    void append_empty() { offsets_.push_back(static_cast<std::int64_t>(data_.size())); }
    std::shared_ptr<Column> finish(const char* name);

private:
    std::vector<std::int64_t> offsets_;
    std::vector<char> data_;
};

// Answers of validate: a struct of is_valid, error, compact and formatted,
// the whole row null where the input was null.
class ResultColumnsBuilder {
public:
    void reserve(std::int64_t more_rows);
    void append(const ValidationResult& result);
    void append_null();
    std::shared_ptr<const Column> finish();

private:
    Bitmap validity_;
    Bitmap is_valid_;
    Bitmap error_validity_;
    StringColumnBuilder error_;
    StringColumnBuilder compact_;
    StringColumnBuilder formatted_;
    std::int64_t rows_ = 0;
    std::int64_t nulls_ = 0;
    std::int64_t errors_ = 0;
};

// Fill a consumer's struct with a new export of `column`. They throw
// std::bad_alloc (and fill nothing) when memory runs out.
void export_schema(const Column& column, arrow::ArrowSchema* out);
void export_array(const std::shared_ptr<const Column>& column, arrow::ArrowArray* out);
void export_stream(const std::shared_ptr<const Column>& column, arrow::ArrowArrayStream* out);

}  // namespace cobalis::batch
