// Every identifier validator against arbitrary bytes. The first byte picks
// the kind (its value minus '0', modulo the number of kinds, so the seed
// files read "0GB82..." for an IBAN); the rest is the input.
//
// For every input: the fast path agrees with validate; an invalid result has
// an error, no details and two empty forms; a valid one has no error, its own
// details and UTF-8 texts; its compact form validates to the identical result
// and its display form to the same compact form; separators and the case of
// letters change nothing where the kind says so; strict validation accepts
// nothing the plain rules refuse, and gives the plain result where it accepts.
// The shared normaliser, which works a block at a time, agrees with a plain
// byte-by-byte reading of its rule.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/kinds.hpp"
#include "core/validators/text.hpp"
#include "fuzz/check.hpp"

namespace cobalis::proof {
namespace {

struct Checker {
    const kinds::Kind& kind;
    std::string_view input;

    void require(bool ok, const char* rule) const noexcept {
        if (!ok) broken(kind.name.data(), rule, input);
    }
};

#define REQUIRE(cond) check.require((cond), #cond)

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && !(is_ascii_letter(a[i]) && (a[i] ^ 0x20) == b[i])) return false;
    }
    return true;
}

bool no_lower(std::string_view s) noexcept {
    for (char c : s) {
        if (c >= 'a' && c <= 'z') return false;
    }
    return true;
}

// What a valid result's details must say about its own compact form.
void check_details(const Checker& check, const ValidationResult& r) {
    const std::string_view c = r.compact.view();
    if (const auto* d = std::get_if<IbanDetails>(&r.details)) {
        REQUIRE(d->country.view() == c.substr(0, 2) && d->check_digits.view() == c.substr(2, 2));
        REQUIRE(d->bban_length + 4u == c.size());
        REQUIRE(no_lower(c));
    } else if (const auto* d = std::get_if<BicDetails>(&r.details)) {
        REQUIRE(c.size() == 8 || c.size() == 11);
        REQUIRE(d->bank_code.view() == c.substr(0, 4) && d->country.view() == c.substr(4, 2));
        REQUIRE(d->location.view() == c.substr(6, 2));
        REQUIRE(d->branch.has_value() == (c.size() == 11));
        REQUIRE(!d->branch || d->branch->view() == c.substr(8, 3));
        REQUIRE(r.formatted == r.compact);
    } else if (const auto* d = std::get_if<CreditCardDetails>(&r.details)) {
        REQUIRE(static_cast<std::size_t>(d->brand) < CARD_BRAND_COUNT);
        REQUIRE(c.size() >= 12 && c.size() <= 19);
    } else if (const auto* d = std::get_if<IsbnDetails>(&r.details)) {
        const bool ten = d->isbn_type == IsbnType::Isbn10;
        REQUIRE(c.size() == (ten ? 10u : 13u));
        REQUIRE(ten ? (d->isbn10 && d->isbn10->view() == c) : (d->isbn13 && d->isbn13->view() == c));
        REQUIRE(!ten || d->isbn13.has_value());
        REQUIRE(ten || d->isbn10.has_value() == (c.substr(0, 3) == "978"));
        // The other form is a valid ISBN whose own other form leads back here.
        const std::optional<std::string_view> other =
            ten ? std::optional(d->isbn13->view()) : d->isbn10 ? std::optional(d->isbn10->view()) : std::nullopt;
        if (other) {
            const ValidationResult back = check.kind.validate(*other);
            REQUIRE(back.is_valid);
            const auto* bd = std::get_if<IsbnDetails>(&back.details);
            REQUIRE(bd != nullptr && bd->isbn10 && bd->isbn13);
            REQUIRE(bd->isbn10 == d->isbn10 && bd->isbn13 == d->isbn13);
        }
    } else if (std::holds_alternative<IssnDetails>(r.details)) {
        REQUIRE(c.size() == 8 && r.formatted.size() == 9 && r.formatted[4] == '-');
    } else if (const auto* d = std::get_if<IsinDetails>(&r.details)) {
        REQUIRE(c.size() == 12 && d->country.view() == c.substr(0, 2) && r.formatted == r.compact);
    } else if (const auto* d = std::get_if<LeiDetails>(&r.details)) {
        REQUIRE(c.size() == 20 && d->lou_prefix.view() == c.substr(0, 4));
        REQUIRE(r.formatted == r.compact);
    } else if (const auto* d = std::get_if<EanDetails>(&r.details)) {
        const bool thirteen = d->ean_type == EanType::Ean13;
        REQUIRE(c.size() == (thirteen ? 13u : 8u));
        REQUIRE(d->country_prefix.view() == (thirteen ? c.substr(0, 3) : std::string_view{}));
        REQUIRE(r.formatted == r.compact);
    } else if (const auto* d = std::get_if<VatDetails>(&r.details)) {
        const std::string_view prefix = c.substr(0, 2);
        REQUIRE(d->country.view() == (prefix == "EL" ? std::string_view{"GR"} : prefix));
        REQUIRE(r.formatted == r.compact && no_lower(c));
    } else if (const auto* d = std::get_if<EmailDetails>(&r.details)) {
        REQUIRE(d->local_length >= 1 && d->local_length <= 64);
        REQUIRE(d->local_length + d->domain_length + 1u == c.size());
        REQUIRE(c[d->local_length] == '@');
    }
}

