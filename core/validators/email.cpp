#include "core/validators/email.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/kernels/classes.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::email {
namespace {

// Limits in bytes.
inline constexpr std::size_t MIN_ADDRESS = 3;
inline constexpr std::size_t MAX_ADDRESS = 254;
inline constexpr std::size_t MAX_LOCAL = 64;
inline constexpr std::size_t MAX_LABEL = 63;

// The byte sets of the rules, for the masks of a whole short address.
inline constexpr kernels::AsciiSet LOCAL_SET =
    kernels::ASCII_LETTERS | kernels::ASCII_DIGITS | kernels::AsciiSet{"!#$%&'*+-/=?^_`{|}~"};
inline constexpr kernels::AsciiSet DOMAIN_SET = kernels::ASCII_LETTERS | kernels::ASCII_DIGITS | kernels::AsciiSet{"-"};
inline constexpr kernels::AsciiSet FULL_STOP{"."};
inline constexpr kernels::AsciiSet AT_SIGN{"@"};
inline constexpr kernels::AsciiSet HYPHEN{"-"};

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

static_assert([] {
    for (int c = 0; c < 256; ++c) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (LOCAL_SET.is(byte) != LOCAL_CHARS[byte] || DOMAIN_SET.is(byte) != DOMAIN_CHARS[byte]) return false;
    }
    return true;
}());

// The same verdict for an address of at most 64 bytes, from one mask per
// byte set over the whole address (bit i for byte i): every rule becomes a
// few operations on the masks, and none branches on the bytes. (Each label
// is then shorter than 64 bytes, and the local part too.)
struct ShortAddress {
    using Masks = kernels::SetMasks<LOCAL_SET, DOMAIN_SET, FULL_STOP, AT_SIGN, HYPHEN, kernels::ASCII_DIGITS>;

    [[gnu::always_inline]] static constexpr bool holds(std::size_t n, const Masks& masks) noexcept {
        using Bits = std::uint64_t;
        const auto [local, domain, stops, ats, hyphens, digits] = masks;
        // Every shift below is by less than 64: at <= 63, n - 1 <= 63.
        const Bits all = kernels::first_bits(n);
        const auto at = static_cast<std::size_t>(std::countr_zero(ats | Bits{1} << (kernels::SHORT_TEXT - 1)));
        const Bits local_part = (Bits{1} << at) - 1;
        const Bits domain_part = all & ~(local_part | Bits{1} << at);
        const Bits domain_stops = stops & domain_part;
        // Where labels start (after the "@" and after each full stop) and end
        // (before each full stop, and at the last byte).
        const Bits label_starts = ((domain_stops << 1) | (Bits{2} << at)) & domain_part;
        const Bits label_ends = (domain_stops >> 1) | Bits{1} << ((n - 1) % kernels::SHORT_TEXT);
        const auto last_stop = static_cast<std::size_t>(std::bit_width(domain_stops | 1)) - 1;
        const Bits top_label = all & ~((Bits{2} << last_stop) - 1);
        // Every rule at once.
        return (n >= MIN_ADDRESS) & (ats != 0) & (at >= 1) & (at + 1 < n) &
               (((local | stops) & local_part) == local_part) &           // local characters
               ((stops & 1) == 0) & ((((stops << 1) >> at) & 1) == 0) &   // no full stop first or last
               ((stops & (stops << 1) & local_part) == 0) &               // nor two in a row
               (((domain | stops) & domain_part) == domain_part) &        // host-name characters, one "@"
               ((stops & label_starts) == 0) &                            // no empty label
               ((hyphens & (label_starts | label_ends)) == 0) &           // no hyphen at a label's ends
               (domain_stops != 0) & ((top_label & ~digits) != 0);         // dotted, the top label not all digits
    }
};

bool short_address_holds(std::string_view s) noexcept {
    return kernels::judged_by_sets<ShortAddress, LOCAL_SET, DOMAIN_SET, FULL_STOP, AT_SIGN, HYPHEN,
                                   kernels::ASCII_DIGITS>(s);
}

}  // namespace

// The display form: the local part unchanged, the "@", the domain with A..Z
// in lower case.
void formatted_into(std::string_view input, std::size_t at, InlineString& formatted) noexcept {
    char* const out = formatted.raw();
    std::size_t i = 0;
#ifdef COBALIS_KERNELS_SSE2
    // Sixteen bytes at a time, while a whole block still fits the buffer; the
    // bytes up to the "@" keep their case.
    namespace sse2 = kernels::sse2;
    for (; i < input.size() && i + kernels::BLOCK <= InlineString::CAPACITY; i += kernels::BLOCK) {
        const std::size_t take = input.size() - i < kernels::BLOCK ? input.size() - i : kernels::BLOCK;
        const __m128i x = sse2::load(input.data() + i, take);
        const __m128i positions =
            _mm_add_epi8(_mm_set1_epi8(static_cast<char>(i)), _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
        const __m128i domain = _mm_cmpgt_epi8(_mm_xor_si128(positions, _mm_set1_epi8(-128)),
                                              _mm_set1_epi8(static_cast<char>((at & 0xFF) ^ 0x80)));
        const __m128i upper = _mm_and_si128(sse2::in_range(x, 'A', 'Z'), domain);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(x, _mm_and_si128(upper, sse2::splat(0x20))));
    }
#endif
    for (; i < input.size(); ++i) out[i] = i > at ? to_lower(input[i]) : input[i];
    formatted.commit(input.size());
}

ValidationResult validate(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        std::size_t at = 0;
        // Most addresses are valid: the masks judge them, and only a refused
        // one is scanned for its first fault.
        if (input.size() <= kernels::SHORT_TEXT && short_address_holds(input)) {
            at = input.find('@');
        } else if (auto error = first_failure(input, at)) {
            return error;
        }
        r.compact = InlineString(input);
        formatted_into(input, at, r.formatted);
        r.details.emplace<EmailDetails>(
            EmailDetails{static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(input.size() - at - 1)});
        return std::nullopt;
    });
}

bool is_valid(std::string_view input) noexcept {
    if (input.size() <= kernels::SHORT_TEXT) return short_address_holds(input);
    std::size_t at = 0;
    return !first_failure(input, at);
}

}  // namespace cobalis::validators::email
