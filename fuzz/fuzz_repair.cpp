// Explain and suggest against arbitrary bytes. The first byte picks the kind
// (its value minus '0', modulo the number of kinds, as in fuzz_validators)
// and, by its bit 0x80, strict rules; the rest is the input, copied into a
// buffer of exactly its size so that AddressSanitizer sees any read past it.
//
// For every input: explain gives validate's error, a place inside the input
// and check characters only for a check or form failure, which make the compact form
// valid in place of the ones it holds; every suggestion validates
// under the same rules, lies one substitution or one swap of neighbours from
// the compact form, and none repeats; a valid input has none; the edits come
// in order of likelihood, then of doubts (as counted again on the result),
// then of shape; a kind's predicate for normal forms answers as its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/kinds.hpp"
#include "core/repair/plausibility.hpp"
#include "core/repair/normal.hpp"
#include "core/repair/repair.hpp"
#include "fuzz/check.hpp"

namespace cobalis::proof {
namespace {

void require(bool ok, const kinds::Kind& kind, const char* rule, std::string_view input) noexcept {
    if (!ok) broken(kind.name.data(), rule, input);
}
#define REQUIRE(cond) require((cond), kind, #cond, input)

bool one_edit_apart(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    std::size_t first = a.size();
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (count++ == 0) first = i;
    }
    if (count == 1) return true;
    return count == 2 && first + 1 < a.size() && a[first] == b[first + 1] && a[first + 1] == b[first] &&
           a[first] != b[first];
}

void check(std::size_t number, bool strict, std::string_view input) {
    const kinds::Kind& kind = kinds::KINDS[number];
    const ValidationResult result = (strict ? kind.validate_strict : kind.validate)(input);
    const repair::Explanation e = repair::explain(number, input, strict);
    REQUIRE(e.error == result.error);
    REQUIRE(!e.position || *e.position < input.size());
    REQUIRE(e.check_length == 0 || e.error == ErrorCode::InvalidChecksum || e.error == ErrorCode::InvalidStructure);

    repair::Suggestions found;
    repair::suggest(number, input, strict, repair::Suggestions::CAPACITY, found);
    const auto is_valid = strict ? kind.is_valid_strict : kind.is_valid;
    // A kind's predicate for normal forms answers as its own does on the input.
    const auto is_valid_normal = strict ? kind.repair.is_valid_strict_normal : kind.repair.is_valid_normal;
    InlineString normal;
    if (is_valid_normal != nullptr && repair::normal_form(input, kind, normal)) {
        REQUIRE(is_valid_normal(normal.view()) == is_valid(input));
    }
    REQUIRE(!result.is_valid || found.count == 0);
    if (e.check_length != 0) {
        // The check characters explain names make the compact form valid.
        InlineString fixed = found.compact;
        const repair::CheckPlace place = kind.repair.check_place(fixed.view(), strict);
        REQUIRE(place.count == e.check_length && place.at + place.count <= fixed.size());
        if (place.count == e.check_length && place.at + place.count <= fixed.size()) {
            REQUIRE(fixed.view().substr(place.at, place.count) == e.found());
            for (std::size_t i = 0; i < place.count; ++i) fixed.raw()[place.at + i] = e.expected()[i];
            REQUIRE(is_valid(fixed.view()));
        }
    }
    for (std::size_t i = 0; i < found.count; ++i) {
        const InlineString s = found.at(i);
        REQUIRE(is_valid(s.view()));
        REQUIRE(one_edit_apart(found.compact.view(), s.view()));
        for (std::size_t j = 0; j < i; ++j) REQUIRE(!(found.at(j) == s));
        const repair::Edit e = found.edits[i];
        REQUIRE(e.doubts == repair::doubts(number, s.view(), strict));
        if (i == 0) continue;
        const repair::Edit before = found.edits[i - 1];
        REQUIRE(before.likelihood < e.likelihood ||
                (before.likelihood == e.likelihood &&
                 (before.doubts < e.doubts || (before.doubts == e.doubts && before.shape <= e.shape))));
    }
}

}  // namespace
}  // namespace cobalis::proof

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t number = static_cast<std::uint8_t>((data[0] & 0x7F) - '0') % cobalis::kinds::KIND_COUNT;
    const bool strict = (data[0] & 0x80) != 0;
    const std::unique_ptr<char[]> copy(new char[size - 1 == 0 ? 1 : size - 1]);
    for (std::size_t i = 1; i < size; ++i) copy[i - 1] = static_cast<char>(data[i]);
    cobalis::proof::check(number, strict, std::string_view(copy.get(), size - 1));
    return 0;
}
