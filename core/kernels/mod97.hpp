// MOD 97-10 over the normal form of a text, straight from the text: the
// remainder of its characters read as one decimal number in which a digit
// stands for itself and a letter, of either case, for the two digits
// 10..35; tab, space, hyphen-minus and full stop are dropped wherever they
// stand, as the normaliser drops them. With it come what IBAN and LEI checks
// need besides: the length of the normal form and whether it holds anything
// but digits and letters.
//
// The vector bodies never move a byte. A character's weight is 10 to the
// power of its place, the number of decimal digits to its right; within a
// block the places are the sums of the widths after each byte (a separator
// 0, a digit 1, a letter 2), taken with four shifts and adds, and the weights
// come from two byte shuffles of a table of powers. Each block's terms are
// summed on their own, and the blocks joined as digits are: the sum so far
// times 10 to the places of the next block, plus that block's sum.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/algorithms/mod97_10.hpp"
#include "core/kernels/block.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/dispatch.hpp"
#include "core/kernels/mod97_tables.hpp"
#include "core/kernels/separators.hpp"

namespace cobalis::kernels {

// The arithmetic of MOD 97-10: the modulus, and 10^k mod 97 for a place k.
using algorithms::mod97_10::MODULUS;
using algorithms::mod97_10::power_of_ten;
using algorithms::mod97_10::POWERS_OF_TEN;

inline constexpr std::size_t HEAD = 4;

// What MOD 97-10 checks need of a normal form, returned in two registers.
// When it would have more than `capacity` bytes, `size` is capacity + 1 and
// the other fields say nothing.
struct NormalMod97 {
    std::uint32_t residue;   // equal to it, read as one number, mod 97; below 2^32
    std::uint32_t head;      // its first four bytes, a..z folded, byte i in bits 8i..8i+7; zeros past its end
    std::uint16_t size;      // bytes of the normal form
    std::uint16_t places;    // decimal digits it stands for
    bool all_alphanumeric;   // every byte of it a digit or a letter

    constexpr std::uint32_t remainder() const noexcept { return residue % MODULUS; }
    constexpr char operator[](std::size_t i) const noexcept { return static_cast<char>(head >> (8 * i)); }
    friend constexpr bool operator==(const NormalMod97&, const NormalMod97&) noexcept = default;
};

// The texts the AVX2 body reads as one window of 32 bytes, without a branch.
inline constexpr std::size_t SHORTEST_WINDOW = BLOCK, LONGEST_WINDOW = 2 * BLOCK;
constexpr bool fits_short_window(std::size_t size) noexcept {
    return size - SHORTEST_WINDOW <= LONGEST_WINDOW - SHORTEST_WINDOW;
}

// The capacities the kernel takes: its counts fit their types.
inline constexpr std::size_t MAX_CAPACITY = 4096;

namespace scalar {

// The head of the normal form byte by byte: for the few texts with
// separators among their first bytes.
constexpr std::uint32_t head_of_normal_form(std::string_view input) noexcept {
    std::uint32_t head = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < input.size() && n < HEAD; ++i) {
        const auto byte = static_cast<std::uint8_t>(input[i]);
        if (Separators::is(byte)) continue;
        head |= std::uint32_t{FoldUpper::apply(byte)} << (8 * n++);
    }
    return head;
}

}  // namespace scalar

namespace scalar {

constexpr NormalMod97 mod97_of_normal_form(std::string_view input, std::size_t capacity) noexcept {
    NormalMod97 out{0, head_of_normal_form(input), 0, 0, true};
    std::uint32_t size = 0;
    for (const char c : input) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (Separators::is(byte)) continue;
        if (size == capacity) return {0, out.head, static_cast<std::uint16_t>(capacity + 1), 0, false};
        ++size;
        const std::uint8_t folded = FoldUpper::apply(byte);
        if (Digits::is(folded)) {
            out.residue = (out.residue * 10 + (folded - '0')) % MODULUS;
            out.places = static_cast<std::uint16_t>(out.places + 1);
        } else if (Upper::is(folded)) {
            out.residue = (out.residue * 100 + (folded - 'A' + 10u)) % MODULUS;
            out.places = static_cast<std::uint16_t>(out.places + 2);
        } else {
            out.all_alphanumeric = false;
        }
    }
    out.size = static_cast<std::uint16_t>(size);
    return out;
}

// The same over a pointer and a size: the body of processors without SSSE3.
inline NormalMod97 mod97_of_normal_form_at(const char* p, std::size_t size, std::size_t capacity) noexcept {
    return mod97_of_normal_form({p, size}, capacity);
}

}  // namespace scalar

