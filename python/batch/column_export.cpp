#include "python/batch/column_export.hpp"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

namespace cobalis::batch {
namespace {

using arrow::ArrowArray;
using arrow::ArrowArrayStream;
using arrow::ArrowSchema;

struct SchemaExport : Counted {
    std::vector<ArrowSchema> children;
    std::vector<ArrowSchema*> child_pointers;
};

// Releases the children an export made, then the export's own state.
template <class State, class Struct>
void release_export(Struct* exported) noexcept {
    auto* state = static_cast<State*>(exported->private_data);
    for (Struct* child : state->child_pointers) {
        if (child->release != nullptr) child->release(child);
    }
    delete state;
    exported->release = nullptr;
}

void release_schema(ArrowSchema* schema) noexcept { release_export<SchemaExport>(schema); }

struct ArrayExport : Counted {
    std::shared_ptr<const Column> column;
    std::vector<const void*> buffers;
    std::vector<ArrowArray> children;
    std::vector<ArrowArray*> child_pointers;
};

void release_array(ArrowArray* array) noexcept { release_export<ArrayExport>(array); }

// Exports every child into `children` (zeroed beforehand); if one fails, the
// ones already made are released before the failure goes on.
template <class Struct, class ExportOne>
void export_children(std::vector<Struct*>& children, ExportOne export_one) {
    try {
        for (std::size_t i = 0; i < children.size(); ++i) export_one(i, children[i]);
    } catch (...) {
        for (Struct* child : children) {
            if (child->release != nullptr) child->release(child);
        }
        throw;
    }
}

template <class Struct, class State>
void point_at_children(State& state, std::size_t count) {
    state.children.resize(count);
    state.child_pointers.reserve(count);
    for (Struct& child : state.children) state.child_pointers.push_back(&child);
}

}  // namespace

void export_schema(const Column& column, ArrowSchema* out) {
    auto state = std::make_unique<SchemaExport>();
    point_at_children<ArrowSchema>(*state, column.children.size());
    export_children(state->child_pointers,
                    [&](std::size_t i, ArrowSchema* child) { export_schema(*column.children[i], child); });
    *out = ArrowSchema{
        column.format,
        column.name,
        nullptr,
        arrow::FLAG_NULLABLE,
        static_cast<std::int64_t>(state->children.size()),
        state->children.empty() ? nullptr : state->child_pointers.data(),
        nullptr,
        release_schema,
        state.get(),
    };
    (void)state.release();
}

void export_array(const std::shared_ptr<const Column>& column, ArrowArray* out) {
    auto state = std::make_unique<ArrayExport>();
    state->column = column;
    state->buffers = column->buffers;
    point_at_children<ArrowArray>(*state, column->children.size());
    export_children(state->child_pointers,
                    [&](std::size_t i, ArrowArray* child) { export_array(column->children[i], child); });
    *out = ArrowArray{
        column->length,
        column->null_count,
        0,
        static_cast<std::int64_t>(state->buffers.size()),
        static_cast<std::int64_t>(state->children.size()),
        state->buffers.data(),
        state->children.empty() ? nullptr : state->child_pointers.data(),
        nullptr,
        release_array,
        state.get(),
    };
    (void)state.release();
}

namespace {

// A stream of exactly one array: the whole column.
struct StreamExport : Counted {
    std::shared_ptr<const Column> column;
    bool delivered = false;
};

StreamExport& state_of(ArrowArrayStream* stream) noexcept {
    return *static_cast<StreamExport*>(stream->private_data);
}

int stream_get_schema(ArrowArrayStream* stream, ArrowSchema* out) noexcept {
    try {
        export_schema(*state_of(stream).column, out);
        return 0;
    } catch (...) {
        return ENOMEM;
    }
}

int stream_get_next(ArrowArrayStream* stream, ArrowArray* out) noexcept {
    StreamExport& state = state_of(stream);
    if (state.delivered) {
        *out = ArrowArray{};  // released: the end of the stream
        return 0;
    }
    try {
        export_array(state.column, out);
        state.delivered = true;
        return 0;
    } catch (...) {
        return ENOMEM;
    }
}

const char* stream_get_last_error(ArrowArrayStream*) noexcept { return "out of memory"; }

void stream_release(ArrowArrayStream* stream) noexcept {
    delete &state_of(stream);
    stream->release = nullptr;
}

}  // namespace

void export_stream(const std::shared_ptr<const Column>& column, ArrowArrayStream* out) {
    auto state = std::make_unique<StreamExport>();
    state->column = column;
    *out = ArrowArrayStream{stream_get_schema, stream_get_next, stream_get_last_error, stream_release, state.get()};
    (void)state.release();
}

}  // namespace cobalis::batch
