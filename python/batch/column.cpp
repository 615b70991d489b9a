#include "python/batch/column.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace cobalis::batch {
namespace {

std::atomic<std::int64_t> live{0};

// Stands in for a buffer of no bytes: consumers may expect every buffer but
// the validity bitmap to be a real pointer.
alignas(64) constexpr std::uint8_t EMPTY_BUFFER[64]{};

const void* address_of(const void* data, std::size_t size) noexcept {
    return size == 0 ? static_cast<const void*>(EMPTY_BUFFER) : data;
}

template <class T>
const void* address_of(const PodBuffer<T>& buffer) noexcept {
    return address_of(buffer.data(), buffer.size());
}

}  // namespace

Column::Column() noexcept { live.fetch_add(1, std::memory_order_relaxed); }
Column::~Column() { live.fetch_sub(1, std::memory_order_relaxed); }

Counted::Counted() noexcept { live.fetch_add(1, std::memory_order_relaxed); }
Counted::~Counted() { live.fetch_sub(1, std::memory_order_relaxed); }

std::int64_t outstanding() noexcept { return live.load(std::memory_order_relaxed); }

namespace {

// A large buffer is filled once, front to back, right after it is made: in
// pages of 2 MiB (where the system keeps them for those who ask, as Linux
// does by default) it takes one fault where 4 KiB pages take 512, and the
// threads of a split call fault their pieces in at the same time.
void ask_for_large_pages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) noexcept {
#ifdef __linux__
    constexpr std::uintptr_t LARGE_PAGE = std::uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(LARGE_PAGE - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // a hint; failure is harmless
#endif
}

}  // namespace

template <class T>
void PodBuffer<T>::grow(std::size_t needed) {
    constexpr std::size_t FIRST = 64 / sizeof(T);
    const std::size_t capacity = std::max({needed, 2 * capacity_, FIRST});
    void* grown = std::realloc(data_, capacity * sizeof(T));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = capacity;
    ask_for_large_pages(data_, capacity * sizeof(T));
}

template <class T>
std::shared_ptr<const void> PodBuffer<T>::freeze() {
    std::shared_ptr<const void> owner(data_, std::free);  // frees data_ itself if this throws
    data_ = nullptr;
    size_ = capacity_ = 0;
    return owner;
}

template class PodBuffer<std::uint8_t>;
template class PodBuffer<std::int32_t>;
template class PodBuffer<std::int64_t>;
template class PodBuffer<char>;

const void* Bitmap::address() const noexcept { return address_of(bytes_); }

void Bitmap::copy_in(std::int64_t at, const Bitmap& from, std::int64_t rows) noexcept {
    const std::uint8_t* source = from.bytes_.data();
    std::uint8_t* target = bytes_.data() + (at >> 3);
    const auto shift = static_cast<unsigned>(at & 7);
    const auto count = static_cast<std::size_t>((rows + 7) / 8);
    // A piece's bits past its last row are zero, so whole bytes can be ORed in.
    for (std::size_t i = 0; i < count; ++i) {
        target[i] |= static_cast<std::uint8_t>(source[i] << shift);
        if (shift != 0) target[i + 1] |= static_cast<std::uint8_t>(source[i] >> (8 - shift));
    }
}

void BoolColumnBuilder::reserve(std::int64_t more_rows) {
    values_.grow_to(rows_ + more_rows);
    validity_.grow_to(rows_ + more_rows);
}

std::shared_ptr<const Column> BoolColumnBuilder::finish() {
    auto column = std::make_shared<Column>();
    column->format = "b";
    column->length = rows_;
    column->null_count = nulls_;
    column->buffers = {nulls_ != 0 ? validity_.address() : nullptr, values_.address()};
    column->owners = {validity_.freeze(), values_.freeze()};
    return column;
}

std::shared_ptr<const Column> BoolColumnBuilder::join(std::span<const BoolColumnBuilder> pieces) {
    BoolColumnBuilder joined;
    for (const auto& piece : pieces) {
        joined.rows_ += piece.rows_;
        joined.nulls_ += piece.nulls_;
    }
    joined.values_.grow_to(joined.rows_ + 8);
    joined.validity_.grow_to(joined.rows_ + 8);
    std::int64_t at = 0;
    for (const auto& piece : pieces) {
        joined.values_.copy_in(at, piece.values_, piece.rows_);
        joined.validity_.copy_in(at, piece.validity_, piece.rows_);
        at += piece.rows_;
    }
    return joined.finish();
}

