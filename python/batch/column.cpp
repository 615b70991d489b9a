#include "python/batch/column.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "python/batch/parallel.hpp"

namespace cobalis::batch {
namespace {

using arrow::ArrowArray;
using arrow::ArrowArrayStream;
using arrow::ArrowSchema;

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

// Keeps the live count honest for every object handed to a consumer.
struct Counted {
    Counted() noexcept { live.fetch_add(1, std::memory_order_relaxed); }
    ~Counted() { live.fetch_sub(1, std::memory_order_relaxed); }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
};

}  // namespace

Column::Column() noexcept { live.fetch_add(1, std::memory_order_relaxed); }
Column::~Column() { live.fetch_sub(1, std::memory_order_relaxed); }

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

void ResultColumnsBuilder::reserve(std::int64_t more_rows, std::int64_t input_bytes) {
    // Room for the texts as they usually come out, so that they rarely move
    // while growing: compact forms never outgrow their input, and display
    // forms add a separator every few characters.
    const std::int64_t rows = rows_ + more_rows;
    validity_.grow_to(rows);
    is_valid_.grow_to(rows);
    error_validity_.grow_to(rows);
    // (And a chunk more, which whole-chunk copies write past the last text.)
    constexpr std::int64_t CHUNK = 16;
    error_.reserve(more_rows);
    compact_.reserve(more_rows, input_bytes + CHUNK);
    if (!formatted_is_compact_) formatted_.reserve(more_rows, input_bytes + input_bytes / 2 + CHUNK);
}

void ResultColumnsBuilder::append(const ValidationResult& result) {
    validity_.set(rows_);
    if (result.is_valid) is_valid_.set(rows_);
    if (result.error) {
        error_validity_.set(rows_);
        error_.append(error_text(*result.error));
        ++errors_;
    } else {
        error_.append_empty();
    }
    if (formatted_is_compact_ && result.formatted.view() != result.compact.view()) {
        formatted_.copy_rows_of(compact_);  // every row so far was displayed as its compact form
        formatted_is_compact_ = false;
    }
    compact_.append(result.compact);
    if (!formatted_is_compact_) formatted_.append(result.formatted);
    ++rows_;
}

void ResultColumnsBuilder::append_null() {
    error_.append_empty();
    compact_.append_empty();
    if (!formatted_is_compact_) formatted_.append_empty();
    ++nulls_;
    ++rows_;
}

std::shared_ptr<const Column> ResultColumnsBuilder::finish() {
    const void* rows_present = nulls_ != 0 ? validity_.address() : nullptr;
    auto validity = validity_.freeze();

    auto is_valid = std::make_shared<Column>();
    is_valid->format = "b";
    is_valid->name = "is_valid";
    is_valid->length = rows_;
    is_valid->null_count = nulls_;
    is_valid->buffers = {rows_present, is_valid_.address()};
    is_valid->owners = {validity, is_valid_.freeze()};

    auto error = error_.finish("error");
    error->null_count = rows_ - errors_;
    error->buffers[0] = error->null_count != 0 ? error_validity_.address() : nullptr;
    error->owners.push_back(error_validity_.freeze());

    auto compact = compact_.finish("compact");
    std::shared_ptr<Column> formatted;
    if (formatted_is_compact_) {
        formatted = std::make_shared<Column>();
        formatted->format = compact->format;
        formatted->name = "formatted";
        formatted->length = compact->length;
        formatted->buffers = compact->buffers;
        formatted->owners = compact->owners;
    } else {
        formatted = formatted_.finish("formatted");
    }
    for (const auto& text : {compact, formatted}) {
        text->null_count = nulls_;
        text->buffers[0] = rows_present;
        text->owners.push_back(validity);
    }

    auto row = std::make_shared<Column>();
    row->format = "+s";
    row->length = rows_;
    row->null_count = nulls_;
    row->buffers = {rows_present};
    row->owners = {std::move(validity)};
    row->children = {std::move(is_valid), std::move(error), std::move(compact), std::move(formatted)};
    return row;
}

std::shared_ptr<const Column> ResultColumnsBuilder::join(std::span<ResultColumnsBuilder> pieces, int threads) {
    // Where each piece starts in the joined column: its first row, and the
    // first byte of its error, compact and formatted texts.
    struct Start {
        std::int64_t row = 0, error = 0, compact = 0, formatted = 0;
    };
    std::vector<Start> starts(pieces.size() + 1);
    ResultColumnsBuilder joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const ResultColumnsBuilder& piece = pieces[i];
        const StringColumnBuilder& formatted = piece.formatted_is_compact_ ? piece.compact_ : piece.formatted_;
        starts[i + 1] = {starts[i].row + piece.rows_, starts[i].error + piece.error_.bytes(),
                         starts[i].compact + piece.compact_.bytes(), starts[i].formatted + formatted.bytes()};
        joined.nulls_ += piece.nulls_;
        joined.errors_ += piece.errors_;
        joined.formatted_is_compact_ = joined.formatted_is_compact_ && piece.formatted_is_compact_;
    }
    const Start& end = starts.back();
    joined.rows_ = end.row;
    for (Bitmap* bitmap : {&joined.validity_, &joined.is_valid_, &joined.error_validity_}) bitmap->grow_to(end.row + 8);
    joined.error_.size_for(end.row, end.error);
    joined.compact_.size_for(end.row, end.compact);
    if (!joined.formatted_is_compact_) joined.formatted_.size_for(end.row, end.formatted);

