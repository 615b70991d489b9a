// Where the answers of one call on an Arrow column go, window after window:
// a short window is checked on the calling thread; a long one is cut into
// pieces that several threads check at once, each into a builder of its
// own, and the pieces are joined into one column at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "python/batch/column.hpp"
#include "python/batch/dictionary.hpp"
#include "python/batch/strings_in.hpp"

namespace cobalis::batch {

class Answers {
public:
    virtual ~Answers() = default;
    // Checks every row of `window`, `rows` in all, on up to `threads`
    // threads. Runs without the interpreter lock; throws std::bad_alloc.
    virtual void add(std::span<const StringChunk> window, std::int64_t rows, int threads) = 0;
    // Whether finish() has pieces to join, worth giving up the lock for.
    [[nodiscard]] virtual bool joins() const noexcept = 0;
    virtual std::shared_ptr<const Column> finish(int threads) = 0;
};

// The answers of one operation, each chunk's rows checked by `rows` (a
// kind's is_valid_rows or validate_rows), and the strings of a dictionary
// column's dictionary by `one` (the kind's is_valid or validate).
template <class Builder>
class AnswersOf final : public Answers {
public:
    using Rows = void (*)(const StringChunk&, Builder&);
    using Dictionary = typename DictionaryOf<Builder>::type;
    AnswersOf(Rows rows, typename Dictionary::Check one) noexcept : rows_(rows), one_(one) {}

    void add(std::span<const StringChunk> window, std::int64_t rows, int threads) override;
    [[nodiscard]] bool joins() const noexcept override { return pieces_.size() > 1; }
    std::shared_ptr<const Column> finish(int threads) override;

private:
    void check(const StringChunk& chunk, Builder& out);
    // The answers of the dictionary of each dictionary chunk of a window.
    void check_dictionaries(std::span<const StringChunk> window, int threads);
    const Dictionary& dictionary_of(const StringChunk& chunk) const noexcept;

    Rows rows_;
    typename Dictionary::Check one_;
    std::vector<Builder> pieces_;
    // The dictionaries of the window being checked, each checked once:
    // their strings, and the answers.
    std::vector<StringChunk> dictionary_strings_;
    std::vector<Dictionary> dictionaries_;
};

extern template class AnswersOf<BoolColumnBuilder>;
extern template class AnswersOf<ResultColumnsBuilder>;

}  // namespace cobalis::batch
