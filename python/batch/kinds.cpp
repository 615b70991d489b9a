#include "python/batch/kinds.hpp"

#include <array>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "core/validators/bic.hpp"
#include "core/validators/credit_card.hpp"
#include "core/validators/ean.hpp"
#include "core/validators/email.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/isbn.hpp"
#include "core/validators/isin.hpp"
#include "core/validators/issn.hpp"
#include "core/validators/lei.hpp"
#include "core/validators/vat/vat.hpp"

namespace cobalis::batch {
namespace {

namespace v = validators;

template <auto predicate>
void is_valid_rows(const StringChunk& chunk, BoolColumnBuilder& out) {
    for_each_row(
        chunk, [&](std::string_view text) { out.append(predicate(text)); }, [&] { out.append_null(); });
}

template <auto validate>
void validate_rows(const StringChunk& chunk, ResultColumnsBuilder& out) {
    for_each_row(
        chunk, [&](std::string_view text) { out.append(validate(text)); }, [&] { out.append_null(); });
}

template <auto is_valid, auto validate>
constexpr Kind identifier(std::string_view name) noexcept {
    return {name, is_valid, validate, is_valid_rows<is_valid>, validate_rows<validate>};
}

template <auto is_valid>
constexpr Kind algorithm(std::string_view name) noexcept {
    return {name, is_valid, nullptr, is_valid_rows<is_valid>, nullptr};
}

constexpr std::array KINDS{
    identifier<v::iban::is_valid, v::iban::validate>("iban"),
    identifier<v::bic::is_valid, v::bic::validate>("bic"),
    identifier<v::credit_card::is_valid, v::credit_card::validate>("credit_card"),
    identifier<v::isbn::is_valid, v::isbn::validate>("isbn"),
    identifier<v::issn::is_valid, v::issn::validate>("issn"),
    identifier<v::isin::is_valid, v::isin::validate>("isin"),
    identifier<v::lei::is_valid, v::lei::validate>("lei"),
    identifier<v::ean::is_valid, v::ean::validate>("ean"),
    identifier<v::vat::is_valid, v::vat::validate>("vat"),
    identifier<v::email::is_valid, v::email::validate>("email"),
    algorithm<algorithms::luhn::validate_str>("luhn"),
    algorithm<algorithms::verhoeff::validate_str>("verhoeff"),
    algorithm<algorithms::damm::validate_str>("damm"),
};

// The kinds with national rules, validated strictly.
constexpr std::array STRICT_KINDS{
    identifier<v::iban::is_valid_strict, v::iban::validate_strict>("iban"),
    identifier<v::bic::is_valid_strict, v::bic::validate_strict>("bic"),
    identifier<v::isin::is_valid_strict, v::isin::validate_strict>("isin"),
    identifier<v::vat::is_valid_strict, v::vat::validate_strict>("vat"),
};

template <std::size_t N>
const Kind* named(const std::array<Kind, N>& table, std::string_view name) noexcept {
    for (const Kind& kind : table) {
        if (kind.name == name) return &kind;
    }
    return nullptr;
}

}  // namespace

std::span<const Kind> kinds() noexcept { return KINDS; }

const Kind* find_kind(std::string_view name, bool strict) noexcept {
    const Kind* strict_kind = strict ? named(STRICT_KINDS, name) : nullptr;
    return strict_kind != nullptr ? strict_kind : named(KINDS, name);
}

}  // namespace cobalis::batch
