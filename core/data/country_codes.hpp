// Two-letter codes that identifiers really carry: the countries of BICs and
// the prefixes of ISINs. The lists live in country_codes.cpp, written by
// tools/generate_country_codes.py from ISO 3166-1 and ISO 3166-3.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace cobalis::data {

// A set of codes of two letters A..Z: one bit for each of the 26 × 26 pairs,
// a row of 26 bits per first letter, so that a lookup is one load, a shift
// and a mask.
class CodeSet {
public:
    static constexpr std::size_t LETTERS = 26;

    // Built by the compiler from lists of codes separated by single spaces;
    // anything else in a list stops the compilation.
    consteval CodeSet(std::initializer_list<std::string_view> lists) {
        for (std::string_view list : lists) {
            if (list.size() % (CODE_LENGTH + 1) != CODE_LENGTH) malformed_code_list();  // a space too many or few
            for (std::size_t i = 0; i < list.size(); i += CODE_LENGTH + 1) {
                const std::string_view code = list.substr(i, CODE_LENGTH);
                if (!is_code(code) || (i + CODE_LENGTH < list.size() && list[i + CODE_LENGTH] != ' ')) {
                    malformed_code_list();
                }
                rows_[letter(code[0])] |= bit(code[1]);
            }
        }
    }

    // Any text that is not two letters A..Z is simply not in the set.
    constexpr bool contains(std::string_view code) const noexcept {
        return is_code(code) && (rows_[letter(code[0])] & bit(code[1])) != 0;
    }

    constexpr std::size_t size() const noexcept {
        std::size_t n = 0;
        for (std::uint32_t row : rows_) n += static_cast<std::size_t>(std::popcount(row));
        return n;
    }

private:
    static constexpr std::size_t CODE_LENGTH = 2;

    static void malformed_code_list();  // never defined: reaching it is no constant expression

    static constexpr unsigned letter(char c) noexcept { return static_cast<unsigned>(c - 'A'); }
    static constexpr std::uint32_t bit(char c) noexcept { return std::uint32_t{1} << letter(c); }
    static constexpr bool is_code(std::string_view code) noexcept {
        return code.size() == CODE_LENGTH && letter(code[0]) < LETTERS && letter(code[1]) < LETTERS;
    }

    std::array<std::uint32_t, LETTERS> rows_{};
};

// ISO 3166-1 alpha-2 and XK, the code SWIFT gives Kosovo.
extern const CodeSet BIC_COUNTRIES;

// Those of BIC_COUNTRIES, the withdrawn codes of ISO 3166-3 that ISINs issued
// before the change still carry, and the prefixes of securities that belong
// to no one country (international bonds, the European Union, substitute
// numbering agencies).
extern const CodeSet ISIN_PREFIXES;

}  // namespace cobalis::data
