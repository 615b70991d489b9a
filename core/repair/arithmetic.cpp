#include "core/repair/arithmetic.hpp"

#include "core/algorithms/luhn.hpp"
#include "core/algorithms/mod97_10.hpp"
#include "core/kernels/mod97.hpp"
#include "core/repair/normal.hpp"
#include "core/validators/text.hpp"

namespace cobalis::repair {

namespace {

using algorithms::luhn::DOUBLED;
using algorithms::mod97_10::POWERS_OF_TEN;
using validators::is_digit;

// The digit whose doubled sum is the index.
constexpr std::array<std::uint8_t, 10> HALVED{0, 5, 1, 6, 2, 7, 3, 8, 4, 9};
static_assert([] {
    for (unsigned d = 0; d < 10; ++d) {
        if (HALVED[DOUBLED[d]] != d) return false;
    }
    return true;
}(), "the kernel drops the kinds' separators");
static_assert([] {
    for (const kinds::Kind& kind : kinds::KINDS) {
        const bool mod97 = kind.repair.arithmetic == Arithmetic::Mod97 || kind.repair.arithmetic == Arithmetic::Mod97Iban;
        if (mod97 && (kind.separators != kinds::SEPARATORS || kind.repair.folding != Folding::Upper)) return false;
    }
    return true;
}(), "the kinds read by MOD 97-10 normalise as the kernel reads");
// Inverses modulo 11 of 1..10.
constexpr std::array<std::uint8_t, 11> INVERSE_11{0, 1, 6, 4, 3, 9, 2, 8, 7, 5, 10};
static_assert([] {
    for (unsigned w = 1; w < 11; ++w) {
        if (w * INVERSE_11[w] % 11 != 1) return false;
    }
    return true;
}());

// Letters read as 10..35 and digits as themselves, as MOD 97-10 reads them;
// how many decimal digits each reads as (none for any other byte).
using algorithms::mod97_10::BYTE_READINGS;
constexpr unsigned value_of(char c) noexcept { return BYTE_READINGS.value[static_cast<unsigned char>(c)]; }
constexpr unsigned digits_of(char c) noexcept { return BYTE_READINGS.width[static_cast<unsigned char>(c)]; }

// 10^e mod 97.
constexpr unsigned power(std::size_t e) noexcept { return algorithms::mod97_10::power_of_ten(e); }

// What a character adds to a Luhn sum when `odd` says its last digit stands
// an odd number of places from the right (and so is doubled).
constexpr unsigned luhn_term(char c, bool odd) noexcept {
    const unsigned v = value_of(c);
    const auto one = [](unsigned d, bool doubled) -> unsigned { return doubled ? DOUBLED[d] : d; };
    if (v < 10) return digits_of(c) == 0 ? 0 : one(v, odd);
    return one(v % 10, odd) + one(v / 10, !odd);
}

// A term of a sum of place values: `c` at `d` places from the right.
template <Arithmetic A>
constexpr unsigned place_term(char c, std::size_t d) noexcept {
    const bool odd = (d & 1) != 0;
    if constexpr (A == Arithmetic::Luhn) {
        return is_digit(c) ? (odd ? DOUBLED[c - '0'] : static_cast<unsigned>(c - '0')) : 0;
    } else if constexpr (A == Arithmetic::Gs1) {
        return is_digit(c) ? static_cast<unsigned>(c - '0') * (odd ? 3 : 1) : 0;
    } else {
        const unsigned v = is_digit(c) ? static_cast<unsigned>(c - '0') : c == 'X' ? 10 : 0;
        return v * static_cast<unsigned>((d + 1) % 11) % 11;
    }
}

}  // namespace

void CandidateChecks::prepare(Arithmetic arithmetic, std::string_view s) noexcept {
    // ISBN-13 is read as the EAN-13 it is.
    if (arithmetic == Arithmetic::Mod11 && s.size() == 13) arithmetic = Arithmetic::Gs1;
    arithmetic_ = arithmetic;
    s_ = s.substr(0, N - 1);
    const std::size_t n = s_.size();
    switch (arithmetic) {
        case Arithmetic::None: return;
        case Arithmetic::Luhn:
        case Arithmetic::Gs1:
        case Arithmetic::Mod11: {
            modulus_ = arithmetic == Arithmetic::Mod11 ? 11 : 10;
            // At most 254 terms below 11 * 10 each (a term is reduced): no overflow.
            const auto sum_of = [&]<Arithmetic A>() {
                unsigned sum = 0;
                for (std::size_t i = 0; i < n; ++i) sum += place_term<A>(s_[i], n - 1 - i);
                return sum;
            };
            const unsigned sum = arithmetic == Arithmetic::Luhn  ? sum_of.operator()<Arithmetic::Luhn>()
                                 : arithmetic == Arithmetic::Gs1 ? sum_of.operator()<Arithmetic::Gs1>()
                                                                 : sum_of.operator()<Arithmetic::Mod11>();
            sum_ = sum % modulus_;
            return;
        }
        case Arithmetic::Mod97:
        case Arithmetic::Mod97Iban:
        case Arithmetic::LuhnLetters: break;
    }
    rotation_ = arithmetic == Arithmetic::Mod97Iban && n >= 4 ? 4 : 0;
    const auto at = [&](std::size_t j) { return s_[j + rotation_ < n ? j + rotation_ : j + rotation_ - n]; };
    const bool luhn = arithmetic == Arithmetic::LuhnLetters;
    prefix_[0] = {0, 0};
    for (std::size_t j = 0; j < n; ++j) {
        const char c = at(j);
        if (luhn) {
            for (unsigned e = 0; e < 2; ++e) {
                const unsigned before = prefix_[j][(e + digits_of(c)) & 1];
                prefix_[j + 1][e] = static_cast<std::uint8_t>((before + luhn_term(c, e == 1)) % 10);
            }
        } else {
            prefix_[j + 1][0] = static_cast<std::uint8_t>((prefix_[j][0] * power(digits_of(c)) + value_of(c)) % 97);
        }
    }
    suffix_[n] = 0;
    suffix_digits_[n] = 0;
    for (std::size_t j = n; j-- > 0;) {
        const char c = at(j);
        const std::size_t after = suffix_digits_[j + 1];
        suffix_[j] = static_cast<std::uint8_t>(luhn ? (suffix_[j + 1] + luhn_term(c, (after & 1) != 0)) % 10
                                                    : (value_of(c) * power(after) + suffix_[j + 1]) % 97);
        suffix_digits_[j] = static_cast<std::uint16_t>(after + digits_of(c));
    }
}

unsigned CandidateChecks::term(char c, std::size_t d) const noexcept {
    switch (arithmetic_) {
        case Arithmetic::Luhn: return place_term<Arithmetic::Luhn>(c, d);
        case Arithmetic::Gs1: return place_term<Arithmetic::Gs1>(c, d);
        case Arithmetic::Mod11: return place_term<Arithmetic::Mod11>(c, d);
        default: return 0;
    }
}

std::size_t CandidateChecks::checked_place(std::size_t k) const noexcept {
    return k >= rotation_ ? k - rotation_ : k + s_.size() - rotation_;
}

bool CandidateChecks::joined_holds(std::size_t j, std::size_t removed, char first, char second,
                                   std::size_t edited) const noexcept {
    // The characters from j + removed on, then those edited in before them.
    const std::size_t after = suffix_digits_[j + removed];
    if (arithmetic_ == Arithmetic::LuhnLetters) {
        unsigned sum = suffix_[j + removed];
        std::size_t digits = after;
        if (edited == 2) {
            sum += luhn_term(second, (digits & 1) != 0);
            digits += digits_of(second);
        }
        sum += luhn_term(first, (digits & 1) != 0);
        digits += digits_of(first);
        sum += prefix_[j][digits & 1];
        return sum % 10 == 0;
    }
    unsigned number = suffix_[j + removed];
    std::size_t digits = after;
    if (edited == 2) {
        number += value_of(second) * power(digits);
        digits += digits_of(second);
    }
    number += value_of(first) * power(digits);
    digits += digits_of(first);
    number += prefix_[j][0] * power(digits);
    return number % 97 == 1;
}

bool CandidateChecks::substitution(std::size_t k, char c) const noexcept {
    const std::size_t n = s_.size();
    if (k >= n) return false;
    switch (arithmetic_) {
        case Arithmetic::None: return true;
        case Arithmetic::Luhn:
        case Arithmetic::Gs1:
        case Arithmetic::Mod11: {
            const std::size_t d = n - 1 - k;
            return place_sum_holds(sum_ + modulus_ - term(s_[k], d) % modulus_ + term(c, d) % modulus_);
        }
        default: return joined_holds(checked_place(k), 1, c, 0, 1);
    }
}

std::size_t CandidateChecks::solve(std::size_t k, std::array<char, 2>& out) const noexcept {
    if (k >= s_.size()) return 0;
    if (arithmetic_ == Arithmetic::Luhn || arithmetic_ == Arithmetic::Gs1 || arithmetic_ == Arithmetic::Mod11) {
        // The term the place needs, and the one digit (or X) that gives it.
        const std::size_t d = s_.size() - 1 - k;
        const unsigned m = modulus_;
        const unsigned rest = (sum_ + m - term(s_[k], d) % m) % m;
        const unsigned need = (m - rest) % m;
        const bool odd = (d & 1) != 0;
        unsigned x = 0;
        if (arithmetic_ == Arithmetic::Luhn) {
            x = odd ? HALVED[need] : need;
        } else if (arithmetic_ == Arithmetic::Gs1) {
            x = odd ? need * 7 % 10 : need;  // 3 * 7 = 1 modulo 10
        } else {
            const unsigned w = static_cast<unsigned>((d + 1) % 11);
            if (w == 0) return NOT_SOLVED;  // every character adds nothing here
            x = need * INVERSE_11[w] % 11;
        }
        out[0] = x == 10 ? 'X' : static_cast<char>('0' + x);
        return 1;
    }
    if (arithmetic_ != Arithmetic::Mod97 && arithmetic_ != Arithmetic::Mod97Iban) return NOT_SOLVED;
    // The number with v in the place is A + v * 10^after (mod 97), where A
    // holds the prefix moved past the place and the suffix; one v in 0..96
    // makes it 1, and it is a character only if it is a digit's or a letter's value.
    const std::size_t j = checked_place(k);
    const std::size_t after = suffix_digits_[j + 1];
    const unsigned inverse = power(96 - after % 96);  // of 10^after
    std::size_t n = 0;
    for (unsigned width = 1; width <= 2; ++width) {
        const unsigned a = (prefix_[j][0] * power(after + width) + suffix_[j + 1]) % 97;
        const unsigned v = (1 + 97 - a) * inverse % 97;
        if (width == 1 && v < 10) out[n++] = static_cast<char>('0' + v);
        if (width == 2 && v >= 10 && v < 36) out[n++] = static_cast<char>('A' + v - 10);
    }
    return n;
}

namespace {

// The check digits that hold `v` (0..96) modulo 97: they are computed as 98
// less a remainder, 02 to 98, so 0 and 1 are written 97 and 98.
std::array<char, 2> check_pair(unsigned v) noexcept {
    const unsigned pair = v >= 2 ? v : v + 97;
    return {static_cast<char>('0' + pair / 10), static_cast<char>('0' + pair % 10)};
}

// The input's kept bytes from its end, folded, with where each stands.
class KeptFromEnd {
public:
    KeptFromEnd(const ByteRules& rules, std::string_view input) noexcept
        : rules_(rules), input_(input), i_(input.size()) {}
    // The next kept byte towards the start into `c`, its offset into `at`; false at the start.
    bool next(char& c, std::size_t& at) noexcept {
        while (i_ > 0) {
            const std::uint16_t rule = rules_[static_cast<unsigned char>(input_[--i_])];
            if ((rule & KEPT) == 0) continue;
            c = static_cast<char>(rule);
            at = i_;
            return true;
        }
        return false;
    }

private:
    const ByteRules& rules_;
    std::string_view input_;
    std::size_t i_;
};

// A number read in place under MOD 97-10, from its right: each character
// adds its value times the power of ten of its place.
struct Mod97Reading {
    std::uint64_t sum = 0;
    std::size_t place = 0;
    void add(char c) noexcept {
        const auto byte = static_cast<std::uint8_t>(c);
        sum += std::uint64_t{BYTE_READINGS.value[byte]} * POWERS_OF_TEN[place];
        place += BYTE_READINGS.width[byte];
    }
    [[nodiscard]] unsigned remainder() const noexcept { return static_cast<unsigned>(sum % 97); }
};

// The pair that brings 100 times `r` to 1.
std::array<char, 2> pair_after(unsigned r) noexcept { return check_pair((1 + 97 * 100 - r * 100) % 97); }

// The same for a whole number of remainder `r` whose last two digits hold
// `held`: 100 times the rest is r - held.
std::array<char, 2> pair_after_whole(unsigned r, unsigned held) noexcept {
    return check_pair((1 + 2 * 97 - r + held % 97) % 97);
}

// The kernel reads a normal form as the kinds with MOD 97-10 make it: the
// same separators dropped, the same letters folded.
static_assert([] {
    for (std::size_t b = 0; b < 256; ++b) {
        const bool dropped = kinds::SEPARATORS.find(static_cast<char>(b)) != std::string_view::npos;
        if (dropped != kernels::Separators::is(static_cast<std::uint8_t>(b))) return false;
    }
    return true;
}());

}  // namespace

bool names_check_at(Arithmetic arithmetic, std::size_t n, std::size_t at, std::size_t count) noexcept {
    switch (arithmetic) {
        case Arithmetic::None: return false;
        case Arithmetic::Luhn:
        case Arithmetic::Gs1:
        case Arithmetic::Mod11:
        case Arithmetic::LuhnLetters: return count == 1 && n >= 1 && at == n - 1;
        case Arithmetic::Mod97: return count == 2 && n >= 2 && at == n - 2;
        case Arithmetic::Mod97Iban: return count == 2 && n >= 4 && at == 2;
    }
    return false;
}

bool solve_from_input(Arithmetic arithmetic, const ByteRules& rules, std::string_view input,
                      InputCheck& out) noexcept {
    constexpr std::size_t MOST = InlineString::CAPACITY;
    KeptFromEnd from_end(rules, input);
    char c = 0;
    std::size_t at = 0;
    switch (arithmetic) {
        case Arithmetic::None: return false;
        case Arithmetic::Luhn:
        case Arithmetic::Gs1:
        case Arithmetic::Mod11:
        case Arithmetic::LuhnLetters: {
            if (!from_end.next(c, at)) return false;
            out.found = {c, 0};
            out.at = at;
            // The rest stand one place further from the right than they
            // would alone; the last place weighs 1. ISBN's sum follows its
            // length, known at the end: both are kept.
            unsigned luhn = 0, gs1 = 0, mod11 = 0;
            std::size_t d = 1;  // places from the right; for Luhn over letters, digits
            std::size_t n = 1;
            while (from_end.next(c, at)) {
                if (++n > MOST) return false;
                if (arithmetic == Arithmetic::Luhn) {
                    luhn += place_term<Arithmetic::Luhn>(c, d++);
                } else if (arithmetic == Arithmetic::LuhnLetters) {
                    luhn += luhn_term(c, (d & 1) != 0);
                    d += digits_of(c);
                } else {
                    gs1 += place_term<Arithmetic::Gs1>(c, d);
                    // Weighted d + 1 and reduced once at the end: at most
                    // 254 terms below 10 * 255, no overflow.
                    const unsigned v = is_digit(c) ? static_cast<unsigned>(c - '0') : c == 'X' ? 10 : 0;
                    mod11 += v * static_cast<unsigned>(d + 1);
                    ++d;
                }
            }
            const bool by_eleven = arithmetic == Arithmetic::Mod11 && n != 13;
            const unsigned m = by_eleven ? 11 : 10;
            const unsigned sum = arithmetic == Arithmetic::Gs1 || (arithmetic == Arithmetic::Mod11 && !by_eleven) ? gs1
                                 : by_eleven                                                                     ? mod11
                                                                                                                 : luhn;
            const unsigned x = (m - sum % m) % m;
            out.expected = {x == 10 ? 'X' : static_cast<char>('0' + x), 0};
            out.count = 1;
            return true;
        }
        case Arithmetic::Mod97: {
            // The last two kept bytes, then the rest.
            char last = 0;
            if (!from_end.next(last, at) || !from_end.next(c, at)) return false;
            out.found = {c, last};
            if (is_digit(c) && is_digit(last)) {
                // Two digits close the number: the kernel reads it whole, and
                // the pair v that makes it 1 differs from theirs by 1 - r.
                const kernels::NormalMod97 whole = kernels::mod97_of_normal_form(input, MOST);
                if (whole.size <= MOST) {
                    const auto held = static_cast<unsigned>((c - '0') * 10 + (last - '0'));
                    out.expected = pair_after_whole(whole.remainder(), held);
                    out.count = 2;
                    return true;
                }
            }
            Mod97Reading rest;
            std::size_t n = 2;
            while (from_end.next(c, at)) {
                if (++n > MOST) return false;
                rest.add(c);
            }
            out.expected = pair_after(rest.remainder());
            out.count = 2;
            return true;
        }
        case Arithmetic::Mod97Iban: {
            // The first four kept bytes move to the end: the third and fourth
            // are the pair.
            std::array<char, 4> head{};
            std::size_t count = 0;
            for (std::size_t i = 0; i < input.size() && count < head.size(); ++i) {
                const std::uint16_t rule = rules[static_cast<unsigned char>(input[i])];
                if ((rule & KEPT) != 0) head[count++] = static_cast<char>(rule);
            }
            if (count < head.size()) return false;
            out.found = {head[2], head[3]};
            // The kernel reads the normal form in its own order, the head H
            // before the body B; the rest in the checked order is B followed
            // by the country, and the pair makes it 1.
            const kernels::NormalMod97 whole = kernels::mod97_of_normal_form(input, MOST);
            Mod97Reading h;
            for (std::size_t i = head.size(); i-- > 0;) h.add(head[i]);
            if (whole.size > MOST || h.place > whole.places) return false;
            Mod97Reading country;
            country.add(head[1]);
            country.add(head[0]);
            const std::size_t body_places = whole.places - h.place;
            const unsigned body = (whole.remainder() + 97 - h.remainder() * POWERS_OF_TEN[body_places] % 97) % 97;
            const unsigned rest = (body * POWERS_OF_TEN[country.place] + country.remainder()) % 97;
            out.expected = pair_after(rest);
            out.count = 2;
            return true;
        }
    }
    return false;
}

bool CandidateChecks::swap(std::size_t k) const noexcept {
    const std::size_t n = s_.size();
    if (k + 1 >= n) return false;
    const char a = s_[k];
    const char b = s_[k + 1];
    switch (arithmetic_) {
        case Arithmetic::None: return true;
        case Arithmetic::Luhn:
        case Arithmetic::Gs1:
        case Arithmetic::Mod11: {
            const std::size_t d = n - 1 - k;
            const unsigned m = modulus_;
            const unsigned out = term(a, d) % m + term(b, d - 1) % m;
            const unsigned in = term(b, d) % m + term(a, d - 1) % m;
            return place_sum_holds(sum_ + 2 * m - out + in);
        }
        default: {
            const std::size_t j = checked_place(k);
            // The IBAN's move splits the pair across its two ends: the validator decides.
            if (j + 1 >= n) return true;
            return joined_holds(j, 2, b, a, 2);
        }
    }
}

}  // namespace cobalis::repair
