// The value every validator answers with, and the small types it is made of.
//
// Everything here is a plain value of fixed size: texts are held inline in
// bounded buffers, so a validator builds a complete answer on the stack
// without touching the heap, and a result can be copied with a byte copy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>

namespace cobalis {

// Why an input is invalid. The order is part of the interface.
enum class ErrorCode : std::uint8_t {
    InvalidLength,
    InvalidCharset,
    InvalidPrefix,
    InvalidChecksum,
    InvalidStructure,
    InvalidCountry,
    UnsupportedCountry,
    UnsupportedFormat,
    UnknownFormat,
};
inline constexpr std::size_t ERROR_CODE_COUNT = 9;

constexpr std::string_view error_text(ErrorCode code) noexcept {
    constexpr std::array<std::string_view, ERROR_CODE_COUNT> texts{
        "invalid_length",    "invalid_charset",   "invalid_prefix",
        "invalid_checksum",  "invalid_structure", "invalid_country",
        "unsupported_country", "unsupported_format", "unknown_format",
    };
    return texts[static_cast<std::size_t>(code)];
}

enum class CardBrand : std::uint8_t { Visa, Mastercard, Amex, Discover, DinersClub, Jcb, UnionPay, Unknown };
inline constexpr std::size_t CARD_BRAND_COUNT = 8;

constexpr std::string_view brand_text(CardBrand brand) noexcept {
    constexpr std::array<std::string_view, CARD_BRAND_COUNT> texts{
        "visa", "mastercard", "amex", "discover", "diners_club", "jcb", "unionpay", "unknown",
    };
    return texts[static_cast<std::size_t>(brand)];
}

enum class IsbnType : std::uint8_t { Isbn10, Isbn13 };
constexpr std::string_view isbn_type_text(IsbnType t) noexcept { return t == IsbnType::Isbn10 ? "isbn10" : "isbn13"; }

enum class EanType : std::uint8_t { Ean8, Ean13 };
constexpr std::string_view ean_type_text(EanType t) noexcept { return t == EanType::Ean8 ? "ean8" : "ean13"; }

// Bounded text stored inline: at most 254 bytes and a one-byte length.
// Appending to a full string stores nothing and says so; the caller decides
// what that means (a normaliser rejects the input, a layout drops the byte).
//
// Only the bytes below the length carry meaning, and nothing reads past it.
// A new value therefore leaves its buffer unwritten at run time: clearing
// 254 bytes for every scratch buffer and result would cost more than most
// validations themselves.
class InlineString {
public:
    static constexpr std::size_t CAPACITY = 254;
    static constexpr std::size_t SHORT_COPY = 32;

    constexpr InlineString() noexcept {
        if (std::is_constant_evaluated()) data_.fill(0);
    }
    // At most CAPACITY bytes of `text`; the rest is dropped.
    constexpr explicit InlineString(std::string_view text) noexcept : InlineString() {
        const std::size_t n = text.size() < CAPACITY ? text.size() : CAPACITY;
        if (std::is_constant_evaluated()) {
            for (std::size_t i = 0; i < n; ++i) data_[i] = text[i];
        } else if (n != 0) {
            std::memcpy(data_.data(), text.data(), n);
        }
        len_ = static_cast<std::uint8_t>(n);
    }

    // Copies carry the bytes in use only.
    constexpr InlineString(const InlineString& other) noexcept : InlineString() { *this = other; }
    constexpr InlineString& operator=(const InlineString& other) noexcept {
        if (std::is_constant_evaluated()) {
            data_ = other.data_;
        } else if (this != &other) {
            // Most texts are short: two fixed 16-byte moves copy them with no
            // call and no string instruction, whatever their exact length (the
            // bytes past it carry no meaning, and both buffers hold them).
            if (other.len_ <= SHORT_COPY) {
                std::memcpy(data_.data(), other.data_.data(), SHORT_COPY);
            } else {
                std::memcpy(data_.data(), other.data_.data(), other.len_);
            }
        }
        len_ = other.len_;
        return *this;
    }

    [[nodiscard]] constexpr bool push_back(char c) noexcept {
        if (len_ == CAPACITY) return false;
        data_[len_++] = c;
        return true;
    }
    constexpr void clear() noexcept { len_ = 0; }

