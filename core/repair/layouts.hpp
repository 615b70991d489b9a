// Each kind's places and check characters, as explain and suggest read them.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/repair/profile.hpp"
#include "core/validators/vat/vat.hpp"

namespace cobalis::repair::layouts {

constexpr CheckPlace last_character(std::string_view s, bool) noexcept {
    return s.empty() ? CheckPlace{} : CheckPlace{s.size() - 1, 1};
}

// Two letters of country, two check digits, then the account number.
constexpr const Alphabet& iban(std::string_view, std::size_t i) noexcept {
    return i < 2 ? LETTERS : i < 4 ? DIGITS : ALNUM;
}
constexpr CheckPlace iban_check(std::string_view s, bool) noexcept {
    return s.size() >= 4 ? CheckPlace{2, 2} : CheckPlace{};
}

// Four letters of bank, two of country, then location and branch.
constexpr const Alphabet& bic(std::string_view, std::size_t i) noexcept { return i < 6 ? LETTERS : ALNUM; }
constexpr CheckPlace no_check(std::string_view, bool) noexcept { return {}; }

constexpr const Alphabet& digits(std::string_view, std::size_t) noexcept { return DIGITS; }

// An ISBN-10 and an ISSN may end in X.
constexpr const Alphabet& isbn(std::string_view s, std::size_t i) noexcept {
    return s.size() == 10 && i == 9 ? DIGITS_X : DIGITS;
}
constexpr const Alphabet& issn(std::string_view s, std::size_t i) noexcept {
    return s.size() == 8 && i == 7 ? DIGITS_X : DIGITS;
}

// Two letters of country, nine characters of number, one check digit.
constexpr const Alphabet& isin(std::string_view, std::size_t i) noexcept {
    return i < 2 ? LETTERS : i == 11 ? DIGITS : ALNUM;
}

// Eighteen letters and digits, then two check digits.
constexpr const Alphabet& lei(std::string_view, std::size_t i) noexcept { return i >= 18 ? DIGITS : ALNUM; }
constexpr CheckPlace lei_check(std::string_view s, bool) noexcept {
    return s.size() == 20 ? CheckPlace{18, 2} : CheckPlace{};
}

// Two letters of country, then the national number.
constexpr const Alphabet& vat(std::string_view, std::size_t i) noexcept { return i < 2 ? LETTERS : ALNUM; }
// The national check characters: strict validation reads every country's,
// the plain rules those of the countries whose form holds them (Belgium,
// Finland, France, Greece, Italy, Poland, Portugal and others). Most
// countries end in theirs; France's key and the United Kingdom's two check
// digits stand before the rest, the Netherlands' before the B and the branch,
// Ireland's letter before its optional second letter.
constexpr CheckPlace vat_check(std::string_view s, bool) noexcept {
    if (s.size() < 4) return {};
    const std::string_view cc = s.substr(0, 2);
    if (cc == "FR") return s.size() == 13 ? CheckPlace{2, 2} : CheckPlace{};
    if (cc == "GB") return s.size() == 11 || s.size() == 14 ? CheckPlace{9, 2} : CheckPlace{};
    if (cc == "NL") return s.size() == 14 ? CheckPlace{10, 1, &DIGITS} : CheckPlace{};
    if (cc == "IE") return s.size() >= 10 ? CheckPlace{9, 1} : CheckPlace{};
    // Cyprus ends in a check letter and Spain in a letter or a digit; the
    // other countries' last check character is a digit.
    if (cc == "CY" || cc == "ES") return {s.size() - 1, 1};
    return {s.size() - 1, 1, &DIGITS};
}

constexpr const Alphabet& email(std::string_view, std::size_t) noexcept { return EMAIL; }

// Every place of a form by a rule of its index and the form.
template <const Alphabet& (*place)(std::string_view, std::size_t) noexcept>
constexpr void each_place(std::string_view s, bool, Places& out) noexcept {
    for (std::size_t i = 0; i < s.size() && i < Places::CAPACITY; ++i) out.at[i] = &place(s, i);
}

// An IBAN's places; under strict, those of its BBAN as the IBAN registry lays
// out its country's (digits, letters, or either).
void iban_places(std::string_view s, bool strict, Places& out) noexcept;

inline constexpr Profile IBAN{Folding::Upper, iban_places, true, iban_check, Arithmetic::Mod97Iban, 0};
inline constexpr Profile BIC{Folding::Upper, each_place<bic>, true, no_check, Arithmetic::None, 4, bic};
inline constexpr Profile CREDIT_CARD{Folding::None,   each_place<digits>, true,  last_character,
                                     Arithmetic::Luhn, NO_COUNTRY,         digits};
// ISBN's arithmetic follows its length: Mod11 for ten characters, Gs1 for 13.
inline constexpr Profile ISBN{Folding::XOnly,   each_place<isbn>, true, last_character,
                              Arithmetic::Mod11, NO_COUNTRY,       isbn};
inline constexpr Profile ISSN{Folding::XOnly,   each_place<issn>, true, last_character,
                              Arithmetic::Mod11, NO_COUNTRY,       issn};
inline constexpr Profile ISIN{Folding::Upper, each_place<isin>, true, last_character, Arithmetic::LuhnLetters, 0, isin};
inline constexpr Profile LEI{Folding::Upper, each_place<lei>, true, lei_check, Arithmetic::Mod97, NO_COUNTRY, lei};
inline constexpr Profile EAN{Folding::None,   each_place<digits>, true,  last_character,
                             Arithmetic::Gs1, NO_COUNTRY,         digits};
inline constexpr Profile VAT{Folding::Upper,  each_place<vat>, true, vat_check,
                             Arithmetic::None, 0,               vat,  validators::vat::is_valid_normal,
                             validators::vat::is_valid_strict_normal};
inline constexpr Profile EMAIL_PROFILE{Folding::None,   each_place<email>, false, no_check,
                                       Arithmetic::None, NO_COUNTRY,        email};

}  // namespace cobalis::repair::layouts
