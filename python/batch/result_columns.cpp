// The answers of validate as one struct column, built row by row, and the
// pieces of a split call joined into one.
#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "python/batch/column.hpp"
#include "python/batch/parallel.hpp"

namespace cobalis::batch {

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
    append_parts(result.is_valid, result.error, result.compact, result.formatted,
                 result.formatted.view() == result.compact.view());
}

void ResultColumnsBuilder::append(bool is_valid, std::optional<ErrorCode> error, std::string_view compact,
                                  std::string_view formatted) {
    append_parts(is_valid, error, compact, formatted, formatted == compact);
}

template <class Text>
void ResultColumnsBuilder::append_parts(bool is_valid, std::optional<ErrorCode> error, const Text& compact,
                                        const Text& formatted, bool same_texts) {
    validity_.set(rows_);
    if (is_valid) is_valid_.set(rows_);
    if (error) {
        error_validity_.set(rows_);
        error_.append(error_text(*error));
        ++errors_;
    } else {
        error_.append_empty();
    }
    if (formatted_is_compact_ && !same_texts) {
        formatted_.copy_rows_of(compact_);  // every row so far was displayed as its compact form
        formatted_is_compact_ = false;
    }
    compact_.append(compact);
    if (!formatted_is_compact_) formatted_.append(formatted);
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

}  // namespace cobalis::batch
