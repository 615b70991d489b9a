"""Validation inside polars expressions.

Importing this module registers the expression namespace ``cobalis``, so that
eager and lazy frames validate a column where it lies::

    >>> import polars as pl, cobalis.polars
    >>> frame = pl.DataFrame({"iban": ["GB82 WEST 1234 5698 7654 32", "GB00", None]})
    >>> frame.select(pl.col("iban").cobalis.is_valid("iban")).to_series().to_list()
    [True, False, None]

``.cobalis.is_valid(kind)`` gives a ``Boolean`` column, ``.cobalis.validate(kind)``
a ``Struct`` of ``is_valid``, ``error``, ``compact`` and ``formatted`` (take
its fields with ``.struct.field(...)`` or ``.struct.unnest()``); both take
``strict`` and ``threads`` as ``cobalis.is_valid`` does. The rows are read
from the column's Arrow buffers, a batch at a time, as polars hands them over.
"""

from __future__ import annotations

import polars as pl

from cobalis._batch import IS_VALID_KINDS, VALIDATE_KINDS, is_valid, validate

__all__ = ["CobalisExpressions", "RESULT"]

#: The type of a ``validate`` column.
RESULT = pl.Struct({"is_valid": pl.Boolean, "error": pl.String, "compact": pl.String, "formatted": pl.String})


def _known(operation: str, kind: str, kinds: tuple[str, ...]) -> None:
    # Said when the expression is built, not when a lazy frame is collected.
    if kind not in kinds:
        raise ValueError(f"cobalis.{operation}: unknown kind {kind!r}; kinds: {', '.join(kinds)}")


@pl.api.register_expr_namespace("cobalis")
class CobalisExpressions:
    """``expr.cobalis``: the whole-column functions of ``cobalis`` as expressions."""

    def __init__(self, expr: pl.Expr) -> None:
        self._expr = expr

    def is_valid(self, kind: str, *, strict: bool = False, threads: int | None = None) -> pl.Expr:
        """Whether each value is a valid identifier of ``kind`` (``Boolean``; null stays null)."""
        _known("is_valid", kind, IS_VALID_KINDS)
        return self._expr.map_batches(
            lambda column: is_valid(kind, column, strict=strict, threads=threads),
            return_dtype=pl.Boolean,
            is_elementwise=True,
        )

    def validate(self, kind: str, *, strict: bool = False, threads: int | None = None) -> pl.Expr:
        """The validation result of each value (a ``Struct``; null stays null)."""
        _known("validate", kind, VALIDATE_KINDS)
        return self._expr.map_batches(
            lambda column: validate(kind, column, strict=strict, threads=threads),
            return_dtype=RESULT,
            is_elementwise=True,
        )
