"""pyarrow: an Array is answered with an Array, a ChunkedArray with a ChunkedArray."""

from __future__ import annotations

from typing import Any

import pyarrow as pa  # type: ignore[import-untyped]

from cobalis._batch import Operation, core


def answer(operation: Operation, kind: str, values: Any, strict: bool, threads: int | None) -> Any:
    if isinstance(values, pa.ChunkedArray):
        return pa.chunked_array(core(operation)(kind, values, strict=strict, threads=threads))
    if isinstance(values, pa.Array):
        return pa.array(core(operation)(kind, values, strict=strict, threads=threads))
    return NotImplemented  # tables, batches, readers: the exported answer, as for any Arrow producer