#ifdef COBALIS_KERNELS_SSE2
namespace ssse3 {

[[gnu::always_inline]] inline __m128i row16(const Row& row) noexcept {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(row.data()));
}
[[gnu::always_inline]] inline __m128i row16_at(const std::uint8_t* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The weighed bytes of one block: their MOD 97-10 terms (value x 10^place
// within the block) summed, the places of the whole block, which bytes are
// kept and which are digits or letters.
struct Weighed {
    std::uint32_t sum;  // at most 16 * 35 * 96
    std::uint32_t places;
    Mask keep;
    Mask alphanumeric;
    std::uint32_t first_word;  // the first four bytes, letters in upper case
    Mask letters = 0;          // made by the AVX2 body alone
};

// Letters differ from their upper case in bit 5 alone.
[[gnu::target("ssse3"), gnu::always_inline]] inline std::uint32_t first_word_folded(__m128i x,
                                                                                    __m128i width) noexcept {
    const Mod97Tables& t = tables();
    const __m128i letters = _mm_cmpgt_epi8(width, row16(t.ones));
    const __m128i case_bits = _mm_and_si128(letters, row16(t.case_bit));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_andnot_si128(case_bits, x)));
}

// The head of the normal form from the first block: its first four bytes
// when they are all kept, as in most texts, else byte by byte.
inline std::uint32_t head_from(const Weighed& block, const char* p, std::size_t size) noexcept {
    return (block.keep & first(HEAD)) == first(HEAD) ? block.first_word : scalar::head_of_normal_form({p, size});
}

// Places to the right of each byte of a block: the widths after it, summed;
// and the terms value x 10^place in 16-bit lanes, at most 2 * 35 * 96 each.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i weigh_terms(__m128i x, __m128i& cls, __m128i& width,
                                                                          __m128i& places) noexcept {
    const Mod97Tables& t = tables();
    const __m128i low = _mm_and_si128(x, row16(t.low_nibble));
    const __m128i high = _mm_and_si128(_mm_srli_epi16(x, 4), row16(t.low_nibble));
    cls = _mm_and_si128(_mm_shuffle_epi8(row16(t.class_by_high_nibble), high),
                        _mm_shuffle_epi8(row16(t.class_by_low_nibble), low));
    width = _mm_shuffle_epi8(row16(t.width_of_class), cls);
    __m128i after = _mm_srli_si128(width, 1);
    after = _mm_add_epi8(after, _mm_srli_si128(after, 1));
    after = _mm_add_epi8(after, _mm_srli_si128(after, 2));
    after = _mm_add_epi8(after, _mm_srli_si128(after, 4));
    after = _mm_add_epi8(after, _mm_srli_si128(after, 8));
    places = _mm_add_epi8(after, width);
    const __m128i weight =
        _mm_or_si128(_mm_shuffle_epi8(row16(t.powers_0_to_15), _mm_adds_epu8(after, row16(t.places_from_16))),
                     _mm_shuffle_epi8(row16(t.powers_16_to_31), _mm_sub_epi8(after, row16(t.sixteen))));
    const __m128i alnum = _mm_cmpgt_epi8(width, _mm_setzero_si128());
    const __m128i value =
        _mm_and_si128(_mm_add_epi8(low, _mm_shuffle_epi8(row16(t.value_by_high_nibble), high)), alnum);
    return _mm_maddubs_epi16(value, weight);
}

[[gnu::target("ssse3"), gnu::always_inline]] inline Mask kept_of(__m128i cls) noexcept {
    return ~static_cast<Mask>(_mm_movemask_epi8(_mm_cmpgt_epi8(cls, row16(TABLES.separator_above)))) & ALL;
}

[[gnu::target("ssse3"), gnu::always_inline]] inline Mask alphanumeric_of(__m128i width) noexcept {
    return static_cast<Mask>(_mm_movemask_epi8(_mm_cmpgt_epi8(width, _mm_setzero_si128())));
}

// The sum of four 32-bit lanes.
[[gnu::always_inline]] inline std::uint32_t add_lanes(__m128i x) noexcept {
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, _MM_SHUFFLE(1, 0, 3, 2)));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(x));
}

[[gnu::target("ssse3"), gnu::always_inline]] inline Weighed weigh(__m128i x) noexcept {
    __m128i cls, width, places;
    const __m128i terms = weigh_terms(x, cls, width, places);
    return {add_lanes(_mm_madd_epi16(terms, row16(tables().word_ones))),
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(places) & 0xFF), kept_of(cls), alphanumeric_of(width),
            first_word_folded(x, width)};
}

// The blocks weighed so far. Kept in registers and made into the answer at
// the end: built field by field in memory, the answer would be read back in
// wider pieces than it was written, which waits for the stores to finish.
struct Tally {
    std::uint32_t residue = 0;
    std::uint32_t head = 0;
    std::uint32_t kept = 0;
    std::uint32_t places = 0;
    std::uint32_t strangers = 0;  // kept bytes that are neither digits nor letters