    // Bulk writing for hot loops, where a length kept in a register beats one
    // re-read after every byte: write at most CAPACITY bytes into raw(), then
    // commit how many were written.
    [[nodiscard]] constexpr char* raw() noexcept { return data_.data(); }
    constexpr void commit(std::size_t n) noexcept { len_ = static_cast<std::uint8_t>(n < CAPACITY ? n : CAPACITY); }

    [[nodiscard]] constexpr std::string_view view() const noexcept { return {data_.data(), len_}; }
    [[nodiscard]] constexpr std::size_t size() const noexcept { return len_; }
    [[nodiscard]] constexpr bool empty() const noexcept { return len_ == 0; }
    [[nodiscard]] constexpr bool full() const noexcept { return len_ == CAPACITY; }
    [[nodiscard]] constexpr char operator[](std::size_t i) const noexcept { return data_[i]; }
    [[nodiscard]] constexpr const char* data() const noexcept { return data_.data(); }

    friend constexpr bool operator==(const InlineString& a, const InlineString& b) noexcept {
        return a.view() == b.view();
    }

private:
    std::array<char, CAPACITY> data_;
    std::uint8_t len_ = 0;
};

// A code of exactly N ASCII bytes (country codes, check digits, bank codes).
template <std::size_t N>
struct FixedCode {
    std::array<char, N> bytes{};

    static constexpr FixedCode from(std::string_view text) noexcept {
        FixedCode code;
        if (!std::is_constant_evaluated() && text.size() >= N) {
            std::memcpy(code.bytes.data(), text.data(), N);
            return code;
        }
        for (std::size_t i = 0; i < N && i < text.size(); ++i) code.bytes[i] = text[i];
        return code;
    }
    [[nodiscard]] constexpr std::string_view view() const noexcept { return {bytes.data(), N}; }
    friend constexpr bool operator==(const FixedCode&, const FixedCode&) noexcept = default;
};

// A code of at most N ASCII bytes (the bank and branch identifiers of a BBAN).
template <std::size_t N>
struct ShortCode {
    std::array<char, N> bytes{};
    std::uint8_t size = 0;

