"""polars: a Series is answered with a Series of the same name, Boolean from
is_valid and a Struct of the four results from validate."""

from __future__ import annotations

from typing import Any

import polars as pl

from cobalis._batch import Operation, core


def answer(operation: Operation, kind: str, values: Any, strict: bool, threads: int | None) -> Any:
    if not isinstance(values, pl.Series):
        return NotImplemented  # a DataFrame of one column is an Arrow column like any other
    column = values.cast(pl.String) if isinstance(values.dtype, (pl.Categorical, pl.Enum)) else values
    return pl.Series(core(operation)(kind, column, strict=strict, threads=threads)).alias(values.name)
