#include "python/batch/strings_in.hpp"

#include <array>
#include <utility>

namespace cobalis::batch {
namespace {

using arrow::ArrowArray;
using arrow::ArrowSchema;

struct TypeName {
    std::string_view format;
    std::string_view name;
};

// Formats that spell a whole type by themselves.
constexpr std::array SIMPLE_TYPES{
    TypeName{"n", "null"},          TypeName{"b", "bool"},         TypeName{"c", "int8"},
    TypeName{"C", "uint8"},         TypeName{"s", "int16"},        TypeName{"S", "uint16"},
    TypeName{"i", "int32"},         TypeName{"I", "uint32"},       TypeName{"l", "int64"},
    TypeName{"L", "uint64"},        TypeName{"e", "halffloat"},    TypeName{"f", "float"},
    TypeName{"g", "double"},        TypeName{"z", "binary"},       TypeName{"Z", "large_binary"},
    TypeName{"vz", "binary_view"},  TypeName{"u", "string"},       TypeName{"U", "large_string"},
    TypeName{"vu", "string_view"},  TypeName{"tdD", "date32"},     TypeName{"tdm", "date64"},
};

// Formats whose first bytes name a family of parametrised types.
constexpr std::array TYPE_FAMILIES{
    TypeName{"d:", "decimal"},   TypeName{"w:", "fixed_size_binary"}, TypeName{"tt", "time"},
    TypeName{"ts", "timestamp"}, TypeName{"tD", "duration"},          TypeName{"ti", "interval"},
    TypeName{"+u", "union"},     TypeName{"+r", "run_end_encoded"},
};

// Nested types named by their one child: list<string>.
constexpr std::array LIST_TYPES{
    TypeName{"+l", "list"},         TypeName{"+L", "large_list"}, TypeName{"+vl", "list_view"},
    TypeName{"+vL", "large_list_view"}, TypeName{"+w:", "fixed_size_list"}, TypeName{"+m", "map"},
};

bool string_layout(const char* format, Layout& layout) noexcept {
    if (format == nullptr) return false;
    const std::string_view f = format;
    if (f == "u") {
        layout = Layout::Utf8;
    } else if (f == "U") {
        layout = Layout::LargeUtf8;
    } else if (f == "vu") {
        layout = Layout::Utf8View;
    } else if (f == "n") {
        layout = Layout::Null;
    } else {
        return false;
    }
    return true;
}

// The indices of a dictionary column are signed or unsigned integers of 8
// to 64 bits.
bool index_type(const char* format, Index& index) noexcept {
    if (format == nullptr) return false;
    constexpr std::array<std::pair<std::string_view, Index>, 8> INDEX_FORMATS{{
        {"c", Index::Int8},   {"C", Index::UInt8},  {"s", Index::Int16}, {"S", Index::UInt16},
        {"i", Index::Int32},  {"I", Index::UInt32}, {"l", Index::Int64}, {"L", Index::UInt64},
    }};
    for (const auto& [name, type] : INDEX_FORMATS) {
        if (name == format) {
            index = type;
            return true;
        }
    }
    return false;
}

std::string child_list(const ArrowSchema& schema, bool with_names) {
    std::string out;
    for (std::int64_t i = 0; i < schema.n_children; ++i) {
        const ArrowSchema* child = schema.children == nullptr ? nullptr : schema.children[i];
        if (i != 0) out += ", ";
        if (child == nullptr) {
            out += "?";
            continue;
        }
        if (with_names) {
            out += child->name == nullptr ? "" : child->name;
            out += ": ";
        }
        out += describe_type(*child);
    }
    return out;
}

}  // namespace

std::string describe_type(const ArrowSchema& schema) {
    const std::string_view format = schema.format == nullptr ? "" : schema.format;
    if (schema.dictionary != nullptr) {
        ArrowSchema indices = schema;
        indices.dictionary = nullptr;
        return "dictionary<values=" + describe_type(*schema.dictionary) + ", indices=" + describe_type(indices) + ">";
    }
    for (const auto& t : SIMPLE_TYPES) {
        if (format == t.format) return std::string(t.name);
    }
    if (format == "+s") return "struct<" + child_list(schema, true) + ">";
    for (const auto& t : LIST_TYPES) {
        if (format.starts_with(t.format)) return std::string(t.name) + "<" + child_list(schema, false) + ">";
    }
    for (const auto& t : TYPE_FAMILIES) {
        if (format.starts_with(t.format)) return std::string(t.name) + " (Arrow format '" + std::string(format) + "')";
    }
    return "the type of Arrow format '" + std::string(format) + "'";
}

bool read_source(const ArrowSchema& schema, Source& source) noexcept {
    source = Source{};
    const ArrowSchema* column = &schema;
    if (schema.dictionary == nullptr && schema.format != nullptr && std::string_view(schema.format) == "+s") {
        if (schema.n_children != 1 || schema.children == nullptr || schema.children[0] == nullptr) return false;
        column = schema.children[0];
        source.in_struct = true;
    }
    if (column->dictionary == nullptr) return string_layout(column->format, source.layout);
    // Dictionary-encoded: integer indices into strings (themselves plain).
    return index_type(column->format, source.index) && column->dictionary->dictionary == nullptr &&
           string_layout(column->dictionary->format, source.layout);
}

namespace {

const std::uint8_t* validity_of(const ArrowArray& array) noexcept {
    if (array.null_count == 0 || array.n_buffers < 1) return nullptr;
    return static_cast<const std::uint8_t*>(array.buffers[0]);
}

}  // namespace

namespace {

// The strings of one plain string array from row `first` on.
bool read_strings(const ArrowArray& strings, Layout layout, StringChunk& chunk, const char*& problem) noexcept {
    chunk.layout = layout;
    switch (layout) {
    case Layout::Null:
        return true;
    case Layout::Utf8:
    case Layout::LargeUtf8:
        if (strings.n_buffers != 3) {
            problem = "a string array without its three buffers";
            return false;
        }
        chunk.offsets = strings.buffers[1];
        chunk.data = static_cast<const char*>(strings.buffers[2]);
        break;
    case Layout::Utf8View:
        if (strings.n_buffers < 3) {
            problem = "a string view array without its view and size buffers";
            return false;
        }
        chunk.offsets = strings.buffers[1];
        chunk.view_buffers = reinterpret_cast<const char* const*>(strings.buffers + 2);
        break;
    }
    if (chunk.length > 0 && chunk.offsets == nullptr) {
        problem = "a string array without offsets";
        return false;
    }
    chunk.validity = validity_of(strings);
    return true;
}

}  // namespace

bool read_chunk(const ArrowArray& array, const Source& source, StringChunk& chunk, StringChunk& dictionary,
                const char*& problem) noexcept {
    chunk = StringChunk{};
    if (array.length < 0 || array.offset < 0) {
        problem = "negative length or offset";
        return false;
    }
    if (array.n_buffers < 0 || (array.n_buffers > 0 && array.buffers == nullptr)) {
        problem = "missing buffers";
        return false;
    }
    const ArrowArray* strings = &array;
    if (source.in_struct) {
        if (array.n_children != 1 || array.children == nullptr || array.children[0] == nullptr) {
            problem = "a struct array without its one field";
            return false;
        }
        chunk.outer_validity = validity_of(array);
        chunk.outer_first = array.offset;
        strings = array.children[0];
        if (strings->length < array.offset + array.length || strings->offset < 0 ||
            (strings->n_buffers > 0 && strings->buffers == nullptr)) {
            problem = "a struct field shorter than its struct";
            return false;
        }
        chunk.first = array.offset;
    }
    chunk.length = array.length;
    chunk.first += strings->offset;
    if (source.index == Index::None) return read_strings(*strings, source.layout, chunk, problem);

    // Indices, then the strings they point at.
    const ArrowArray* values = strings->dictionary;
    if (strings->n_buffers != 2 || (chunk.length > 0 && strings->buffers[1] == nullptr)) {
        problem = "a dictionary array without its indices";
        return false;
    }
    if (values == nullptr || values->length < 0 || values->offset < 0 || values->n_buffers < 0 ||
        (values->n_buffers > 0 && values->buffers == nullptr)) {
        problem = "a dictionary array without its dictionary";
        return false;
    }
    chunk.layout = source.layout;
    chunk.index = source.index;
    chunk.indices = strings->buffers[1];
    chunk.validity = validity_of(*strings);
    dictionary = StringChunk{};
    dictionary.length = values->length;
    dictionary.first = values->offset;
    return read_strings(*values, source.layout, dictionary, problem);
}

std::int64_t text_bytes(const StringChunk& chunk) noexcept {
    if (chunk.dictionary != nullptr) return text_bytes(*chunk.dictionary);
    if (chunk.length == 0) return 0;
    switch (chunk.layout) {
    case Layout::Null:
        return 0;
    case Layout::Utf8: {
        const auto* offsets = static_cast<const std::int32_t*>(chunk.offsets) + chunk.first;
        return offsets[chunk.length] - offsets[0];
    }
    case Layout::LargeUtf8: {
        const auto* offsets = static_cast<const std::int64_t*>(chunk.offsets) + chunk.first;
        return offsets[chunk.length] - offsets[0];
    }
    case Layout::Utf8View: {
        const auto* views = static_cast<const char*>(chunk.offsets) + 16 * chunk.first;
        std::int64_t total = 0;
        for (std::int64_t i = 0; i < chunk.length; ++i) total += detail::load<std::int32_t>(views + 16 * i);
        return total;
    }
    }
    return 0;
}

}  // namespace cobalis::batch
