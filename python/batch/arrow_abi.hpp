// The Arrow C data interface: three plain structs through which columnar
// libraries hand each other arrays without copying. The layout is a fixed ABI
// shared by every producer and consumer; the comments say who owns what.
//
// Ownership moves with the struct: whoever holds a struct whose `release` is
// set must call `release` exactly once, after which `release` is null. A
// released struct is also how a stream says it has no more arrays.
#pragma once

#include <cstdint>

namespace cobalis::arrow {

// Bits of ArrowSchema::flags.
inline constexpr std::int64_t FLAG_DICTIONARY_ORDERED = 1;
inline constexpr std::int64_t FLAG_NULLABLE = 2;
inline constexpr std::int64_t FLAG_MAP_KEYS_SORTED = 4;

// The type of a column: a format string ("b" boolean, "u" UTF-8 string with
// 32-bit offsets, "+s" struct, ...), the field name, and child types.
struct ArrowSchema {
    const char* format;
    const char* name;
    const char* metadata;
    std::int64_t flags;
    std::int64_t n_children;
    ArrowSchema** children;
    ArrowSchema* dictionary;
    void (*release)(ArrowSchema*);
    void* private_data;
};

// The data of a column: `length` rows starting at row `offset` of the
// buffers, whose number and meaning the type decides (for most types buffer
// 0 is the validity bitmap, null when no row is null).
struct ArrowArray {
    std::int64_t length;
    std::int64_t null_count;  // -1 when not computed
    std::int64_t offset;
    std::int64_t n_buffers;
    std::int64_t n_children;
    const void** buffers;
    ArrowArray** children;
    ArrowArray* dictionary;
    void (*release)(ArrowArray*);
    void* private_data;
};

// A pull-based sequence of arrays of one type. The callbacks answer 0 or an
// errno value; after an error, get_last_error describes it (the text lives
// until the next call on the stream or its release).
struct ArrowArrayStream {
    int (*get_schema)(ArrowArrayStream*, ArrowSchema* out);
    int (*get_next)(ArrowArrayStream*, ArrowArray* out);
    const char* (*get_last_error)(ArrowArrayStream*);
    void (*release)(ArrowArrayStream*);
    void* private_data;
};

// The names Python capsules carry for each struct.
inline constexpr const char* SCHEMA_CAPSULE = "arrow_schema";
inline constexpr const char* ARRAY_CAPSULE = "arrow_array";
inline constexpr const char* STREAM_CAPSULE = "arrow_array_stream";

}  // namespace cobalis::arrow
