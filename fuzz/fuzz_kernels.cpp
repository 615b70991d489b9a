// The vector kernels against their scalar twins, on arbitrary bytes: every
// block kernel over every 16-byte window of the input (and its short tail),
// and the whole-text loops built on them, each body this processor runs
// (SSSE3, AVX2), must give identical results byte for byte. Built with
// COBALIS_SCALAR, where only the twins exist, it checks the whole-text
// functions against their rules alone.
//
// needs: core/kernels/block.hpp
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/algorithms/mod97_10.hpp"
#include "core/kernels/block.hpp"
#include "core/kernels/classes.hpp"
#include "core/kernels/digit_strings.hpp"
#include "core/kernels/digit_sums.hpp"
#include "core/kernels/mod97.hpp"
#include "core/kernels/mod97_rearranged.hpp"
#include "core/kernels/separators.hpp"
#include "core/kernels/dispatch.hpp"
#include "fuzz/check.hpp"

namespace cobalis::proof {
namespace {

using namespace kernels;

#ifdef COBALIS_KERNELS_SSE2

template <class Class>
void same_class(const char* name, __m128i v, const Bytes& b, std::string_view input) {
    if (sse2::find<Class>(v) != scalar::find<Class>(b)) broken(name, "find agrees with its twin", input);
}

bool runs(Level level) { return best_level() >= level; }

// The packer is compiled for SSSE3 processors only; callers ask first.
[[gnu::target("ssse3")]] Bytes compact_ssse3(__m128i v, Mask keep) { return sse2::to_bytes(ssse3::compact(v, keep)); }

// Digits only, for the sums whose callers check the digits first.
Bytes as_digits(const Bytes& b, std::size_t n) {
    Bytes d;
    for (std::size_t i = 0; i < n; ++i) d.b[i] = static_cast<std::uint8_t>('0' + b.b[i] % 10);
    return d;
}

void check_block(const char* p, std::size_t left, std::string_view input) {
    const std::size_t n = left < BLOCK ? left : BLOCK;
    const Bytes b = scalar::load(p, n);
    const __m128i v = sse2::load(p, n);
    if (sse2::to_bytes(v) != b) broken("load", "a block holds the first n bytes, then zeros", input);

    same_class<Digits>("digits", v, b, input);
    same_class<Upper>("upper", v, b, input);
    same_class<UpperAlnum>("upper_alnum", v, b, input);
    same_class<Separators>("separators", v, b, input);

    if (sse2::to_bytes(FoldUpper::apply(v)) != scalar::fold<FoldUpper>(b)) {
        broken("fold", "folding agrees with its twin", input);
    }
    if (runs(Level::Ssse3)) {
        const Mask keep = ~scalar::find_separators(b) & ALL;
        if (compact_ssse3(v, keep) != scalar::compact(b, keep)) {
            broken("compact", "packing agrees with its twin", input);
        }
    }
    const Bytes d = as_digits(b, n);
    const __m128i dv = sse2::load(reinterpret_cast<const char*>(d.b.data()), n);
    if (sse2::luhn_sum(dv, n) != scalar::luhn_sum(d, n)) broken("luhn_sum", "Luhn agrees with its twin", input);
    if (sse2::gs1_sum(dv, n) != scalar::gs1_sum(d, n)) broken("gs1_sum", "GS1 agrees with its twin", input);
}

template <class Fold, class Sep>
void same_normal_form(std::string_view input, std::size_t capacity) {
    std::string plain(capacity + 2 * BLOCK, '\0');
    const std::size_t b = scalar::drop_separators<Fold, Sep>(input, plain.data(), capacity);
    const auto same = [&](std::size_t a, const std::string& got, const char* rule) {
        if (a != b || (a <= capacity && got.compare(0, a, plain, 0, a) != 0)) broken("drop_separators", rule, input);
    };
    // The inline front for compact texts; the block loop for any text.
    std::string front(capacity + 2 * BLOCK, '\0');
    const std::size_t n = sse2::compact_front<Fold, Sep>(input, front.data(), capacity);
    if (n != sse2::NOT_COMPACT) same(n, front, "the compact front agrees with the byte loop");
    if (runs(Level::Ssse3)) {
        std::string fast(capacity + 2 * BLOCK, '\0');
        same(ssse3::drop_separators<Fold, Sep>(input.data(), input.size(), fast.data(), capacity), fast,
             "the block loop agrees with the byte loop");
    }
}

// Each body of the MOD 97-10 kernel against its twin: the same length and
// head always, the rest wherever the normal form fits.
void same_mod97(std::string_view input, std::size_t capacity) {
    const NormalMod97 twin = scalar::mod97_of_normal_form(input, capacity);
    const auto same = [&](const NormalMod97& got, const char* rule) {
        const bool fits = twin.size <= capacity;
        if (got.size != twin.size || got.head != twin.head ||
            (fits && (got.remainder() != twin.remainder() || got.places != twin.places ||
                      got.all_alphanumeric != twin.all_alphanumeric))) {
            broken("mod97_of_normal_form", rule, input);
        }
    };
    if (runs(Level::Ssse3)) {
        same(ssse3::mod97_of_normal_form(input.data(), input.size(), capacity), "the SSSE3 body agrees with its twin");
    }
    if (runs(Level::Avx2)) {
        same(avx2::mod97_of_normal_form(input.data(), input.size(), capacity), "the AVX2 body agrees with its twin");
    }
}

// The digit-string kernel's body against its twin: the same length and head
// always, everything wherever the normal form fits.
template <FullStops full_stops>
void same_digits(std::string_view input, std::size_t capacity) {
    const NormalDigits twin = scalar::digits_of_normal_form<full_stops>(input, capacity);
    if (!runs(Level::Ssse3)) return;
    const NormalDigits got = ssse3::digits_of_normal_form<full_stops>(input.data(), input.size(), capacity);
    if (got.size != twin.size || got.head != twin.head || (twin.size <= capacity && !(got == twin))) {
        broken("digits_of_normal_form", "the SSSE3 body agrees with its twin", input);
    }
}

// Each body of the byte-set masks against its twin, on the first 64 bytes.
inline constexpr AsciiSet SOME_PUNCTUATION{"!#$%&'*+-/=?^_`{|}~"};
inline constexpr AsciiSet FULL_STOP{"."};

void same_set_masks(std::string_view input) {
    const std::string_view text = input.substr(0, SHORT_TEXT);
    const auto twin = scalar::set_masks<SOME_PUNCTUATION, ASCII_LETTERS, ASCII_DIGITS, FULL_STOP>(text);
    if (runs(Level::Ssse3) &&
        ssse3::set_masks_at<SOME_PUNCTUATION, ASCII_LETTERS, ASCII_DIGITS, FULL_STOP>(text.data(), text.size()) != twin) {
        broken("set_masks", "the SSSE3 body agrees with its twin", input);
    }
    if (runs(Level::Avx2) &&
        avx2::set_masks_at<SOME_PUNCTUATION, ASCII_LETTERS, ASCII_DIGITS, FULL_STOP>(text.data(), text.size()) != twin) {
        broken("set_masks", "the AVX2 body agrees with its twin", input);
    }
}

#endif

#ifdef COBALIS_KERNELS_SSE2
// The one-window body is built into its callers; callers ask first.
[[gnu::target("avx2,popcnt")]] RearrangedMod97 mod97_rearranged_avx2(std::string_view text) {
    return fits_short_window(text.size()) ? avx2::mod97_rearranged_short(text.data(), text.size())
                                          : avx2::mod97_rearranged_two_windows(text.data(), text.size());
}
#endif

// MOD 97-10 with the head moved to the end: the twin against its rule (the
// normal form rearranged, then read by the twin above), and the AVX2 body
// against the twin on the texts it takes.
void same_mod97_rearranged(std::string_view input) {
    const RearrangedMod97 twin = scalar::mod97_rearranged(input);
    bool in_place = input.size() >= HEAD;
    std::uint32_t letters = 0, digits = 0;
    for (std::size_t i = 0; i < HEAD && i < input.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(input[i]);
        in_place = in_place && !Separators::is(byte);
        letters |= std::uint32_t{(byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')} << i;
        digits |= std::uint32_t{byte >= '0' && byte <= '9'} << i;
    }
    if (twin.head_in_place != in_place) {
        broken("mod97_rearranged", "the head is in place when no separator is in it", input);
    }
    if (!in_place) return;
    std::string normal;
    for (char c : input) {
        if (!Separators::is(static_cast<std::uint8_t>(c))) normal.push_back(c);
    }
    const std::string rearranged = normal.substr(HEAD) + normal.substr(0, HEAD);
    const NormalMod97 rule = scalar::mod97_of_normal_form(rearranged, rearranged.size());
    if (twin.remainder() != rule.remainder() || twin.size != normal.size() ||
        twin.all_alphanumeric != rule.all_alphanumeric || twin.head_letters != letters || twin.head_digits != digits) {
        broken("mod97_rearranged", "MOD 97-10 of the rearranged normal form follows its rule", input);
    }
#ifdef COBALIS_KERNELS_SSE2
    if (runs(Level::Avx2) && (fits_short_window(input.size()) || avx2::fits_two_windows(input.size()))) {
        const RearrangedMod97 got = mod97_rearranged_avx2(input);
        if (got.head_in_place != twin.head_in_place || got.remainder() != twin.remainder() || got.size != twin.size ||
            got.all_alphanumeric != twin.all_alphanumeric || got.head_letters != twin.head_letters ||
            got.head_digits != twin.head_digits || got.letters != twin.letters || got.kept != twin.kept) {
            broken("mod97_rearranged", "the AVX2 body agrees with its twin", input);
        }
    }
#endif
}

// The whole-text functions against a plain reading of their rules.
void check_texts(std::string_view input) {
    const std::size_t cut = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]) % (input.size() + 1);
    const std::string_view head = input.substr(0, cut);
    const std::string_view tail = input.substr(cut);

    std::uint64_t r = 0;
    bool alnum = true;
    for (std::string_view part : {head, tail}) {
        for (char c : part) {
            const auto u = static_cast<std::uint8_t>(c);
            if (Digits::is(u)) {
                r = (r * 10 + (u - '0')) % 97;
            } else if (Upper::is(u)) {
                r = (r * 100 + (u - 'A' + 10)) % 97;
            } else {
                alnum = false;
            }
        }
    }
    const algorithms::mod97_10::Reading got = algorithms::mod97_10::read(head, tail);
    if (got.all_alphanumeric != alnum || got.remainder != r) broken("mod97", "MOD 97-10 follows its rule", input);

    // The kernel over the normal form: the text with separators dropped and
    // letters folded, read by the same rule.
    std::string normal;
    for (char c : input) {
        const auto u = static_cast<std::uint8_t>(c);
        if (!Separators::is(u)) normal.push_back(static_cast<char>(FoldUpper::apply(u)));
    }
    std::uint64_t normal_r = 0;
    std::size_t places = 0;
    bool normal_alnum = true;
    std::uint32_t first_four = 0;
    for (std::size_t i = 0; i < normal.size(); ++i) {
        const auto u = static_cast<std::uint8_t>(normal[i]);
        if (i < HEAD) first_four |= std::uint32_t{u} << (8 * i);
        if (Digits::is(u)) {
            normal_r = (normal_r * 10 + (u - '0')) % 97;
            places += 1;
        } else if (Upper::is(u)) {
            normal_r = (normal_r * 100 + (u - 'A' + 10)) % 97;
            places += 2;
        } else {
            normal_alnum = false;
        }
    }
    for (const std::size_t capacity : {std::size_t{254}, normal.size(), normal.size() - (normal.empty() ? 0 : 1)}) {
        const NormalMod97 k = mod97_of_normal_form(input, capacity);
        const bool fits = normal.size() <= capacity;
        if (k.size != (fits ? normal.size() : capacity + 1) || k.head != first_four ||
            (fits && (k.remainder() != normal_r || k.places != places || k.all_alphanumeric != normal_alnum))) {
            broken("mod97_of_normal_form", "MOD 97-10 of the normal form follows its rule", input);
        }
    }

    std::string digits;
    for (char c : input) digits.push_back(static_cast<char>('0' + static_cast<std::uint8_t>(c) % 10));
    std::uint32_t luhn = 0;
    std::uint32_t gs1 = 0;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        const std::uint32_t d = static_cast<std::uint32_t>(digits[digits.size() - 1 - k] - '0');
        luhn += k % 2 == 0 ? d : (2 * d > 9 ? 2 * d - 9 : 2 * d);
        gs1 += k % 2 == 0 ? d : 3 * d;
    }
    if (sum_from_right<DigitSum::Luhn>(digits) != luhn) broken("luhn", "the Luhn sum follows its rule", input);
    if (sum_from_right<DigitSum::Gs1>(digits) != gs1) broken("gs1", "the GS1 sum follows its rule", input);

