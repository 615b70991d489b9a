// The check-digit algorithms against arbitrary bytes.
//
// Each predicate must agree with a plain, unoptimised reading of its rule,
// whatever the input; Luhn generation must give a digit that makes its digit
// payload pass, and for every payload exactly one appended digit makes each
// of the three predicates true.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "fuzz/check.hpp"

namespace cobalis::proof {
namespace {

namespace luhn = algorithms::luhn;
namespace verhoeff = algorithms::verhoeff;
namespace damm = algorithms::damm;

// Luhn as written in the rule: spaces and hyphens skipped anywhere, 1 to 64
// digits, any other byte false.
bool reference_luhn(std::string_view s) {
    std::string digits;
    for (char c : s) {
        if (c == ' ' || c == '-') continue;
        if (c < '0' || c > '9') return false;
        digits.push_back(c);
    }
    if (digits.empty() || digits.size() > 64) return false;
    unsigned sum = 0;
    for (std::size_t pos = 0; pos < digits.size(); ++pos) {
        const unsigned d = static_cast<unsigned>(digits[digits.size() - 1 - pos] - '0');
        sum += pos % 2 == 0 ? d : (2 * d > 9 ? 2 * d - 9 : 2 * d);
    }
    return sum % 10 == 0;
}

bool only_digits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return !s.empty();
}

bool reference_verhoeff(std::string_view s) {
    if (!only_digits(s)) return false;
    unsigned c = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto d = static_cast<std::size_t>(s[s.size() - 1 - i] - '0');
        c = verhoeff::D[c][verhoeff::P[i % 8][d]];
    }
    return c == 0;
}

bool reference_damm(std::string_view s) {
    if (!only_digits(s)) return false;
    unsigned interim = 0;
    for (char ch : s) interim = damm::TABLE[interim][static_cast<std::size_t>(ch - '0')];
    return interim == 0;
}

template <class Predicate>
int digits_that_complete(const std::string& payload, Predicate predicate) {
    int count = 0;
    std::string s = payload + '0';
    for (char d = '0'; d <= '9'; ++d) {
        s.back() = d;
        count += predicate(s) ? 1 : 0;
    }
    return count;
}

void check(std::string_view input) {
    const auto require = [input](bool ok, const char* rule) {
        if (!ok) broken("check digits", rule, input);
    };
    require(luhn::validate_str(input) == reference_luhn(input), "luhn::validate_str follows the rule");
    require(verhoeff::validate_str(input) == reference_verhoeff(input), "verhoeff::validate_str follows the rule");
    require(damm::validate_str(input) == reference_damm(input), "damm::validate_str follows the rule");
    require(luhn::generate_str(input) <= 9, "luhn::generate_str gives a digit for any text");

    // The digits of the input form a payload (at most 63, so that one more
    // still fits the Luhn buffer).
    std::string payload;
    for (char c : input) {
        if (c >= '0' && c <= '9' && payload.size() < luhn::MAX_DIGITS - 1) payload.push_back(c);
    }
    const char check_digit = static_cast<char>('0' + luhn::generate_str(payload));
    const std::string completed = payload + check_digit;
    require(luhn::validate_str(completed), "a generated Luhn digit makes its payload pass");
    std::string spaced = completed;
    spaced.insert(pick(input, spaced.size()), 1, input.size() % 2 ? ' ' : '-');
    require(luhn::validate_str(spaced), "a space or hyphen anywhere changes nothing");
    require(digits_that_complete(payload, luhn::validate_str) == 1, "exactly one Luhn digit completes a payload");
    require(digits_that_complete(payload, verhoeff::validate_str) == 1,
            "exactly one Verhoeff digit completes a payload");
    require(digits_that_complete(payload, damm::validate_str) == 1, "exactly one Damm digit completes a payload");
}

}  // namespace
}  // namespace cobalis::proof

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cobalis::proof::check(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