void check_kind(const kinds::Kind& kind, std::string_view input) {
    const Checker check{kind, input};
    const ValidationResult r = kind.validate(input);
    REQUIRE(kind.is_valid(input) == r.is_valid);

    if (!r.is_valid) {
        REQUIRE(r.error.has_value());
        REQUIRE(std::holds_alternative<NoDetails>(r.details));
        REQUIRE(r.compact.empty() && r.formatted.empty());
    } else {
        REQUIRE(!r.error.has_value());
        REQUIRE(r.details.index() == kind.variant);
        REQUIRE(!r.compact.empty() && !r.formatted.empty());
        REQUIRE(is_utf8(r.compact.view()) && is_utf8(r.formatted.view()));
        if (const auto* d = std::get_if<IsbnDetails>(&r.details)) {
            REQUIRE(!d->isbn10 || is_utf8(d->isbn10->view()));
            REQUIRE(!d->isbn13 || is_utf8(d->isbn13->view()));
        }
        if (const auto* d = std::get_if<EanDetails>(&r.details)) REQUIRE(is_utf8(d->country_prefix.view()));
        check_details(check, r);

        const ValidationResult again = kind.validate(r.compact.view());
        REQUIRE(again == r);
        REQUIRE(kind.is_valid(r.compact.view()));

        const ValidationResult shown = kind.validate(r.formatted.view());
        REQUIRE(kind.is_valid(r.formatted.view()));
        if (std::holds_alternative<EmailDetails>(r.details)) {
            // The display form writes the domain in lower case.
            REQUIRE(shown.is_valid && shown.compact == r.formatted);
            REQUIRE(equal_ignoring_case(r.compact.view(), r.formatted.view()));
        } else {
            REQUIRE(shown == r);
        }
    }

    // Strict answers lie within the plain ones: where the plain rules fail,
    // strict fails the same way; where strict accepts, its result is the plain
    // one (with more details for some kinds); where only strict refuses, it
    // names a stricter rule.
    const ValidationResult strict = kind.validate_strict(input);
    REQUIRE(kind.is_valid_strict(input) == strict.is_valid);
    if (strict.is_valid && kind.strict_variant != kind.variant) {
        REQUIRE(strict.details.index() == kind.strict_variant);
        REQUIRE(strict.compact == r.compact && strict.formatted == r.formatted && r.is_valid);
        if (const auto* d = std::get_if<StrictIbanDetails>(&strict.details)) {
            const auto& plain = std::get<IbanDetails>(r.details);
            REQUIRE(d->country == plain.country && d->check_digits == plain.check_digits &&
                    d->bban_length == plain.bban_length);
            const std::string_view bban = strict.compact.view().substr(4);
            REQUIRE(d->bank_code.size != 0 && bban.find(d->bank_code.view()) != std::string_view::npos);
            REQUIRE(!d->branch_code || bban.find(d->branch_code->view()) != std::string_view::npos);
        }
    } else if (strict.is_valid || !r.is_valid) {
        REQUIRE(strict == r);
    } else {
        REQUIRE(strict.error == ErrorCode::InvalidStructure || strict.error == ErrorCode::InvalidChecksum ||
                strict.error == ErrorCode::InvalidCountry || strict.error == ErrorCode::InvalidCharset);
        REQUIRE(std::holds_alternative<NoDetails>(strict.details));
        REQUIRE(strict.compact.empty() && strict.formatted.empty());
    }
    if (strict.is_valid) REQUIRE(kind.validate_strict(strict.compact.view()) == strict);

    if (!kind.separators.empty()) {
        std::string spaced(input);
        const char sep = kind.separators[input.size() % kind.separators.size()];
        spaced.insert(pick(input, input.size()), 1, sep);
        REQUIRE(kind.validate(spaced) == r);
        REQUIRE(kind.is_valid(spaced) == r.is_valid);
    }
    if (kind.case_blind) {
        const std::string swapped = swap_case(input);
        REQUIRE(kind.validate(swapped) == r);
    }
}

#undef REQUIRE

// Separators dropped wherever they stand, a..z folded when asked, and no
// answer once a 255th byte would be kept.
template <validators::Fold fold>
void check_normaliser(std::string_view input) {
    std::string expected;
    bool fits = true;
    for (char c : input) {
        if (validators::is_separator(c)) continue;
        if (expected.size() == InlineString::CAPACITY) {
            fits = false;
            break;
        }
        expected.push_back(fold == validators::Fold::Upper ? validators::to_upper(c) : c);
    }
    InlineString out;
    const bool ok = validators::normalise<fold>(input, out);
    if (ok != fits || (ok && out.view() != expected)) broken("normalise", "the normaliser follows its rule", input);
}

}  // namespace
}  // namespace cobalis::proof

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cobalis::proof;
    if (size == 0) return 0;
    const auto slot = static_cast<std::uint8_t>(data[0] - '0') % cobalis::kinds::KIND_COUNT;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    check_normaliser<cobalis::validators::Fold::Upper>(input);
    check_normaliser<cobalis::validators::Fold::None>(input);
    check_kind(cobalis::kinds::KINDS[slot], input);
    return 0;
}