    // The next block: the digits so far move up by its places (at most 64,
    // so the table is read directly), the residue reduced first so that
    // nothing overflows.
    [[gnu::always_inline]] void add(const Weighed& w, bool first_block, const char* p, std::size_t size) noexcept {
        if (first_block) {
            head = head_from(w, p, size);
            residue = w.sum;
        } else {
            residue = residue % MODULUS * POWERS_OF_TEN[w.places] + w.sum;
        }
        strangers |= w.keep & ~w.alphanumeric;
        kept += static_cast<std::uint32_t>(std::popcount(w.keep));
        places += w.places;
    }

    NormalMod97 answer(std::size_t capacity) const noexcept {
        if (kept > capacity) return {0, head, static_cast<std::uint16_t>(capacity + 1), 0, false};
        return {residue, head, static_cast<std::uint16_t>(kept), static_cast<std::uint16_t>(places), strangers == 0};
    }
};

// The last bytes of a text from `at` on, fewer than 16: a block ending at the
// text's end when the text is that long, else the text and zeros; either way
// the bytes outside the text become spaces, which count for nothing.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i last_block(const char* p, std::size_t at,
                                                                         std::size_t size) noexcept {
    const std::size_t left = size - at;
    __m128i x;
    __m128i outside;
    if (size >= BLOCK) {
        x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK));
        outside = _mm_xor_si128(row16_at(TABLES.ends.data() + left), _mm_set1_epi8(-1));
    } else {
        x = sse2::load_tail(p, size);
        outside = row16_at(TABLES.ends.data() + BLOCK - left);
    }
    return _mm_or_si128(_mm_andnot_si128(outside, x), _mm_and_si128(outside, row16(TABLES.spaces)));
}

[[gnu::target("ssse3,popcnt")]] inline NormalMod97 mod97_of_normal_form(const char* p, std::size_t size,
                                                                          std::size_t capacity) noexcept {
    Tally tally;
    std::size_t i = 0;
    for (; size - i > BLOCK; i += BLOCK) {
        tally.add(weigh(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))), i == 0, p, size);
        if (tally.kept > capacity) return tally.answer(capacity);
    }
    tally.add(weigh(last_block(p, i, size)), i == 0, p, size);
    return tally.answer(capacity);
}

}  // namespace ssse3

namespace avx2 {

using ssse3::Mod97Tables;
using ssse3::Row;
using ssse3::TABLES;
using ssse3::tables;

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i row32(const Row& row) noexcept {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(row.data()));
}

// ssse3::weigh on two blocks, one in each lane: the second block's places
// follow the first's.
[[gnu::target("avx2"), gnu::always_inline]] inline ssse3::Weighed weigh(__m256i x) noexcept {
    const Mod97Tables& t = tables();
    const __m256i low = _mm256_and_si256(x, row32(t.low_nibble));
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(x, 4), row32(t.low_nibble));
    const __m256i cls = _mm256_and_si256(_mm256_shuffle_epi8(row32(t.class_by_high_nibble), high),
                                         _mm256_shuffle_epi8(row32(t.class_by_low_nibble), low));
    const __m256i width = _mm256_shuffle_epi8(row32(t.width_of_class), cls);
    __m256i after = _mm256_bsrli_epi128(width, 1);
    after = _mm256_add_epi8(after, _mm256_bsrli_epi128(after, 1));
    after = _mm256_add_epi8(after, _mm256_bsrli_epi128(after, 2));
    after = _mm256_add_epi8(after, _mm256_bsrli_epi128(after, 4));
    after = _mm256_add_epi8(after, _mm256_bsrli_epi128(after, 8));
    const __m256i weight = _mm256_or_si256(
        _mm256_shuffle_epi8(row32(t.powers_0_to_15), _mm256_adds_epu8(after, row32(t.places_from_16))),
        _mm256_shuffle_epi8(row32(t.powers_16_to_31), _mm256_sub_epi8(after, row32(t.sixteen))));
    const __m256i alnum = _mm256_cmpgt_epi8(width, _mm256_setzero_si256());
    const __m256i value =
        _mm256_and_si256(_mm256_add_epi8(low, _mm256_shuffle_epi8(row32(t.value_by_high_nibble), high)), alnum);
    const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(value, weight), row32(t.word_ones));
    const __m256i places = _mm256_add_epi8(after, width);
    const auto first_places = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(places) & 0xFF);
    const auto second_places =
        static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(places, 1)) & 0xFF);
    const std::uint32_t first_sum = ssse3::add_lanes(_mm256_castsi256_si128(sums));
    const std::uint32_t second_sum = ssse3::add_lanes(_mm256_extracti128_si256(sums, 1));
    return {first_sum * POWERS_OF_TEN[second_places] + second_sum, first_places + second_places,
            ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(cls, row32(t.separator_above)))),
            static_cast<std::uint32_t>(_mm256_movemask_epi8(alnum)),
            ssse3::first_word_folded(_mm256_castsi256_si128(x), _mm256_castsi256_si128(width)),
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(width, row32(t.ones))))};
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i lanes(__m128i low, __m128i high) noexcept {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// The last bytes of a text from `at` on, at most 32, as two blocks, the bytes
// outside the text made spaces: a second block ends at the text's end and
// leaves out the bytes it shares with the first.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i last_window(const char* p, std::size_t at,
                                                                         std::size_t size) noexcept {
    const std::size_t left = size - at;
    const __m128i none = _mm_setzero_si128();
    const __m128i all = _mm_set1_epi8(-1);
    __m128i first_block, second_block, outside_first, outside_second;
    if (left > BLOCK) {
        first_block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        second_block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK));
        outside_first = none;
        outside_second = _mm_xor_si128(ssse3::row16_at(TABLES.ends.data() + left - BLOCK), all);
    } else {
        first_block = ssse3::last_block(p, at, size);
        second_block = none;
        outside_first = none;
        outside_second = all;
    }
    return _mm256_blendv_epi8(lanes(first_block, second_block), row32(TABLES.spaces),
                              lanes(outside_first, outside_second));
}

