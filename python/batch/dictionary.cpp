#include "python/batch/dictionary.hpp"

#include <algorithm>
#include <new>

#include "python/batch/parallel.hpp"

namespace cobalis::batch {
namespace {

// A dictionary this long is checked on several threads, in this many
// pieces per thread.
constexpr std::int64_t ENTRIES_WORTH_SPLITTING = 16384;
constexpr std::int64_t PIECES_PER_THREAD = 4;

// Calls check_piece(piece, first, count) over the dictionary's strings cut
// into `pieces` runs, on up to `threads` threads.
template <class CheckPiece>
void in_pieces(std::int64_t length, std::size_t pieces, int threads, CheckPiece check_piece) {
    const auto n = static_cast<std::int64_t>(pieces);
    auto task = [&](std::size_t i) {
        const auto k = static_cast<std::int64_t>(i);
        const std::int64_t first = length * k / n;
        check_piece(i, first, length * (k + 1) / n - first);
    };
    if (pieces == 1) {
        task(0);
    } else if (!run_tasks(pieces, threads, task)) {
        throw std::bad_alloc();
    }
}

std::size_t pieces_for(std::int64_t length, int threads) noexcept {
    if (threads <= 1 || length < ENTRIES_WORTH_SPLITTING) return 1;
    return static_cast<std::size_t>(
        std::clamp(length / (ENTRIES_WORTH_SPLITTING / 4), std::int64_t{1}, PIECES_PER_THREAD * threads));
}

}  // namespace

bool same_strings(const StringChunk& a, const StringChunk& b) noexcept {
    return a.layout == b.layout && a.length == b.length && a.first == b.first && a.validity == b.validity &&
           a.offsets == b.offsets && a.data == b.data && a.view_buffers == b.view_buffers;
}

void BoolDictionary::check(const StringChunk& dictionary, Check one, int threads) {
    answers_.resize(static_cast<std::size_t>(dictionary.length));
    in_pieces(dictionary.length, pieces_for(dictionary.length, threads), threads,
              [&](std::size_t, std::int64_t first, std::int64_t count) {
                  std::int8_t* out = answers_.data() + first;
                  for_each_row(
                      slice(dictionary, first, count), [&](std::string_view text) { *out++ = one(text) ? 1 : 0; },
                      [&] { *out++ = -1; });
              });
}

void BoolDictionary::rows(const StringChunk& chunk, BoolColumnBuilder& out) const {
    const std::int8_t* answers = answers_.data();
    for_each_index(
        chunk,
        [&](std::int64_t k) {
            if (answers[k] < 0) {
                out.append_null();
            } else {
                out.append(answers[k] != 0);
            }
        },
        [&] { out.append_null(); });
}

void ResultDictionary::check(const StringChunk& dictionary, Check one, int threads) {
    const std::size_t pieces = pieces_for(dictionary.length, threads);
    entries_.assign(static_cast<std::size_t>(dictionary.length), Entry{});
    texts_.assign(pieces, std::string());
    in_pieces(dictionary.length, pieces, threads, [&](std::size_t piece, std::int64_t first, std::int64_t count) {
        Entry* entry = entries_.data() + first;
        std::string& texts = texts_[piece];
        for_each_row(
            slice(dictionary, first, count),
            [&](std::string_view text) {
                const ValidationResult result = one(text);
                const std::string_view compact = result.compact.view(), formatted = result.formatted.view();
                *entry++ = {true,
                            result.is_valid,
                            result.error,
                            static_cast<std::uint32_t>(piece),
                            static_cast<std::uint32_t>(compact.size()),
                            static_cast<std::uint32_t>(formatted.size()),
                            texts.size()};
                texts += compact;
                texts += formatted;
            },
            [&] { *entry++ = Entry{}; });
    });
    compact_bytes_ = 0;
    for (const Entry& entry : entries_) compact_bytes_ += entry.compact_size;
}

void ResultDictionary::rows(const StringChunk& chunk, ResultColumnsBuilder& out) const {
    for_each_index(
        chunk,
        [&](std::int64_t k) {
            const Entry& entry = entries_[static_cast<std::size_t>(k)];
            if (!entry.present) {
                out.append_null();
                return;
            }
            const std::string_view texts = texts_[entry.piece];
            out.append(entry.is_valid, entry.error, texts.substr(entry.at, entry.compact_size),
                       texts.substr(entry.at + entry.compact_size, entry.formatted_size));
        },
        [&] { out.append_null(); });
}

std::int64_t ResultDictionary::bytes_for(std::int64_t rows) const noexcept {
    if (entries_.empty()) return 0;
    return compact_bytes_ / static_cast<std::int64_t>(entries_.size()) * rows;
}

}  // namespace cobalis::batch