    // The twins against the plain rules they state.
    const auto masks = set_masks<ASCII_DIGITS, ASCII_LETTERS>(input.substr(0, SHORT_TEXT));
    for (std::size_t i = 0; i < input.size() && i < SHORT_TEXT; ++i) {
        const auto c = static_cast<std::uint8_t>(input[i]);
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
        if (((masks[0] >> i) & 1) != digit || ((masks[1] >> i) & 1) != letter) {
            broken("set_masks", "a byte is in a set exactly when it is one of its members", input);
        }
    }
    std::string kept_digits;
    for (char c : input) {
        if (c != '\t' && c != ' ' && c != '-' && c != '.') kept_digits.push_back(c);
    }
    const NormalDigits d = digits_of_normal_form<FullStops::Dropped>(input, 254);
    if (kept_digits.size() <= 254) {
        std::uint32_t descending = 0, gs1 = 0, luhn = 0;
        for (std::size_t place = 0; place < kept_digits.size(); ++place) {
            const char c = kept_digits[kept_digits.size() - 1 - place];
            const std::uint32_t v = c >= '0' && c <= '9' ? static_cast<std::uint32_t>(c - '0') : (c | 0x20) == 'x' ? 10 : 0;
            descending += v * static_cast<std::uint32_t>(place + 1);
            gs1 += place % 2 == 1 ? 3 * v : v;
            luhn += place % 2 == 1 ? (2 * v > 9 ? 2 * v - 9 : 2 * v) : v;
        }
        if (d.size != kept_digits.size() || d.descending != descending || d.gs1 != gs1 || d.luhn != luhn) {
            broken("digits_of_normal_form", "the sums follow their rules", input);
        }
    }

