#include "python/batch/kinds.hpp"

#include <array>
#include <utility>

#include "core/kinds.hpp"
#include "python/convert.hpp"

namespace cobalis::batch {
namespace {

namespace core_kinds = ::cobalis::kinds;

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

// Every identifier kind of core/kinds.hpp, then the check-digit algorithms;
// with `strict`, the strict entry points of the kinds with national rules.
template <bool strict, std::size_t... K, std::size_t... A>
constexpr auto table(std::index_sequence<K...>, std::index_sequence<A...>) noexcept {
    if constexpr (strict) {
        return std::array{identifier<core_kinds::KINDS[core_kinds::STRICT_KINDS[K]].is_valid_strict,
                                     core_kinds::KINDS[core_kinds::STRICT_KINDS[K]].validate_strict>(
            core_kinds::KINDS[core_kinds::STRICT_KINDS[K]].name)...};
    } else {
        return std::array{identifier<core_kinds::KINDS[K].is_valid, core_kinds::KINDS[K].validate>(core_kinds::KINDS[K].name)...,
                          algorithm<core_kinds::ALGORITHMS[A].validate>(core_kinds::ALGORITHMS[A].name)...};
    }
}

constexpr std::array KINDS =
    table<false>(std::make_index_sequence<core_kinds::KIND_COUNT>{}, std::make_index_sequence<core_kinds::ALGORITHMS.size()>{});
constexpr std::array STRICT_KINDS =
    table<true>(std::make_index_sequence<core_kinds::STRICT_COUNT>{}, std::index_sequence<>{});

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

PyObject* kind_table() noexcept {
    using python::new_text;
    PyObject* table = PyTuple_New(static_cast<Py_ssize_t>(core_kinds::KIND_COUNT));
    for (std::size_t k = 0; table != nullptr && k < core_kinds::KIND_COUNT; ++k) {
        const core_kinds::Kind& kind = core_kinds::KINDS[k];
        PyObject* keys = PyTuple_New(static_cast<Py_ssize_t>(kind.detail_keys.size()));
        for (std::size_t i = 0; keys != nullptr && i < kind.detail_keys.size(); ++i) {
            PyObject* key = new_text(kind.detail_keys[i]);
            if (key == nullptr) Py_CLEAR(keys);
            else PyTuple_SetItem(keys, static_cast<Py_ssize_t>(i), key);  // steals key
        }
        PyObject* name = keys == nullptr ? nullptr : new_text(kind.name);
        PyObject* row = name == nullptr ? nullptr : PyTuple_Pack(3, name, keys, kind.has_strict ? Py_True : Py_False);
        Py_XDECREF(name);
        Py_XDECREF(keys);
        if (row == nullptr) Py_CLEAR(table);
        else PyTuple_SetItem(table, static_cast<Py_ssize_t>(k), row);  // steals row
    }
    return table;
}

}  // namespace cobalis::batch
