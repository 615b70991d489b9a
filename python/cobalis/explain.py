"""Where an invalid identifier breaks, and what it probably was.

``explain(kind, text)`` answers the error code ``validate_<kind>`` gives, the
place in `text` of the character to blame (where one can be), the check
characters the rest of the value implies (for a check-digit failure) and a
sentence for a person. ``suggest(kind, text)`` answers the valid identifiers
one typing slip away, in compact form: one character replaced or two
neighbours swapped, most plausible first (a swap, then look-alike characters
such as O and 0, then neighbouring keys, then the rest; among equals, those
that also keep what the identifier carries beyond the asked rules: the
national rules, an ISIN's embedded SEDOL or CUSIP, a card's known brand).

    >>> import cobalis
    >>> cobalis.explain("iban", "GB83 WEST 1234 5698 7654 32")["expected"]
    '82'
    >>> cobalis.suggest("iban", "GB82 WEST 1234 5698 7645 32")[0]
    'GB82WEST12345698765432'

Both also take a whole column, as ``cobalis.is_valid`` does, and answer one
row per value in the column's own form (missing where the value is missing):

==============================  ==========================================  ==========================================
``values``                      ``explain`` answers                         ``suggest`` answers
==============================  ==========================================  ==========================================
pandas ``Series``               a ``DataFrame`` (same index)                a ``Series`` of lists (same index, name)
polars ``Series``               a ``Series`` of ``Struct`` (same name)      a ``Series`` of ``List(String)``
pyarrow ``Array``               a ``StructArray``                           a ``ListArray`` of strings
pyarrow ``ChunkedArray``        a ``ChunkedArray`` of ``struct``            a ``ChunkedArray`` of lists
a list or other iterable        a ``list`` of ``Explanation``/``None``      a ``list`` of lists/``None``
==============================  ==========================================  ==========================================

Columns are read row by row under the interpreter lock (there is no Arrow
fast path for these two yet).
"""

from __future__ import annotations

from collections.abc import Callable
from typing import TYPE_CHECKING, Any, TypedDict, TypeVar, overload

import _cobalis_explain

from cobalis._messages import MESSAGES
from cobalis._types import ErrorCode, Kind

__all__ = ["Explanation", "explain", "suggest"]


class Explanation(TypedDict):
    """What ``explain`` answers; every value is None for a valid identifier."""

    error: ErrorCode | None
    # The index in the caller's text (not the compact form) of the character
    # that breaks the rule, where one character can be blamed.
    position: int | None
    # For a check-digit failure, the check characters the rest implies.
    expected: str | None
    message: str | None


# --- whole columns ----------------------------------------------------------------------------------------------

T = TypeVar("T")

EXPLANATION_FIELDS = (("error", "string"), ("position", "int64"), ("expected", "string"), ("message", "string"))


def _missing(value: object) -> bool:
    """None, a float NaN, pandas' NA."""
    return value is None or (isinstance(value, float) and value != value) or type(value).__name__ == "NAType"


def _rows(one: Callable[[str], T], values: Any) -> list[T | None]:
    return [None if _missing(value) else one(value) for value in values]


def _column(what: str, one: Callable[[str], Any], values: Any) -> Any:
    """`one` over every value of a column, answered in the column's form."""
    module = type(values).__module__.split(".")[0]
    name = type(values).__name__
    if module == "pyarrow" and name.endswith("Array"):
        import pyarrow as pa  # type: ignore[import-untyped]

        if what == "explain":
            arrow_type = pa.struct([(field, getattr(pa, kind)()) for field, kind in EXPLANATION_FIELDS])
        else:
            arrow_type = pa.list_(pa.string())
        if isinstance(values, pa.ChunkedArray):
            return pa.chunked_array([pa.array(_rows(one, chunk.to_pylist()), type=arrow_type) for chunk in values.chunks],
                                    type=arrow_type)
        return pa.array(_rows(one, values.to_pylist()), type=arrow_type)
    if module == "polars" and name == "Series":
        import polars as pl

        rows = _rows(one, values.to_list())
        if what == "explain":
            dtype: Any = pl.Struct({"error": pl.String, "position": pl.Int64, "expected": pl.String,
                                    "message": pl.String})
            return pl.Series(values.name, rows, dtype=dtype)
        try:
            import pyarrow as pa
        except ImportError:
            return pl.Series(values.name, rows, dtype=pl.List(pl.String))
        # polars builds a list column from Python lists some twenty times
        # slower than from the Arrow array pyarrow makes of them.
        lists = pl.from_arrow(pa.array(rows, type=pa.list_(pa.string())))
        return lists.alias(values.name)
    if module == "pandas" and name == "Series":
        import pandas as pd  # type: ignore[import-untyped]

        rows = _rows(one, values.tolist())
        if what == "explain":
            # Built a column at a time: a frame of records costs half as much again.
            dtypes = {"string": "string", "int64": "Int64"}
            return pd.DataFrame({field: pd.array([None if row is None else row[field] for row in rows],
                                                 dtype=dtypes[kind])
                                 for field, kind in EXPLANATION_FIELDS}, index=values.index)
        return pd.Series(rows, index=values.index, name=values.name, dtype=object)
    return _rows(one, values)


def _explain_row(kind: str, value: object, strict: bool) -> Explanation:
    if not isinstance(value, str):
        raise TypeError(f"explain() takes str values, not {type(value).__name__}")
    return explain(kind, value, strict=strict)


def _explain_column(kind: str, values: Any, strict: bool) -> Any:
    """explain over a column: what the Explainer hands over for anything but a str."""
    if not hasattr(values, "__iter__") or isinstance(values, (bytes, bytearray)):
        raise TypeError(f"explain() takes a str or a column of them, not {type(values).__name__}")
    return _column("explain", lambda value: _explain_row(kind, value, strict), values)


if TYPE_CHECKING:
    @overload
    def explain(kind: Kind, text: str, *, strict: bool = False) -> Explanation: ...
    @overload
    def explain(kind: Kind, text: Any, *, strict: bool = False) -> Any: ...
    def explain(kind: Kind, text: Any, *, strict: bool = False) -> Any:
        """Why `text` is not a valid identifier of `kind`, and where; for a column, that of every value.

        Raises ValueError for an unknown kind and TypeError for a text that is
        neither a ``str`` nor a column.
        """
else:
    # One C call for a str: the answer and its sentence are made there.
    explain = _cobalis_explain.Explainer(MESSAGES, _explain_column).explain


@overload
def suggest(kind: Kind, text: str, *, strict: bool = False, limit: int = 5) -> list[str]: ...
@overload
def suggest(kind: Kind, text: Any, *, strict: bool = False, limit: int = 5) -> Any: ...
def suggest(kind: Kind, text: Any, *, strict: bool = False, limit: int = 5) -> Any:
    """At most `limit` valid identifiers of `kind` one edit away from `text`; for a column, those of every value.

    Compact forms, most plausible first; an empty list when `text` is valid or
    has no valid neighbour. At most 64 are ever answered.
    """
    if isinstance(text, str):
        return _cobalis_explain.suggest(kind, text, strict, limit)
    return _column("suggest", lambda value: _cobalis_explain.suggest(kind, value, strict, limit), text)
