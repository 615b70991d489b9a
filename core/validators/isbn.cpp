#include "core/validators/isbn.hpp"

#include <cstddef>
#include <optional>

#include "core/algorithms/check_digits.hpp"
#include "core/kernels/digit_strings.hpp"
#include "core/validators/digits_x.hpp"
#include "core/validators/ean.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::isbn {
namespace {

inline constexpr std::size_t ISBN10_LENGTH = 10;
inline constexpr std::size_t ISBN13_LENGTH = 13;
inline constexpr std::string_view BOOK_PREFIX = "978";  // the only prefix with ISBN-10 counterparts
inline constexpr std::size_t PREFIX_LENGTH = BOOK_PREFIX.size();

static_assert(mod11_check("0306406152") && mod11_check("080442957X") && !mod11_check("0306406153"));
static_assert(mod11_check_character("080442957") == 'X' && mod11_check_character("030640615") == '2');

constexpr bool has_book_prefix(std::string_view s) noexcept {
    return s[0] == '9' && s[1] == '7' && (s[2] == '8' || s[2] == '9');
}

// What the checks need of the normal form, read from the input in one pass
// without writing it down (core/kernels/digit_strings.hpp).
using Digits = kernels::NormalDigits;

constexpr Digits digits_of(std::string_view input) noexcept {
    return kernels::digits_of_normal_form<kernels::FullStops::Dropped>(input, InlineString::CAPACITY);
}

constexpr bool has_book_prefix(const Digits& d) noexcept {
    const char head[] = {static_cast<char>(d.head), static_cast<char>(d.head >> 8), static_cast<char>(d.head >> 16)};
    return has_book_prefix(std::string_view(head, PREFIX_LENGTH));
}

// The checks in their order; the first that decides names the error.
constexpr std::optional<ErrorCode> first_failure(const Digits& d) noexcept {
    // A byte that is no digit, X, x or separator, or a 255th kept byte: the
    // normaliser's refusal.
    if (d.other || d.size > InlineString::CAPACITY) return ErrorCode::InvalidLength;
    if (d.size == ISBN10_LENGTH) {
        // Nine digits and a digit or X: the weights fall from 10 to 1.
        if (!d.x_before && d.descending % 11 == 0) return std::nullopt;
        if (d.x_before) return ErrorCode::InvalidCharset;
        return ErrorCode::InvalidChecksum;
    }
    if (d.size == ISBN13_LENGTH) {
        const bool digits = !d.x_before && !d.x_last;
        const bool book = has_book_prefix(d);
        if (digits && book && d.gs1 % 10 == 0) return std::nullopt;
        if (!digits) return ErrorCode::InvalidCharset;
        if (book) return ErrorCode::InvalidChecksum;
        return ErrorCode::InvalidPrefix;
    }
    return ErrorCode::InvalidLength;
}

static_assert(!first_failure(digits_of("0-306-40615-2")) && !first_failure(digits_of("978-0-306-40615-7")));
static_assert(first_failure(digits_of("03064X6152")) == ErrorCode::InvalidCharset);
static_assert(first_failure(digits_of("9770306406157")) == ErrorCode::InvalidPrefix);
static_assert(first_failure(digits_of("ISBN 0306406152")) == ErrorCode::InvalidLength);

// The display forms put hyphens before characters 2, 5 and 10 of an ISBN-10
// (1-3-5-1) and before characters 4, 5, 8 and 13 of an ISBN-13 (3-1-3-5-1):
// fixed groups, not the ranges of the registration groups.

// 978, the nine digits of the ISBN-10 body, and a fresh GS1 check digit: with
// the weights 1, 3, 1, ... the prefix adds 9 + 21 + 8 = 38, and the body's
// digits weigh 3, 1, 3, ... from its first on.
inline constexpr unsigned BOOK_PREFIX_SUM = 38;

constexpr FixedCode<ISBN13_LENGTH> isbn13_of(std::string_view isbn10) noexcept {
    FixedCode<ISBN13_LENGTH> out = FixedCode<ISBN13_LENGTH>::from(BOOK_PREFIX);
    unsigned sum = BOOK_PREFIX_SUM;
    for (std::size_t i = 0; i < ISBN10_LENGTH - 1; ++i) {
        out.bytes[PREFIX_LENGTH + i] = isbn10[i];
        sum += (i % 2 == 0 ? 3 : 1) * digit_value(isbn10[i]);
    }
    out.bytes[ISBN13_LENGTH - 1] = static_cast<char>('0' + algorithms::mod10::complement_digit(sum));
    return out;
}

// The nine digits after 978 and a fresh modulus-11 check character.
constexpr FixedCode<ISBN10_LENGTH> isbn10_of(std::string_view isbn13) noexcept {
    const std::string_view body = isbn13.substr(PREFIX_LENGTH, ISBN10_LENGTH - 1);
    FixedCode<ISBN10_LENGTH> out = FixedCode<ISBN10_LENGTH>::from(body);
    out.bytes[ISBN10_LENGTH - 1] = mod11_check_character(body);
    return out;
}

static_assert(isbn13_of("0306406152").view() == "9780306406157" && isbn10_of("9780804429573").view() == "080442957X");

}  // namespace

bool is_valid_isbn10(std::string_view s) noexcept { return s.size() == ISBN10_LENGTH && mod11_check(s); }

bool is_valid_isbn13(std::string_view s) noexcept {
    return s.size() == ISBN13_LENGTH && all_digits(s) && has_book_prefix(s) && ean::gs1_check(s);
}

ValidationResult validate(std::string_view input) noexcept {
    return ValidationResult::made([input](ValidationResult& r) -> std::optional<ErrorCode> {
        if (auto error = first_failure(digits_of(input))) return error;
        keep_digits_x<FullStops::Dropped>(input, r.compact);  // every byte is a digit, X, x or separator by now
        const std::string_view text = r.compact.view();
        IsbnDetails& details = r.details.emplace<IsbnDetails>();
        if (text.size() == ISBN10_LENGTH) {
            details.isbn_type = IsbnType::Isbn10;
            details.isbn10 = FixedCode<ISBN10_LENGTH>::from(text);
            details.isbn13 = isbn13_of(text);
            grouped_into<1, 3, 5, 1>(text, '-', r.formatted);
        } else {
            details.isbn_type = IsbnType::Isbn13;
            if (text.substr(0, PREFIX_LENGTH) == BOOK_PREFIX) details.isbn10 = isbn10_of(text);
            details.isbn13 = FixedCode<ISBN13_LENGTH>::from(text);
            grouped_into<3, 1, 3, 5, 1>(text, '-', r.formatted);
        }
        return std::nullopt;
    });
}

bool is_valid(std::string_view input) noexcept { return !first_failure(digits_of(input)); }

}  // namespace cobalis::validators::isbn