void StringColumnBuilder::reserve(std::int64_t more_rows, std::int64_t more_bytes) {
    const auto rows = static_cast<std::size_t>(more_rows);
    if (wide_) {
        wide_offsets_.reserve(wide_offsets_.size() + rows);
    } else {
        narrow_.reserve(narrow_.size() + rows);
    }
    data_.reserve(data_.size() + static_cast<std::size_t>(more_bytes));
}

void StringColumnBuilder::end_wide_row() {
    if (!wide_) {
        wide_offsets_.reserve(narrow_.size() + 1);
        for (std::size_t i = 0; i < narrow_.size(); ++i) wide_offsets_.push_back(narrow_[i]);
        narrow_.freeze();  // no longer needed: dropped at once
        wide_ = true;
    }
    wide_offsets_.push_back(static_cast<std::int64_t>(data_.size()));
}

void StringColumnBuilder::copy_rows_of(const StringColumnBuilder& other) {
    narrow_.clear();
    wide_offsets_.clear();
    data_.clear();
    wide_ = other.wide_;
    narrow_.append(other.narrow_.data(), other.narrow_.size());
    wide_offsets_.append(other.wide_offsets_.data(), other.wide_offsets_.size());
    data_.append(other.data_.data(), other.data_.size());
}

std::int64_t StringColumnBuilder::rows() const noexcept {
    return static_cast<std::int64_t>(wide_ ? wide_offsets_.size() : narrow_.size()) - 1;
}

void StringColumnBuilder::size_for(std::int64_t rows, std::int64_t bytes) {
    // Called on a new builder, whose one offset is the 0 of row 0.
    const auto offsets = static_cast<std::size_t>(rows) + 1;
    wide_ = static_cast<std::size_t>(bytes) > NARROW_MAX;
    if (wide_) {
        narrow_.freeze();
        wide_offsets_.resize_for_writing(offsets);
        wide_offsets_.data()[0] = 0;
    } else {
        narrow_.resize_for_writing(offsets);
    }
    data_.resize_for_writing(static_cast<std::size_t>(bytes));
}

namespace {

// Writes offsets 1..rows of a piece, moved by `base`, from `target` on.
template <class To, class From>
void shift_offsets(To* target, const From* source, std::int64_t rows, std::int64_t base) noexcept {
    for (std::int64_t i = 1; i <= rows; ++i) target[i] = static_cast<To>(source[i] + base);
}

}  // namespace

void StringColumnBuilder::copy_in(std::int64_t first_row, std::int64_t first_byte,
                                  const StringColumnBuilder& piece) noexcept {
    // Offset 0 of every piece is the last offset of the one before: only
    // offsets 1 and on are written, so no two pieces write the same place.
    const std::int64_t rows = piece.rows();
    if (piece.data_.size() != 0) std::memcpy(data_.data() + first_byte, piece.data_.data(), piece.data_.size());
    if (wide_) {
        std::int64_t* target = wide_offsets_.data() + first_row;
        if (piece.wide_) {
            shift_offsets(target, piece.wide_offsets_.data(), rows, first_byte);
        } else {
            shift_offsets(target, piece.narrow_.data(), rows, first_byte);
        }
    } else {
        shift_offsets(narrow_.data() + first_row, piece.narrow_.data(), rows, first_byte);
    }
}

std::shared_ptr<Column> StringColumnBuilder::finish(const char* name) {
    auto column = std::make_shared<Column>();
    column->name = name;
    column->format = wide_ ? "U" : "u";
    column->length = static_cast<std::int64_t>(wide_ ? wide_offsets_.size() : narrow_.size()) - 1;
    const void* offsets = wide_ ? address_of(wide_offsets_) : address_of(narrow_);
    column->buffers = {nullptr, offsets, address_of(data_)};
    column->owners = {wide_ ? wide_offsets_.freeze() : narrow_.freeze(), data_.freeze()};
    return column;
}

}  // namespace cobalis::batch
