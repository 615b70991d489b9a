#include "core/repair/repair.hpp"

#include <algorithm>

#include "core/kinds.hpp"
#include "core/repair/arithmetic.hpp"
#include "core/repair/normal.hpp"
#include "core/repair/plausibility.hpp"

namespace cobalis::repair {

namespace {

constexpr bool allowed(const Alphabet& layout, char c) noexcept { return layout.has(c); }

// The first place of `s` holding a character its layout does not allow.
std::optional<std::size_t> first_misplaced(const Profile& profile, const Places& places, std::string_view s) noexcept {
    if (!profile.fixed_layout) return std::nullopt;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!allowed(*places.at[i], s[i])) return i;
    }
    return std::nullopt;
}

using Predicate = bool (*)(std::string_view) noexcept;

// What confirms a candidate edit of a normal form: the kind's is_valid (or
// strict), without normalising again where the kind can.
Predicate confirmer(const kinds::Kind& kind, bool strict) noexcept {
    const Profile& profile = kind.repair;
    if (strict) return profile.is_valid_strict_normal != nullptr ? profile.is_valid_strict_normal : kind.is_valid_strict;
    return profile.is_valid_normal != nullptr ? profile.is_valid_normal : kind.is_valid;
}

// The places of a normal form, read the first time they are asked for: the
// check digits of MOD 97-10 are found without them.
class LazyPlaces {
public:
    LazyPlaces(const Profile& profile, std::string_view s, bool strict) noexcept
        : profile_(profile), s_(s), strict_(strict) {}
    const Places& get() noexcept {
        if (!filled_) profile_.layout(s_, strict_, places_);
        filled_ = true;
        return places_;
    }
    // The alphabet of place `k` alone.
    const Alphabet& at(std::size_t k) noexcept {
        return profile_.place != nullptr && !filled_ ? profile_.place(s_, k) : *get().at[k];
    }

private:
    const Profile& profile_;
    std::string_view s_;
    bool strict_;
    bool filled_ = false;
    Places places_;
};

// The check characters that make `s` valid with the rest unchanged, written
// into `out`: the only such character, or for two digits read as one number
// the pair in the usual range, 2 to 98 where it can be. Each is
// confirmed by `is_valid`, or, when it is null, taken as the arithmetic
// solves it.
bool implied_check(const Profile& profile, LazyPlaces& layout, CheckPlace place, std::string_view s,
                   Predicate is_valid, std::array<char, 2>& out) noexcept {
    InlineString candidate(s);
    char* const bytes = candidate.raw();
    const std::size_t k = place.at;
    // Where the arithmetic names its check characters outright, one pass
    // over the form solves them.
    InputCheck solved;
    const bool named = names_check_at(profile.arithmetic, s.size(), k, place.count) &&
                       solve_from_input(profile.arithmetic, AS_IS, s, solved);
    if (place.count == 2 && named) {
        bytes[k] = solved.expected[0];
        bytes[k + 1] = solved.expected[1];
        if (is_valid != nullptr && !is_valid(candidate.view())) return false;
        out = solved.expected;
        return true;
    }
    CandidateChecks checks;
    if (place.count == 1) {
        const Alphabet& allowed_here = place.alphabet != nullptr ? *place.alphabet : layout.at(k);
        // One the arithmetic does not name outright is solved from sums
        // prepared over the whole form.
        std::array<char, 2> solutions{solved.expected[0], 0};
        std::size_t count = 1;
        const bool prepared = !named;
        if (prepared) {
            checks.prepare(profile.arithmetic, s);
            count = checks.solve(k, solutions);
        }
        const std::string_view tried = count == CandidateChecks::NOT_SOLVED
                                           ? allowed_here.chars()
                                           : std::string_view(solutions.data(), count);
        // Where more than one character would do (a country with two ways
        // of checking), the rest does not imply one: none is named.
        std::size_t found = 0;
        for (const char c : tried) {
            if (!allowed_here.has(c) || (prepared && !checks.substitution(k, c))) continue;
            bytes[k] = c;
            if (is_valid == nullptr || is_valid(candidate.view())) {
                out[0] = c;
                if (++found > 1) return false;
            }
        }
        return found == 1;
    }
    // Two check characters of other arithmetic: the first tried against
    // every second; none named where more than one pair would do.
    if (is_valid == nullptr) return false;
    std::size_t found = 0;
    const Places& places = layout.get();
    for (const char c : places.at[k]->chars()) {
        bytes[k] = c;
        CandidateChecks with_first;
        with_first.prepare(profile.arithmetic, candidate.view());
        for (const char d : places.at[k + 1]->chars()) {
            if (!with_first.substitution(k + 1, d)) continue;
            bytes[k + 1] = d;
            if (is_valid(candidate.view())) {
                out = {c, d};
                if (++found > 1) return false;
            }
        }
        bytes[k + 1] = s[k + 1];
    }
    return found == 1;
}

