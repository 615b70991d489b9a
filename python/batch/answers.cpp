#include "python/batch/answers.hpp"

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

#include "python/batch/parallel.hpp"

namespace cobalis::batch {
namespace {

// Below this many rows a call stays on one thread: starting threads and
// joining their pieces of the answer costs more than the rows take.
constexpr std::int64_t ROWS_WORTH_SPLITTING = 16384;

// A long column is cut into this many pieces per thread, taken in turn by
// whichever thread is free, so a core that another process slows down holds
// up one small piece rather than a whole share.
constexpr std::int64_t PIECES_PER_THREAD = 4;
constexpr std::int64_t PIECE_MIN_ROWS = 4096;

// Calls on_slice(chunk) for the part of each chunk of `window` that lies in
// rows [begin, end) of the window.
template <class OnSlice>
void for_each_slice(std::span<const StringChunk> window, std::int64_t begin, std::int64_t end, OnSlice on_slice) {
    std::int64_t first = 0;  // the window row of the chunk's row 0
    for (const StringChunk& chunk : window) {
        const std::int64_t from = std::max(begin, first), to = std::min(end, first + chunk.length);
        if (from < to) on_slice(slice(chunk, from - first, to - from));
        first += chunk.length;
        if (first >= end) break;
    }
}

}  // namespace

template <class Builder>
void AnswersOf<Builder>::check_dictionaries(std::span<const StringChunk> window, int threads) {
    // The window's arrays are released once it is checked, and new ones may
    // take their addresses: nothing is kept from one window to the next.
    dictionary_strings_.clear();
    dictionaries_.clear();
    for (const StringChunk& chunk : window) {
        if (chunk.dictionary == nullptr) continue;
        const auto seen = std::find_if(dictionary_strings_.begin(), dictionary_strings_.end(),
                                       [&](const StringChunk& s) { return same_strings(s, *chunk.dictionary); });
        if (seen != dictionary_strings_.end()) continue;
        dictionary_strings_.push_back(*chunk.dictionary);
        dictionaries_.emplace_back().check(*chunk.dictionary, one_, threads);
    }
}

template <class Builder>
const typename AnswersOf<Builder>::Dictionary& AnswersOf<Builder>::dictionary_of(
    const StringChunk& chunk) const noexcept {
    std::size_t i = 0;
    while (i + 1 < dictionary_strings_.size() && !same_strings(dictionary_strings_[i], *chunk.dictionary)) ++i;
    return dictionaries_[i];
}

template <class Builder>
void AnswersOf<Builder>::add(std::span<const StringChunk> window, std::int64_t rows, int threads) {
    check_dictionaries(window, threads);
    if (threads <= 1 || rows < ROWS_WORTH_SPLITTING) {
        if (pieces_.empty()) pieces_.emplace_back();
        for (const StringChunk& chunk : window) check(chunk, pieces_.back());
        return;
    }
    // Each piece gets its own builder; the pieces are joined at the end.
    const auto count = static_cast<std::size_t>(std::clamp(rows / PIECE_MIN_ROWS, std::int64_t{1},
                                                            PIECES_PER_THREAD * threads));
    const std::size_t first = pieces_.size();
    pieces_.resize(first + count);
    // A thread fills a builder on its own stack and moves it into place
    // when done: builders side by side in pieces_ share cache lines, and
    // the counts each row updates would bounce between the cores.
    const bool ok = run_tasks(count, threads, [&](std::size_t i) {
        const auto n = static_cast<std::int64_t>(count), k = static_cast<std::int64_t>(i);
        Builder piece;
        for_each_slice(window, rows * k / n, rows * (k + 1) / n,
                       [&](const StringChunk& part) { check(part, piece); });
        pieces_[first + i] = std::move(piece);
    });
    if (!ok) throw std::bad_alloc();
}

template <class Builder>
std::shared_ptr<const Column> AnswersOf<Builder>::finish(int threads) {
    if (pieces_.empty()) return Builder().finish();
    if (pieces_.size() == 1) return pieces_.front().finish();
    if constexpr (std::is_same_v<Builder, ResultColumnsBuilder>) {
        return Builder::join(pieces_, threads);
    } else {
        return Builder::join(pieces_);
    }
}

template <class Builder>
void AnswersOf<Builder>::check(const StringChunk& chunk, Builder& out) {
    if (chunk.dictionary != nullptr) {
        const Dictionary& dictionary = dictionary_of(chunk);
        if constexpr (std::is_same_v<Builder, ResultColumnsBuilder>) {
            out.reserve(chunk.length, dictionary.bytes_for(chunk.length));
        } else {
            out.reserve(chunk.length);
        }
        dictionary.rows(chunk, out);
        return;
    }
    if constexpr (std::is_same_v<Builder, ResultColumnsBuilder>) {
        out.reserve(chunk.length, text_bytes(chunk));
    } else {
        out.reserve(chunk.length);
    }
    rows_(chunk, out);
}

template class AnswersOf<BoolColumnBuilder>;
template class AnswersOf<ResultColumnsBuilder>;

}  // namespace cobalis::batch
