// Explaining and repairing identifiers: where an invalid one breaks its
// rules, which check characters the rest of it implies, and which valid
// identifiers lie one typing slip away (one character replaced, or two
// neighbours swapped). Nothing here allocates; the answers are small values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/types.hpp"

namespace cobalis::repair {

// Where an input breaks and what its check characters should be.
struct Explanation {
    std::optional<ErrorCode> error;     // as validate answers; none when valid
    std::optional<std::size_t> position;  // byte offset in the input of the blamed character
    // For a check-character failure: what the rest of the value implies, and
    // what the input holds in their place; both empty otherwise.
    FixedCode<2> expected_bytes{};
    FixedCode<2> found_bytes{};
    std::uint8_t check_length = 0;  // 0, 1 or 2: how many bytes of the two above are meant

    [[nodiscard]] constexpr std::string_view expected() const noexcept {
        return expected_bytes.view().substr(0, check_length);
    }
    [[nodiscard]] constexpr std::string_view found() const noexcept {
        return found_bytes.view().substr(0, check_length);
    }
};

// How plausible a slip is, most plausible first.
enum class Likelihood : std::uint8_t {
    Swap,        // two neighbours swapped
    Confusable,  // characters that look alike: O and 0, I and 1, S and 5, B and 8, Z and 2
    Neighbour,   // keys side by side on a keyboard
    Other,
};

// One edit of a compact form: the character at `at` replaced by `with`, or,
// for a swap, the characters at `at` and `at + 1` exchanged.
struct Edit {
    std::uint8_t at = 0;
    char with = 0;
    Likelihood likelihood = Likelihood::Other;
    // Among equally likely edits, fewer is more plausible: first how many of
    // the facts the result carries beyond the asked rules it fails (see
    // plausibility.hpp), then how many more places where letters meet digits
    // the result has (plus 2).
    std::uint8_t doubts = 0;
    std::uint8_t shape = 2;
};

// The valid neighbours of an input, most plausible first (by likelihood,
// then doubts, then shape, then from left to right): its compact form
// and at most CAPACITY edits of it.
struct Suggestions {
    static constexpr std::size_t CAPACITY = 64;
    InlineString compact;
    std::array<Edit, CAPACITY> edits{};
    std::size_t count = 0;

    // The compact form after edit `i`.
    [[nodiscard]] InlineString at(std::size_t i) const noexcept;
};

// `kind` numbers the kind in kinds::KINDS; `strict` applies its national
// rules. An unknown kind number is explained as valid and has no neighbours.
Explanation explain(std::size_t kind, std::string_view input, bool strict) noexcept;

// At most `limit` (and at most Suggestions::CAPACITY) valid identifiers one
// edit away from `input`; none when it is valid.
void suggest(std::size_t kind, std::string_view input, bool strict, std::size_t limit, Suggestions& out) noexcept;

}  // namespace cobalis::repair