// Visually confusable characters and keys side by side on a QWERTY keyboard.
constexpr char upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

constexpr bool confusable(char a, char b) noexcept {
    constexpr std::string_view PAIRS = "O0I1S5B8Z2G6";
    a = upper(a);
    b = upper(b);
    for (std::size_t i = 0; i < PAIRS.size(); i += 2) {
        if ((a == PAIRS[i] && b == PAIRS[i + 1]) || (a == PAIRS[i + 1] && b == PAIRS[i])) return true;
    }
    return false;
}

struct Key {
    int row = -1;
    int x = 0;  // in quarters of a key's width, rows staggered as on a keyboard
};
constexpr Key key_of(char c) noexcept {
    constexpr std::array<std::string_view, 4> ROWS{"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    constexpr std::array<int, 4> OFFSETS{0, 2, 3, 5};
    c = upper(c);
    for (std::size_t r = 0; r < ROWS.size(); ++r) {
        const std::size_t col = ROWS[r].find(c);
        if (col != std::string_view::npos) return {static_cast<int>(r), OFFSETS[r] + 4 * static_cast<int>(col)};
    }
    return {};
}
constexpr bool neighbours(char a, char b) noexcept {
    const Key p = key_of(a);
    const Key q = key_of(b);
    if (p.row < 0 || q.row < 0) return false;
    const int dx = p.x > q.x ? p.x - q.x : q.x - p.x;
    if (p.row == q.row) return dx == 4;
    const int dr = p.row > q.row ? p.row - q.row : q.row - p.row;
    return dr == 1 && dx <= 4;
}
static_assert(neighbours('Q', 'W') && neighbours('a', 'Q') && neighbours('1', 'Q') && neighbours('5', 'T'));
static_assert(!neighbours('1', 'W') && !neighbours('A', 'L') && confusable('o', '0') && !confusable('O', '1'));

constexpr Likelihood likelihood(char from, char to) noexcept {
    if (confusable(from, to)) return Likelihood::Confusable;
    if (neighbours(from, to)) return Likelihood::Neighbour;
    return Likelihood::Other;
}

// Among slips equally likely, the one whose result keeps letters and digits
// in fewer runs: identifiers hold their letters together (a country code, a
// bank code, an issuer's prefix), so a result that breaks a run apart is less
// likely to be the original. What an edit changes in the number of places
// where a letter meets a digit (or another byte), from -2 to 2, plus 2.
enum class Class : std::uint8_t { Digit, Letter, Other };
constexpr Class class_of(char c) noexcept {
    return c >= '0' && c <= '9' ? Class::Digit : (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? Class::Letter
                                                                                                  : Class::Other;
}
constexpr int boundaries(std::string_view s, std::size_t first, std::size_t last, std::size_t k, char at_k,
                         std::size_t k2, char at_k2) noexcept {
    // Boundaries between neighbours among places first..last, with at_k at k and at_k2 at k2.
    int n = 0;
    const auto at = [&](std::size_t i) { return i == k ? at_k : i == k2 ? at_k2 : s[i]; };
    for (std::size_t i = first; i < last; ++i) n += class_of(at(i)) != class_of(at(i + 1)) ? 1 : 0;
    return n;
}
constexpr std::uint8_t shape_cost(std::string_view s, std::size_t k, bool swap, char with) noexcept {
    const std::size_t first = k == 0 ? 0 : k - 1;
    const std::size_t last = std::min(s.size() - 1, k + (swap ? 2 : 1));
    const int before = boundaries(s, first, last, k, s[k], k, s[k]);
    const int after = swap ? boundaries(s, first, last, k, s[k + 1], k + 1, s[k])
                           : boundaries(s, first, last, k, with, k, with);
    return static_cast<std::uint8_t>(after - before + 2);
}
static_assert(shape_cost("AB1C", 1, true, 0) == 2 && shape_cost("A1BC", 0, true, 0) == 1 &&
              shape_cost("123", 1, false, 'A') == 4 && shape_cost("1A3", 1, false, '2') == 0);

// Whether `edit` could enter the `limit` most plausible edits kept so far
// whatever its doubts: its doubts are counted only then.
bool may_enter(const Suggestions& out, std::size_t limit, const Edit& edit) noexcept {
    if (out.count < limit) return true;
    const Edit& last = out.edits[limit - 1];
    if (last.likelihood != edit.likelihood) return edit.likelihood < last.likelihood;
    return last.doubts > 0 || edit.shape < last.shape;
}

// Keeps the `limit` most plausible edits, in the order found among equals.
void keep(Suggestions& out, std::size_t limit, Edit edit) noexcept {
    const auto worse = [&](const Edit& e) {
        if (e.likelihood != edit.likelihood) return e.likelihood > edit.likelihood;
        if (e.doubts != edit.doubts) return e.doubts > edit.doubts;
        return e.shape > edit.shape;
    };
    std::size_t at = out.count;
    while (at > 0 && worse(out.edits[at - 1])) --at;
    if (at >= limit) return;
    const std::size_t end = out.count < limit ? out.count : limit - 1;
    for (std::size_t i = end; i > at; --i) out.edits[i] = out.edits[i - 1];
    out.edits[at] = edit;
    if (out.count < limit) ++out.count;
}

}  // namespace

InlineString Suggestions::at(std::size_t i) const noexcept {
    InlineString s = compact;
    if (i >= count) return s;
    const Edit e = edits[i];
    char* const bytes = s.raw();
    if (e.likelihood == Likelihood::Swap) {
        std::swap(bytes[e.at], bytes[e.at + 1]);
    } else {
        bytes[e.at] = e.with;
    }
    return s;
}

Explanation explain(std::size_t kind_number, std::string_view input, bool strict) noexcept {
    Explanation e;
    if (kind_number >= kinds::KIND_COUNT) return e;
    const kinds::Kind& kind = kinds::KINDS[kind_number];
    const ValidationResult result = (strict ? kind.validate_strict : kind.validate)(input);
    if (result.is_valid || !result.error) return e;
    e.error = result.error;
    if (*result.error == ErrorCode::InvalidLength) return e;
    if (!strict && *result.error == ErrorCode::InvalidChecksum) {
        // Under the plain rules, a kind with check arithmetic checks its
        // check characters last and by that arithmetic alone: what it solves
        // is valid (fuzz_repair holds it to that), read straight from the input.
        InputCheck check;
        if (solve_from_input(kind.repair.arithmetic, byte_rules(kind), input, check)) {
            e.expected_bytes.bytes = check.expected;
            e.found_bytes.bytes = check.found;
            e.check_length = static_cast<std::uint8_t>(check.count);
            if (check.count == 1) e.position = check.at;
            return e;
        }
    }
    InlineString normal;
    if (!normal_form(input, kind, normal)) return e;
    const std::string_view s = normal.view();
    const Profile& profile = kind.repair;
    const auto blame = [&](std::size_t k) { e.position = input_offset(input, kind, k, s.size()); };
    // A check failure, or a form whose rule holds its check characters (as
    // some countries' VAT numbers do) that those characters alone break.
    const bool checksum = *result.error == ErrorCode::InvalidChecksum;
    if (checksum || (*result.error == ErrorCode::InvalidStructure && profile.arithmetic == Arithmetic::None)) {
        const CheckPlace place = profile.check_place(s, strict);
        std::array<char, 2> expected{};
        // Under the plain rules, a kind with check arithmetic checks its
        // check characters last and by that arithmetic alone: once validate
        // names them, what the arithmetic solves is valid (fuzz_repair holds
        // it to that). National rules may refuse it still, so strict asks.
        const Predicate is_valid = strict || profile.arithmetic == Arithmetic::None ? confirmer(kind, strict) : nullptr;
        LazyPlaces layout(profile, s, strict);
        // A form's two check characters with no arithmetic to solve them
        // (France's key) would take a thousand validations to find: one only.
        const std::size_t most = checksum ? 2 : 1;
        if (place.count != 0 && place.count <= most && place.at + place.count <= s.size() &&
            implied_check(profile, layout, place, s, is_valid, expected)) {
            e.expected_bytes.bytes = expected;
            e.found_bytes = FixedCode<2>::from(s.substr(place.at, place.count));
            if (place.count == 1) e.found_bytes.bytes[1] = 0;
            e.check_length = static_cast<std::uint8_t>(place.count);
            // One check character is to blame; two are read with the whole number.
            if (place.count == 1) blame(place.at);
            return e;
        }
        if (checksum) return e;
    }
    Places places;
    profile.layout(s, strict, places);
    if (const auto misplaced = first_misplaced(profile, places, s)) {
        blame(*misplaced);
    } else if ((*result.error == ErrorCode::InvalidCountry || *result.error == ErrorCode::UnsupportedCountry) &&
               profile.country_at < s.size()) {
        blame(profile.country_at);
    } else if (*result.error == ErrorCode::InvalidPrefix && !s.empty()) {
        blame(0);
    }
    return e;
}

void suggest(std::size_t kind_number, std::string_view input, bool strict, std::size_t limit,
             Suggestions& out) noexcept {
    out.count = 0;
    out.compact.clear();
    limit = std::min(limit, Suggestions::CAPACITY);
    if (kind_number >= kinds::KIND_COUNT || limit == 0) return;
    const kinds::Kind& kind = kinds::KINDS[kind_number];
    if ((strict ? kind.is_valid_strict : kind.is_valid)(input)) return;
    const Predicate is_valid = confirmer(kind, strict);
    if (!normal_form(input, kind, out.compact)) return;
    const std::string_view s = out.compact.view();
    const std::size_t n = s.size();
    const Profile& profile = kind.repair;
    if (n == 0) return;
    Places places;
    profile.layout(s, strict, places);

    // Characters outside their place's layout: every one must be edited, so
    // one edit repairs at most two of them, side by side.
    std::array<std::size_t, 2> misplaced{};
    std::size_t misplaced_count = 0;
    if (profile.fixed_layout) {
        for (std::size_t i = 0; i < n; ++i) {
            if (allowed(*places.at[i], s[i])) continue;
            if (misplaced_count == 2) return;
            misplaced[misplaced_count++] = i;
        }
    }
    const auto edits_all_misplaced = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = 0; i < misplaced_count; ++i) {
            if (misplaced[i] < first || misplaced[i] > last) return false;
        }
        return true;
    };

    CandidateChecks checks;
    checks.prepare(profile.arithmetic, s);
    InlineString candidate = out.compact;
    char* const bytes = candidate.raw();

    for (std::size_t k = 0; k + 1 < n; ++k) {
        const char a = s[k];
        const char b = s[k + 1];
        if (a == b || !edits_all_misplaced(k, k + 1)) continue;
        if (profile.fixed_layout && (!allowed(*places.at[k], b) || !allowed(*places.at[k + 1], a))) continue;
        if (!checks.swap(k)) continue;
        bytes[k] = b;
        bytes[k + 1] = a;
        if (is_valid(candidate.view())) {
            Edit edit{static_cast<std::uint8_t>(k), 0, Likelihood::Swap, 0, shape_cost(s, k, true, 0)};
            if (may_enter(out, limit, edit)) {
                edit.doubts = doubts(kind_number, candidate.view(), strict);
                keep(out, limit, edit);
            }
        }
        bytes[k] = a;
        bytes[k + 1] = b;
    }
    if (misplaced_count == 2) return;
    for (std::size_t k = 0; k < n; ++k) {
        if (!edits_all_misplaced(k, k)) continue;
        const char old = s[k];
        const Alphabet& layout = *places.at[k];
        std::array<char, 2> solved{};
        const std::size_t solutions = checks.solve(k, solved);
        const std::string_view tried =
            solutions == CandidateChecks::NOT_SOLVED ? layout.chars() : std::string_view(solved.data(), solutions);
        for (const char c : tried) {
            if (c == old || !checks.substitution(k, c)) continue;
            if (solutions != CandidateChecks::NOT_SOLVED && !allowed(layout, c)) continue;
            bytes[k] = c;
            if (is_valid(candidate.view())) {
                Edit edit{static_cast<std::uint8_t>(k), c, likelihood(old, c), 0, shape_cost(s, k, false, c)};
                if (may_enter(out, limit, edit)) {
                    edit.doubts = doubts(kind_number, candidate.view(), strict);
                    keep(out, limit, edit);
                }
            }
        }
        bytes[k] = old;
    }
}

}  // namespace cobalis::repair