    // Task 0 joins the bitmaps (small, and sharing bytes where pieces meet);
    // task 1 + i copies the texts of piece i.
    const bool ok = run_tasks(pieces.size() + 1, threads, [&](std::size_t task) {
        if (task == 0) {
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                const std::int64_t at = starts[i].row, rows = pieces[i].rows_;
                joined.validity_.copy_in(at, pieces[i].validity_, rows);
                joined.is_valid_.copy_in(at, pieces[i].is_valid_, rows);
                joined.error_validity_.copy_in(at, pieces[i].error_validity_, rows);
            }
            return;
        }
        // Freeing here, not after the join, spreads the unmapping of large
        // buffers over the threads too. The bitmaps stay, for task 0.
        ResultColumnsBuilder& piece = pieces[task - 1];
        const Start& start = starts[task - 1];
        joined.error_.copy_in(start.row, start.error, piece.error_);
        joined.compact_.copy_in(start.row, start.compact, piece.compact_);
        if (!joined.formatted_is_compact_) {
            joined.formatted_.copy_in(start.row, start.formatted,
                                      piece.formatted_is_compact_ ? piece.compact_ : piece.formatted_);
        }
        for (StringColumnBuilder* texts : {&piece.error_, &piece.compact_, &piece.formatted_}) texts->drop();
    });
    if (!ok) throw std::bad_alloc();
    return joined.finish();
}

namespace {

struct SchemaExport : Counted {
    std::vector<ArrowSchema> children;
    std::vector<ArrowSchema*> child_pointers;
};

void release_schema(ArrowSchema* schema) noexcept {
    auto* state = static_cast<SchemaExport*>(schema->private_data);
    for (ArrowSchema* child : state->child_pointers) {
        if (child->release != nullptr) child->release(child);
    }
    delete state;
    schema->release = nullptr;
}

struct ArrayExport : Counted {
    std::shared_ptr<const Column> column;
    std::vector<const void*> buffers;
    std::vector<ArrowArray> children;
    std::vector<ArrowArray*> child_pointers;
};

void release_array(ArrowArray* array) noexcept {
    auto* state = static_cast<ArrayExport*>(array->private_data);
    for (ArrowArray* child : state->child_pointers) {
        if (child->release != nullptr) child->release(child);
    }
    delete state;
    array->release = nullptr;
}

// Exports every child into `children` (zeroed beforehand); if one fails, the
// ones already made are released before the failure goes on.
template <class Struct, class ExportOne>
void export_children(std::vector<Struct*>& children, ExportOne export_one) {
    try {
        for (std::size_t i = 0; i < children.size(); ++i) export_one(i, children[i]);
    } catch (...) {
        for (Struct* child : children) {
            if (child->release != nullptr) child->release(child);
        }
        throw;
    }
}

template <class Struct, class State>
void point_at_children(State& state, std::size_t count) {
    state.children.resize(count);
    state.child_pointers.reserve(count);
    for (Struct& child : state.children) state.child_pointers.push_back(&child);
}

}  // namespace

void export_schema(const Column& column, ArrowSchema* out) {
    auto state = std::make_unique<SchemaExport>();
    point_at_children<ArrowSchema>(*state, column.children.size());
    export_children(state->child_pointers,
                    [&](std::size_t i, ArrowSchema* child) { export_schema(*column.children[i], child); });
    *out = ArrowSchema{
        column.format,
        column.name,
        nullptr,
        arrow::FLAG_NULLABLE,
        static_cast<std::int64_t>(state->children.size()),
        state->children.empty() ? nullptr : state->child_pointers.data(),
        nullptr,
        release_schema,
        state.get(),
    };
    (void)state.release();
}

void export_array(const std::shared_ptr<const Column>& column, ArrowArray* out) {
    auto state = std::make_unique<ArrayExport>();
    state->column = column;
    state->buffers = column->buffers;
    point_at_children<ArrowArray>(*state, column->children.size());
    export_children(state->child_pointers,
                    [&](std::size_t i, ArrowArray* child) { export_array(column->children[i], child); });
    *out = ArrowArray{
        column->length,
        column->null_count,
        0,
        static_cast<std::int64_t>(state->buffers.size()),
        static_cast<std::int64_t>(state->children.size()),
        state->buffers.data(),
        state->children.empty() ? nullptr : state->child_pointers.data(),
        nullptr,
        release_array,
        state.get(),
    };
    (void)state.release();
}

namespace {

// A stream of exactly one array: the whole column.
struct StreamExport : Counted {
    std::shared_ptr<const Column> column;
    bool delivered = false;
};

StreamExport& state_of(ArrowArrayStream* stream) noexcept {
    return *static_cast<StreamExport*>(stream->private_data);
}

int stream_get_schema(ArrowArrayStream* stream, ArrowSchema* out) noexcept {
    try {
        export_schema(*state_of(stream).column, out);
        return 0;
    } catch (...) {
        return ENOMEM;
    }
}

int stream_get_next(ArrowArrayStream* stream, ArrowArray* out) noexcept {
    StreamExport& state = state_of(stream);
    if (state.delivered) {
        *out = ArrowArray{};  // released: the end of the stream
        return 0;
    }
    try {
        export_array(state.column, out);
        state.delivered = true;
        return 0;
    } catch (...) {
        return ENOMEM;
    }
}

const char* stream_get_last_error(ArrowArrayStream*) noexcept { return "out of memory"; }

void stream_release(ArrowArrayStream* stream) noexcept {
    delete &state_of(stream);
    stream->release = nullptr;
}

}  // namespace

void export_stream(const std::shared_ptr<const Column>& column, ArrowArrayStream* out) {
    auto state = std::make_unique<StreamExport>();
    state->column = column;
    *out = ArrowArrayStream{stream_get_schema, stream_get_next, stream_get_last_error, stream_release, state.get()};
    (void)state.release();
}

}  // namespace cobalis::batch