    bool digits_only = true;
    for (char c : input) digits_only &= Digits::is(static_cast<std::uint8_t>(c));
    if (all_of<Digits>(input) != digits_only) broken("all_of", "all_of follows its rule", input);
}

}  // namespace
}  // namespace cobalis::proof

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cobalis::proof;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
#ifdef COBALIS_KERNELS_SSE2
    for (std::size_t i = 0; i <= size; ++i) check_block(input.data() + i, size - i, input);
    // Capacities at and around the block width exercise the byte-by-byte end.
    for (std::size_t capacity : {std::size_t{0}, std::size_t{15}, std::size_t{17}, std::size_t{254}}) {
        same_normal_form<cobalis::kernels::NoFold, cobalis::kernels::Separators>(input, capacity);
        same_normal_form<cobalis::kernels::FoldUpper, cobalis::kernels::Separators>(input, capacity);
    }
    for (std::size_t capacity : {std::size_t{0}, std::size_t{3}, std::size_t{16}, std::size_t{40}, std::size_t{254}}) {
        same_mod97(input, capacity);
        same_digits<cobalis::kernels::FullStops::Dropped>(input, capacity);
        same_digits<cobalis::kernels::FullStops::Kept>(input, capacity);
    }
    same_set_masks(input);
#endif
    // Every length the window bodies take, from the input's prefixes.
    for (std::size_t n = 0; n <= input.size() && n <= 4 * BLOCK; ++n) same_mod97_rearranged(input.substr(0, n));
    same_mod97_rearranged(input);
    check_texts(input);
    return 0;
}