// Texts of 16 to 32 bytes, most IBANs and LEIs written compact or printed,
// are one window read without a branch: the first block, and the block that
// ends at the text's end with the bytes it repeats made spaces.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i short_window(const char* p, std::size_t size) noexcept {
    const Mod97Tables& t = tables();
    const __m128i last_block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - BLOCK));
    const __m128i new_bytes = ssse3::row16_at(t.ends.data() + size - BLOCK);
    return lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                 _mm_blendv_epi8(ssse3::row16(t.spaces), last_block, new_bytes));
}

// mod97_of_normal_form for 16 <= size <= 32 (fits_short_window): one window
// weighed, no loop.
[[gnu::target("avx2,popcnt"), gnu::always_inline]] inline NormalMod97 mod97_of_short_text(
    const char* p, std::size_t size, std::size_t capacity) noexcept {
    const ssse3::Weighed w = weigh(short_window(p, size));
    const std::uint32_t head = ssse3::head_from(w, p, size);
    const auto kept = static_cast<std::uint32_t>(std::popcount(w.keep));
    if (kept > capacity) return {0, head, static_cast<std::uint16_t>(capacity + 1), 0, false};
    return {w.sum, head, static_cast<std::uint16_t>(kept), static_cast<std::uint16_t>(w.places),
            (w.keep & ~w.alphanumeric) == 0};
}

// ssse3::mod97_of_normal_form two blocks at a time, one in each 16-byte lane
// of a 32-byte register.
[[gnu::target("avx2,popcnt")]] inline NormalMod97 mod97_of_normal_form(const char* p, std::size_t size,
                                                                         std::size_t capacity) noexcept {
    if (fits_short_window(size)) return mod97_of_short_text(p, size, capacity);
    ssse3::Tally tally;
    std::size_t i = 0;
    for (; size - i > 2 * BLOCK; i += 2 * BLOCK) {
        tally.add(weigh(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i))), i == 0, p, size);
        if (tally.kept > capacity) return tally.answer(capacity);
    }
    tally.add(weigh(last_window(p, i, size)), i == 0, p, size);
    return tally.answer(capacity);
}

}  // namespace avx2
#endif

// The kernel: scalar::mod97_of_normal_form, a block at a time on x86-64
// processors with SSSE3, two at a time on those with AVX2.
constexpr NormalMod97 mod97_of_normal_form(std::string_view input, std::size_t capacity) noexcept {
#ifdef COBALIS_KERNELS_SSE2
    if (!std::is_constant_evaluated()) {
        return Chosen<&scalar::mod97_of_normal_form_at, &ssse3::mod97_of_normal_form,
                      &avx2::mod97_of_normal_form>::call(input.data(), input.size(), capacity);
    }
#endif
    return scalar::mod97_of_normal_form(input, capacity);
}

static_assert(mod97_of_normal_form("GB82 WEST 1234 5698 7654 32", 254).places == 28);
static_assert(mod97_of_normal_form("WEST12345698765432GB82", 254).remainder() == 1);
static_assert(mod97_of_normal_form("1 2 3", 2).size == 3);
static_assert(mod97_of_normal_form(" gb-82west", 254).head == 0x32384247);  // "GB82"

}  // namespace cobalis::kernels