    // At most N bytes of `text`.
    static constexpr ShortCode from(std::string_view text) noexcept {
        ShortCode code;
        code.size = static_cast<std::uint8_t>(text.size() < N ? text.size() : N);
        for (std::size_t i = 0; i < code.size; ++i) code.bytes[i] = text[i];
        return code;
    }
    [[nodiscard]] constexpr std::string_view view() const noexcept { return {bytes.data(), size}; }
    friend constexpr bool operator==(const ShortCode& a, const ShortCode& b) noexcept { return a.view() == b.view(); }
};

// The parts read out of a valid identifier, one variant per kind. Each
// declares the names its fields have in a result dictionary, in their order
// there (KEYS); a field that is absent still has its key.
struct NoDetails {
    static constexpr std::array<std::string_view, 0> KEYS{};
    friend constexpr bool operator==(const NoDetails&, const NoDetails&) noexcept = default;
};
struct IbanDetails {
    static constexpr std::array<std::string_view, 3> KEYS{"country", "check_digits", "bban_length"};
    FixedCode<2> country;
    FixedCode<2> check_digits;
    std::uint8_t bban_length = 0;
    friend constexpr bool operator==(const IbanDetails&, const IbanDetails&) noexcept = default;
};
// Strict validation reads the registry's places of the bank identifier and the
// branch identifier out of the BBAN too; no branch where it defines none.
struct StrictIbanDetails {
    static constexpr std::size_t MAX_CODE = 12;
    static constexpr std::array<std::string_view, 5> KEYS{"country", "check_digits", "bban_length", "bank_code",
                                                          "branch_code"};
    FixedCode<2> country;
    FixedCode<2> check_digits;
    std::uint8_t bban_length = 0;
    ShortCode<MAX_CODE> bank_code;
    std::optional<ShortCode<MAX_CODE>> branch_code;
    friend constexpr bool operator==(const StrictIbanDetails&, const StrictIbanDetails&) noexcept = default;
};
struct BicDetails {
    static constexpr std::array<std::string_view, 4> KEYS{"bank_code", "country", "location", "branch"};
    FixedCode<4> bank_code;
    FixedCode<2> country;
    FixedCode<2> location;
    std::optional<FixedCode<3>> branch;
    friend constexpr bool operator==(const BicDetails&, const BicDetails&) noexcept = default;
};
struct CreditCardDetails {
    static constexpr std::array<std::string_view, 1> KEYS{"brand"};
    CardBrand brand = CardBrand::Unknown;
    friend constexpr bool operator==(const CreditCardDetails&, const CreditCardDetails&) noexcept = default;
};
// Both forms have fixed widths, so they are held as codes of 10 and 13 bytes:
// a result then stays small, and is made and copied with fixed-size moves.
struct IsbnDetails {
    static constexpr std::array<std::string_view, 3> KEYS{"isbn_type", "isbn10", "isbn13"};
    IsbnType isbn_type = IsbnType::Isbn10;
    std::optional<FixedCode<10>> isbn10;
    std::optional<FixedCode<13>> isbn13;
    friend constexpr bool operator==(const IsbnDetails&, const IsbnDetails&) noexcept = default;
};
struct IssnDetails {
    static constexpr std::array<std::string_view, 0> KEYS{};
    friend constexpr bool operator==(const IssnDetails&, const IssnDetails&) noexcept = default;
};
struct IsinDetails {
    static constexpr std::array<std::string_view, 1> KEYS{"country"};
    FixedCode<2> country;
    friend constexpr bool operator==(const IsinDetails&, const IsinDetails&) noexcept = default;
};
struct LeiDetails {
    static constexpr std::array<std::string_view, 1> KEYS{"lou_prefix"};
    FixedCode<4> lou_prefix;
    friend constexpr bool operator==(const LeiDetails&, const LeiDetails&) noexcept = default;
};
struct EanDetails {
    static constexpr std::array<std::string_view, 2> KEYS{"ean_type", "country_prefix"};
    EanType ean_type = EanType::Ean13;
    InlineString country_prefix;
    friend constexpr bool operator==(const EanDetails&, const EanDetails&) noexcept = default;
};
struct VatDetails {
    static constexpr std::array<std::string_view, 1> KEYS{"country"};
    FixedCode<2> country;
    friend constexpr bool operator==(const VatDetails&, const VatDetails&) noexcept = default;
};
struct EmailDetails {
    static constexpr std::array<std::string_view, 2> KEYS{"local_length", "domain_length"};
    std::uint8_t local_length = 0;
    std::uint8_t domain_length = 0;
    friend constexpr bool operator==(const EmailDetails&, const EmailDetails&) noexcept = default;
};

// The alternative index is the variant number: none, iban, bic, credit_card,
// isbn, issn, isin, lei, ean, vat, email, then the strict answers that carry
// more than the plain ones: strict iban.
using Details = std::variant<NoDetails, IbanDetails, BicDetails, CreditCardDetails, IsbnDetails, IssnDetails,
                             IsinDetails, LeiDetails, EanDetails, VatDetails, EmailDetails, StrictIbanDetails>;

struct ValidationResult {
    bool is_valid = false;
    std::optional<ErrorCode> error;
    Details details;
    InlineString compact;
    InlineString formatted;

    // A rejected input: not valid, one code, no details and two empty texts.
    static constexpr ValidationResult invalid(ErrorCode code) noexcept {
        ValidationResult r;
        r.error = code;
        return r;
    }

    // An answer made where it is returned: `fill` writes the normal form,
    // the display form and the details straight into it, and answers the
    // code of a refused input, or none; a refused input's answer is then
    // invalid(code). (Forms and details built apart and copied in would be
    // read back right after being written a few bytes at a time, and such a
    // read waits until those stores have reached the cache.)
    template <class Fill>
    static constexpr ValidationResult made(Fill fill) noexcept {
        ValidationResult r;
        if (const std::optional<ErrorCode> error = fill(r)) {
            r.details = NoDetails{};
            r.compact.clear();
            r.formatted.clear();
            r.error = error;
        } else {
            r.is_valid = true;
        }
        return r;
    }

    friend constexpr bool operator==(const ValidationResult&, const ValidationResult&) noexcept = default;
};

}  // namespace cobalis
