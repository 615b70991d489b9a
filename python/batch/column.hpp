// The answers of a batch call as Arrow columns: built row by row into plain
// buffers, then frozen into a Column that every export shares.
//
// A Column never changes once built. Each export (schema, array, stream)
// holds a reference to it, so the buffers live until the last consumer has
// called the export's release callback, whichever order things end in.
//
// The buffers and the bool and string builders are in column.cpp, the
// struct of validate in result_columns.cpp, the exports in column_export.hpp.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "core/types.hpp"

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

// Counts itself in outstanding() while it lives: the base of every object an
// export hands to a consumer.
struct Counted {
    Counted() noexcept;
    ~Counted();
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
};

// A growable buffer of plain values. Growing goes through realloc, which
// moves large blocks by remapping pages rather than copying them; freeze()
// hands the memory over to a Column.
template <class T>
class PodBuffer {
public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer&) = delete;
    PodBuffer& operator=(const PodBuffer&) = delete;
    PodBuffer(PodBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    PodBuffer& operator=(PodBuffer&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }
    ~PodBuffer() { std::free(data_); }

    void reserve(std::size_t n) {
        if (n > capacity_) grow(n);
    }
    void push_back(T value) {
        if (size_ == capacity_) grow(size_ + 1);
        data_[size_++] = value;
    }
    void append(const T* values, std::size_t n) {
        if (size_ + n > capacity_) grow(size_ + n);
        if (n != 0) std::memcpy(data_ + size_, values, n * sizeof(T));
        size_ += n;
    }
    // Appends the `n` values at `values`, which may be read past them up to
    // `readable` values: while there is room, they go in whole 16-byte
    // chunks rather than through a call to memcpy. Whatever a chunk carries
    // past the n values lies past the buffer's size, where the next append
    // writes, or past the last row.
    void append_chunks(const T* values, std::size_t n, std::size_t readable) {
        constexpr std::size_t CHUNK = 16 / sizeof(T);
        const std::size_t chunks = (n + CHUNK - 1) / CHUNK;
        if (chunks * CHUNK <= readable && size_ + chunks * CHUNK <= capacity_) [[likely]] {
            for (std::size_t k = 0; k < chunks; ++k) std::memcpy(data_ + size_ + k * CHUNK, values + k * CHUNK, 16);
            size_ += n;
            return;
        }
        append(values, n);
    }
    void clear() noexcept { size_ = 0; }
    // Grows to `n` values whose contents are left to the caller to write. The
    // memory is not touched here, so that the threads filling it in take
    // their own page faults.
    void resize_for_writing(std::size_t n) {
        reserve(n);
        size_ = n;
    }
    // Grows to `n` values, the new ones zero.
    void resize_zeroed(std::size_t n) {
        if (n <= size_) return;
        reserve(n);
        std::memset(data_ + size_, 0, (n - size_) * sizeof(T));
        size_ = n;
    }
    [[nodiscard]] T* data() noexcept { return data_; }
    [[nodiscard]] const T* data() const noexcept { return data_; }
    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    [[nodiscard]] T operator[](std::size_t i) const noexcept { return data_[i]; }

    // The memory, now owned by the answer; the buffer is left empty.
    std::shared_ptr<const void> freeze();

private:
    void grow(std::size_t needed);

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// A bitmap written one bit at a time over zeroed bytes.
class Bitmap {
public:
    void grow_to(std::int64_t rows) { bytes_.resize_zeroed(static_cast<std::size_t>((rows + 7) / 8)); }
    void set(std::int64_t row) noexcept { bytes_.data()[row >> 3] |= static_cast<std::uint8_t>(1u << (row & 7)); }
    // ORs the first `rows` bits of `from` in from bit `at` on; this bitmap has
    // been grown to at least `at + rows + 8` bits.
    void copy_in(std::int64_t at, const Bitmap& from, std::int64_t rows) noexcept;
    const void* address() const noexcept;
    std::shared_ptr<const void> freeze() { return bytes_.freeze(); }

private:
    PodBuffer<std::uint8_t> bytes_;
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
    // The rows of `pieces`, in order, as one column.
    static std::shared_ptr<const Column> join(std::span<const BoolColumnBuilder> pieces);

private:
    Bitmap values_;
    Bitmap validity_;
    std::int64_t rows_ = 0;
    std::int64_t nulls_ = 0;
};

// A string column with 32-bit offsets ("u") while its data fits them; once
// it outgrows them, every offset is widened to 64 bits ("U").
class StringColumnBuilder {
public:
    StringColumnBuilder() { narrow_.push_back(0); }
    void reserve(std::int64_t more_rows, std::int64_t more_bytes = 0);
    void append(std::string_view text) {
        data_.append(text.data(), text.size());
        end_row();
    }
    // A result's text, whose whole buffer may be read.
    void append(const InlineString& text) {
        data_.append_chunks(text.data(), text.size(), InlineString::CAPACITY);
        end_row();
    }
    void append_empty() { end_row(); }
    // Becomes a copy of `other`, every row so far.
    void copy_rows_of(const StringColumnBuilder& other);
    std::shared_ptr<Column> finish(const char* name);

    [[nodiscard]] std::int64_t rows() const noexcept;
    [[nodiscard]] std::int64_t bytes() const noexcept { return static_cast<std::int64_t>(data_.size()); }
    // Joining pieces: an empty builder is sized for all their rows, then each
    // piece is copied into its place, different pieces from different
    // threads at once.
    void size_for(std::int64_t rows, std::int64_t bytes);
    void copy_in(std::int64_t first_row, std::int64_t first_byte, const StringColumnBuilder& piece) noexcept;
    // Frees the rows, leaving a builder fit only to be destroyed.
    void drop() noexcept {
        narrow_ = {};
        wide_offsets_ = {};
        data_ = {};
    }

private:
    static constexpr std::size_t NARROW_MAX = 0x7fffffff;
    void end_row() {
        if (!wide_ && data_.size() <= NARROW_MAX) [[likely]] {
            narrow_.push_back(static_cast<std::int32_t>(data_.size()));
        } else {
            end_wide_row();
        }
    }
    void end_wide_row();

    PodBuffer<std::int32_t> narrow_;
    PodBuffer<std::int64_t> wide_offsets_;
    bool wide_ = false;
    PodBuffer<char> data_;
};

// Answers of validate: a struct of is_valid, error, compact and formatted,
// the whole row null where the input was null. Many kinds display an id
// exactly as its compact form; while every row so far does, formatted is not
// written at all and shares the compact column's buffers in the end.
class ResultColumnsBuilder {
public:
    // `input_bytes`: the text the rows hold, which bounds their compact forms.
    void reserve(std::int64_t more_rows, std::int64_t input_bytes);
    void append(const ValidationResult& result);
    // A row made of a result's parts, its texts held elsewhere.
    void append(bool is_valid, std::optional<ErrorCode> error, std::string_view compact, std::string_view formatted);
    void append_null();
    std::shared_ptr<const Column> finish();
    // The rows of `pieces`, in order, as one column; the texts are copied on
    // up to `threads` threads, each piece's freed as soon as copied.
    static std::shared_ptr<const Column> join(std::span<ResultColumnsBuilder> pieces, int threads);

private:
    template <class Text>
    void append_parts(bool is_valid, std::optional<ErrorCode> error, const Text& compact, const Text& formatted,
                      bool same_texts);

    Bitmap validity_;
    Bitmap is_valid_;
    Bitmap error_validity_;
    StringColumnBuilder error_;
    StringColumnBuilder compact_;
    StringColumnBuilder formatted_;  // empty while formatted_is_compact_
    bool formatted_is_compact_ = true;
    std::int64_t rows_ = 0;
    std::int64_t nulls_ = 0;
    std::int64_t errors_ = 0;
};

}  // namespace cobalis::batch
