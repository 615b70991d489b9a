// The kinds a batch call can check: each identifier kind with its fast path
// and its full validation, and the bare check-digit algorithms, which only
// answer is_valid.
#pragma once

#include <Python.h>

#include <span>
#include <string>
#include <string_view>

#include "core/types.hpp"
#include "python/batch/column.hpp"
#include "python/batch/strings_in.hpp"

namespace cobalis::batch {

struct Kind {
    std::string_view name;
    bool (*is_valid)(std::string_view) noexcept;
    ValidationResult (*validate)(std::string_view) noexcept;  // null for a check-digit algorithm
    // The same two checks over every row of a chunk, nulls kept as nulls.
    void (*is_valid_rows)(const StringChunk&, BoolColumnBuilder&);
    void (*validate_rows)(const StringChunk&, ResultColumnsBuilder&);  // null likewise
};

// Every kind, identifiers first, in a fixed order.
std::span<const Kind> kinds() noexcept;

// The kind of that name, or null; with `strict`, its strict validation (the
// same as the plain one for a kind with no national rules).
const Kind* find_kind(std::string_view name, bool strict = false) noexcept;

// The identifier kinds for Python-side consumers, as the module attribute
// KINDS: a new tuple of (name, detail keys in result order, whether strict
// validation adds national rules), or null with an exception set.
PyObject* kind_table() noexcept;

}  // namespace cobalis::batch
