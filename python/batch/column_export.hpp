// A Column handed to a consumer through the Arrow C data interface: as a
// schema, an array, or a stream of that one array.
//
// Each export holds its own reference to the column (the schema needs none:
// its texts are static), so the buffers live until the consumer releases it.
#pragma once

#include <memory>

#include "python/batch/arrow_abi.hpp"
#include "python/batch/column.hpp"

namespace cobalis::batch {

// Fill a consumer's struct with a new export of `column`. They throw
// std::bad_alloc (and fill nothing) when memory runs out.
void export_schema(const Column& column, arrow::ArrowSchema* out);
void export_array(const std::shared_ptr<const Column>& column, arrow::ArrowArray* out);
void export_stream(const std::shared_ptr<const Column>& column, arrow::ArrowArrayStream* out);

}  // namespace cobalis::batch
