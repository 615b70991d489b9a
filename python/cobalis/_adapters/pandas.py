"""pandas: a Series of text is answered with a Series (is_valid) or a
DataFrame of the four results (validate), with the Series' index (and, for
is_valid, its name).

The dtypes are those pandas' own string methods give for the column's dtype
(``s.str.isdigit()`` for the booleans, ``s.str.upper()`` for the texts), so a
column answers as the rest of the user's code expects: ``object`` columns
answer ``object`` (``bool`` when nothing is missing), ``string`` answers
``boolean``, ``str`` answers ``bool`` (a missing value answers ``False``,
as there), Arrow-backed columns answer ``bool[pyarrow]``.

With pyarrow installed, the rows are read from the column's Arrow form (the
buffers themselves for Arrow-backed columns; a categorical column as a
dictionary, each category checked once); without it, and for ``object``
columns holding something other than text, value by value, so that the first
value of another type is named with its position. A missing value is
``None``, ``NaN`` or ``pd.NA`` alike; a column of nothing but missing values
(as pandas reads an empty CSV column: ``float`` NaN) answers missing, as an
``object`` column would. A DataFrame of one column answers as that column.
"""

from __future__ import annotations

import functools
from typing import Any

import numpy as np
import pandas as pd  # type: ignore[import-untyped]

from cobalis._batch import FIELDS, Operation, core

try:
    import pyarrow as pa  # type: ignore[import-untyped]
except ImportError:  # pandas runs without it: the values are read one by one
    pa = None


def answer(operation: Operation, kind: str, values: Any, strict: bool, threads: int | None) -> Any:
    if isinstance(values, pd.DataFrame) and values.shape[1] == 1:
        values = values.iloc[:, 0]  # a one-column frame answers as its column, named after it
    if not isinstance(values, pd.Series):
        return NotImplemented  # other frames are Arrow columns like any other, refused naming their type
    column, dtype = readable(values)
    if pa is not None and (column.dtype != object or text_or_nothing(column)):
        result = core(operation)(kind, column, strict=strict, threads=threads)
        answers: Any = pa.chunked_array(result)
        from_arrow = True
    else:
        # Value by value: without pyarrow, and for objects that are not all
        # text, whose first other value is named with its position.
        answers = core(operation)(kind, column.to_numpy(dtype=object, na_value=None).tolist(), strict=strict)
        from_arrow = False
    booleans, texts = result_dtypes(dtype)
    if operation == "is_valid":
        array = as_array(answers, booleans)
        return pd.Series(array, index=values.index, name=values.name, dtype=array.dtype, copy=False)
    if from_arrow:
        fields = [answers.combine_chunks().field(i) if answers.num_chunks != 1 else answers.chunk(0).field(i)
                  for i in range(len(FIELDS))]
    else:
        fields = [[None if row is None else row[field] for row in answers] for field in FIELDS]
    columns = {}
    for name, field in zip(FIELDS, fields):
        array = as_array(field, booleans if name == "is_valid" else texts)
        # The dtype said outright: pandas would take a bare array of text objects as str.
        columns[name] = pd.Series(array, index=values.index, dtype=array.dtype, copy=False)
    return pd.DataFrame(columns, copy=False)


def readable(values: Any) -> tuple[Any, Any]:
    """The column to read for ``values``, and the dtype whose answer types it takes."""
    dtype = values.dtype
    if dtype != object and not is_text(dtype) and values.isna().all():
        # Nothing but missing values (an empty CSV column reads as float NaN):
        # missing answers, typed as for text of the same kind of column.
        missing = pd.Series([None] * len(values), index=values.index, dtype=object)
        return missing, dtype if isinstance(dtype, pd.CategoricalDtype) else np.dtype(object)
    if isinstance(dtype, pd.CategoricalDtype):
        if pa is not None and text_or_nothing(dtype.categories):
            return values, dtype  # read as a dictionary: each category checked once
        return values.astype(dtype.categories.dtype), dtype
    return values, dtype


def text_or_nothing(values: Any) -> bool:
    """Whether the values are text and missing values only, which Arrow reads as strings."""
    return pd.api.types.infer_dtype(values, skipna=True) in ("string", "empty")


def is_text(dtype: Any) -> bool:
    return isinstance(dtype, pd.StringDtype) or (isinstance(dtype, pd.ArrowDtype) and pa is not None and (
        pa.types.is_string(dtype.pyarrow_dtype) or pa.types.is_large_string(dtype.pyarrow_dtype)
        or pa.types.is_string_view(dtype.pyarrow_dtype) or pa.types.is_dictionary(dtype.pyarrow_dtype)))


@functools.lru_cache(maxsize=64)
def result_dtypes(dtype: Any) -> tuple[Any, Any]:
    """The dtypes pandas' string predicates and transformations give for ``dtype``."""
    probe = pd.Series(["0", None], dtype="category" if isinstance(dtype, pd.CategoricalDtype) else dtype)
    try:
        return probe.str.isdigit().dtype, probe.str.upper().dtype
    except (AttributeError, TypeError, ValueError, NotImplementedError):
        # Types whose string methods pandas does not implement (Arrow string
        # views and dictionaries), and columns of other types.
        if isinstance(dtype, pd.ArrowDtype) and pa is not None:
            return pd.ArrowDtype(pa.bool_()), pd.ArrowDtype(pa.string())
        return np.dtype(object), np.dtype(object)


def as_array(values: Any, dtype: Any) -> Any:
    """An Arrow column or a list of values as an array of ``dtype`` (missing kept where it can be)."""
    if isinstance(dtype, pd.api.extensions.ExtensionDtype):
        if pa is not None and isinstance(values, (pa.Array, pa.ChunkedArray)):
            if isinstance(dtype, pd.ArrowDtype) and values.type != dtype.pyarrow_dtype:
                values = values.cast(dtype.pyarrow_dtype)
            return dtype.__from_arrow__(values)
        return pd.array(values, dtype=dtype)
    if dtype == np.bool_:
        if pa is not None and isinstance(values, (pa.Array, pa.ChunkedArray)):
            values = values.fill_null(False)
            return values.to_numpy(zero_copy_only=False)
        return np.array(values, dtype=np.bool_)
    # object: pandas gives bool for a column of booleans with nothing missing
    if pa is not None and isinstance(values, (pa.Array, pa.ChunkedArray)):
        as_objects = values.to_numpy(zero_copy_only=False)
    else:
        as_objects = np.array(values, dtype=object)
        if len(values) and all(type(v) is bool for v in values):
            as_objects = as_objects.astype(np.bool_)
    return as_objects
