// The check arithmetic of candidate edits, prepared once over an input so
// that each candidate costs a few operations whatever the input's length:
// a sum of place values is corrected by the terms an edit changes, and a
// number read in place (MOD 97-10, Luhn over letters read as two digits) is
// joined from its prepared prefix, the edited characters and its prepared
// suffix.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/repair/profile.hpp"
#include "core/types.hpp"

namespace cobalis::repair {

// The check characters of a plain check failure, solved from the input.
struct InputCheck {
    std::array<char, 2> expected{};
    std::array<char, 2> found{};
    std::size_t count = 0;  // 1 or 2
    std::size_t at = 0;     // where the input holds a single check character
};

// For a kind whose check arithmetic names its check characters outright
// (every arithmetic but None; a sum of place values or Luhn over letters ends
// in one, MOD 97-10 in two: an IBAN's third and fourth, a LEI's last), those
// that make the input's normal form valid with the rest unchanged, read in
// one pass over the input's kept bytes (`rules`, as normal.hpp makes them)
// without writing the normal form. False where the input holds too few or
// more than InlineString::CAPACITY kept bytes, or for other arithmetic.
bool solve_from_input(Arithmetic arithmetic, const std::array<std::uint16_t, 256>& rules, std::string_view input,
                      InputCheck& out) noexcept;
// Whether `count` check characters from `at` of a normal form of `n` bytes
// are where solve_from_input finds them under `arithmetic`.
bool names_check_at(Arithmetic arithmetic, std::size_t n, std::size_t at, std::size_t count) noexcept;

class CandidateChecks {
public:
    // Prepares the sums of `s` (a compact form of at most CAPACITY bytes)
    // under `arithmetic`; `Mod11` and `Gs1` go by the form's length for ISBN.
    void prepare(Arithmetic arithmetic, std::string_view s) noexcept;

    // Whether `s` with `c` at `k` may be valid; false only when the check
    // arithmetic rules it out. Characters outside the kind's layout count for
    // nothing, so the answers hold for edits that replace them.
    [[nodiscard]] bool substitution(std::size_t k, char c) const noexcept;
    // Where the arithmetic can be solved for the character at `k`: the only
    // characters (at most one digit and one letter; for a sum of place
    // values, one digit or X) that may make `s` valid there, written into
    // `out`, and how many; NOT_SOLVED where each character has to be tried
    // with `substitution`. The caller keeps those its layout allows.
    static constexpr std::size_t NOT_SOLVED = 3;
    [[nodiscard]] std::size_t solve(std::size_t k, std::array<char, 2>& out) const noexcept;
    // Whether `s` with the characters at `k` and `k + 1` swapped may be valid.
    [[nodiscard]] bool swap(std::size_t k) const noexcept;

private:
    static constexpr std::size_t N = InlineString::CAPACITY + 1;

    // A term of a sum of place values: `c` at `d` places from the right.
    [[nodiscard]] unsigned term(char c, std::size_t d) const noexcept;
    // The prepared sum with `s[k]` replaced by `c`, modulo the sum's modulus.
    [[nodiscard]] bool place_sum_holds(unsigned sum) const noexcept { return sum % modulus_ == 0; }

    // Numbers read in place, over the checked order of the characters (for
    // an IBAN, the first four moved to the end): where compact place `k`
    // stands in it, or N for a swap that the move splits.
    [[nodiscard]] std::size_t checked_place(std::size_t k) const noexcept;
    [[nodiscard]] bool joined_holds(std::size_t j, std::size_t removed, char first, char second,
                                    std::size_t edited) const noexcept;

    Arithmetic arithmetic_ = Arithmetic::None;
    std::string_view s_;
    unsigned modulus_ = 1;
    unsigned sum_ = 0;  // the sum of place values (the place-value arithmetics)
    std::size_t rotation_ = 0;
    // Numbers read in place: prefix[j] is the first j characters' number
    // (MOD 97) or their Luhn sums (for each parity of the digits after them);
    // suffix[j] the number or Luhn sum of the characters from j and
    // suffix_digits[j] how many digits they read as.
    // (Written by prepare up to the form's length before anything reads them.)
    std::array<std::array<std::uint8_t, 2>, N> prefix_;
    std::array<std::uint8_t, N> suffix_;
    std::array<std::uint16_t, N> suffix_digits_;
};

}  // namespace cobalis::repair
