#include "core/validators/email.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/validators/text.hpp"

namespace cobalis::validators::email {
namespace {

// Limits in bytes.
inline constexpr std::size_t MIN_ADDRESS = 3;
inline constexpr std::size_t MAX_ADDRESS = 254;
inline constexpr std::size_t MAX_LOCAL = 64;
inline constexpr std::size_t MAX_LABEL = 63;

using ByteTable = std::array<bool, 256>;

constexpr ByteTable letters_digits_and(std::string_view extra) noexcept {
    ByteTable table{};
    for (int c = 0; c < 256; ++c) {
        const char b = static_cast<char>(c);
        table[static_cast<std::size_t>(c)] = is_digit(b) || is_upper(b) || is_lower(b);
    }
    for (char c : extra) table[static_cast<std::uint8_t>(c)] = true;
    return table;
}

// The unquoted characters of a local part; the full stop has its own rule.
inline constexpr ByteTable LOCAL_CHARS = letters_digits_and("!#$%&'*+-/=?^_`{|}~");
// The characters of a host-name label; the full stop separates labels.
inline constexpr ByteTable DOMAIN_CHARS = letters_digits_and("-");

constexpr std::size_t count(const ByteTable& table) noexcept {
    std::size_t n = 0;
    for (bool b : table) n += b ? 1 : 0;
    return n;
}
static_assert(count(LOCAL_CHARS) == 81 && count(DOMAIN_CHARS) == 63);

constexpr bool in(const ByteTable& table, char c) noexcept { return table[static_cast<std::uint8_t>(c)]; }

// White space refused at either end of the address (vertical tab is not).
constexpr bool is_end_space(char c) noexcept {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

// The checks in their order, scanning from the left so that the earliest
// fault decides. On success `at` is the position of the "@".
constexpr std::optional<ErrorCode> first_failure(std::string_view s, std::size_t& at) noexcept {
    if (s.size() < MIN_ADDRESS || s.size() > MAX_ADDRESS) return ErrorCode::InvalidLength;
    if (is_end_space(s.front()) || is_end_space(s.back())) return ErrorCode::InvalidStructure;

    // Local part: a full stop may not lead, follow another or end it.
    bool after_stop = true;
    std::size_t i = 0;
    for (;; ++i) {
        if (i == s.size()) return ErrorCode::InvalidStructure;  // no "@"
        const char c = s[i];
        if (c == '.') {
            if (after_stop) return ErrorCode::InvalidStructure;
            after_stop = true;
            continue;
        }
        if (c == '@') break;
        if (!in(LOCAL_CHARS, c)) return ErrorCode::InvalidCharset;
        after_stop = false;
    }
    if (after_stop) return ErrorCode::InvalidStructure;  // empty, or ends with a full stop
    if (i > MAX_LOCAL) return ErrorCode::InvalidLength;
    if (i + 1 == s.size()) return ErrorCode::InvalidStructure;
    at = i;

    // Domain: labels of 1 to 63 bytes that neither start nor end with a hyphen.
    std::size_t label_start = i + 1;
    bool dotted = false;
    for (std::size_t j = label_start; j < s.size(); ++j) {
        const char c = s[j];
        if (c == '.') {
            if (j == label_start) return ErrorCode::InvalidStructure;
            if (j - label_start > MAX_LABEL) return ErrorCode::InvalidLength;
            if (s[j - 1] == '-') return ErrorCode::InvalidStructure;
            label_start = j + 1;
            dotted = true;
            continue;
        }
        if (!in(DOMAIN_CHARS, c)) return ErrorCode::InvalidCharset;
        if (c == '-' && j == label_start) return ErrorCode::InvalidStructure;
    }

    // The top-level label.
    const std::string_view top = s.substr(label_start);
    if (top.empty()) return ErrorCode::InvalidStructure;
    if (top.size() > MAX_LABEL) return ErrorCode::InvalidLength;
    if (!dotted || s.back() == '-') return ErrorCode::InvalidStructure;
    if (all_digits(top)) return ErrorCode::InvalidStructure;
    return std::nullopt;
}

}  // namespace

ValidationResult validate(std::string_view input) noexcept {
    std::size_t at = 0;
    if (auto error = first_failure(input, at)) return ValidationResult::invalid(*error);
    // The local part keeps its case; host names are written in lower case.
    InlineString formatted;
    char* const out = formatted.raw();
    for (std::size_t i = 0; i < input.size(); ++i) out[i] = i > at ? to_lower(input[i]) : input[i];
    formatted.commit(input.size());
    const EmailDetails details{static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(input.size() - at - 1)};
    return ValidationResult::valid(InlineString(input), formatted, details);
}

bool is_valid(std::string_view input) noexcept {
    std::size_t at = 0;
    return !first_failure(input, at);
}

}  // namespace cobalis::validators::email
