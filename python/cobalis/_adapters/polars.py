"""polars: a Series is answered with a Series of the same name, Boolean from
is_valid and a Struct of the four results from validate; a DataFrame of one
column answers as that column. Categorical and Enum columns are read as
dictionaries (each category checked once); a float column of nothing but
nulls and NaN answers missing."""

from __future__ import annotations

from typing import Any

import polars as pl

from cobalis._batch import Operation, core


def answer(operation: Operation, kind: str, values: Any, strict: bool, threads: int | None) -> Any:
    if isinstance(values, pl.DataFrame) and values.width == 1:
        values = values.to_series(0)  # a one-column frame answers as its column, named after it
    if not isinstance(values, pl.Series):
        return NotImplemented  # other frames are Arrow columns like any other, refused naming their type
    column = values
    if values.dtype.is_float() and (values.is_null() | values.is_nan()).all():
        column = pl.Series(values.name, [None] * len(values), dtype=pl.String)  # nothing but missing values
    return pl.Series(core(operation)(kind, column, strict=strict, threads=threads)).alias(values.name)
