"""Whole columns of identifiers checked in one call.

``is_valid(kind, values)`` and ``validate(kind, values)`` answer for every row
of a column what ``is_valid_<kind>`` and ``validate_<kind>`` answer for one
text.

``values`` is either

* an Arrow column: any object exporting the Arrow PyCapsule interface
  (``__arrow_c_stream__``, else ``__arrow_c_array__``) whose type is a string
  (``string``, ``large_string`` or ``string_view``), e.g. a pyarrow Array or
  ChunkedArray, a polars Series, a pandas Series of Arrow-backed strings, or
  a one-column table (a DuckDB relation, a pyarrow Table). The rows are read
  straight from the Arrow buffers with the interpreter lock released, so
  threads checking different columns run in parallel. The answer is a
  ``BatchResult``, itself an Arrow column exported through the same
  interface: take it with ``pyarrow.array(answer)``, ``polars.Series(answer)``
  or ``polars.DataFrame(answer)``. A null row answers null.

  - ``is_valid``: a ``bool`` column.
  - ``validate``: a ``struct`` column with the fields ``is_valid`` (bool),
    ``error`` (string, null when valid), ``compact`` and ``formatted``
    (strings, empty when invalid), the values of ``validate_<kind>``. For a
    null row the whole row and each field are null.

* any other iterable of ``str`` and ``None``, answered with a ``list``:
  ``True``/``False``/``None`` from ``is_valid``; from ``validate`` a ``dict``
  with the keys ``is_valid``, ``error``, ``compact`` and ``formatted`` (the
  same four values as above, so it equals a row of the Arrow answer), or
  ``None`` for ``None``.

Kinds: every identifier kind ("iban", "bic", "credit_card", "isbn", "issn",
"isin", "lei", "ean", "vat", "email") for both functions, and the check-digit
algorithms "luhn", "verhoeff" and "damm" for ``is_valid``.

``strict=True`` answers with the functions of ``cobalis.strict`` instead
(national rules of IBAN, BIC, ISIN and VAT numbers; the same answers for the
other kinds).

Errors: an unknown kind raises ``ValueError`` listing the kinds; a column of
another Arrow type raises ``TypeError`` naming the type; an error inside an
Arrow producer's stream is raised with the producer's message.
"""

from __future__ import annotations

from collections.abc import Iterable
from typing import Protocol, TypedDict, overload

import _cobalis_batch
from _cobalis_batch import BatchResult
from cobalis._types import ErrorCode

__all__ = ["is_valid", "validate", "BatchResult", "BatchRow", "ArrowColumn", "IS_VALID_KINDS", "VALIDATE_KINDS"]

#: Kinds ``is_valid`` takes: the identifier kinds, then "luhn", "verhoeff", "damm".
IS_VALID_KINDS: tuple[str, ...] = _cobalis_batch.IS_VALID_KINDS
#: Kinds ``validate`` takes: the identifier kinds.
VALIDATE_KINDS: tuple[str, ...] = _cobalis_batch.VALIDATE_KINDS


class ArrowStream(Protocol):
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...


class ArrowArray(Protocol):
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...


#: What the functions read as an Arrow column.
ArrowColumn = ArrowStream | ArrowArray


class BatchRow(TypedDict):
    """One row of ``validate`` for a plain iterable (a row of the Arrow answer alike)."""

    is_valid: bool
    error: ErrorCode | None
    compact: str
    formatted: str


@overload
def is_valid(kind: str, values: ArrowColumn, *, strict: bool = False) -> BatchResult: ...
@overload
def is_valid(kind: str, values: Iterable[str | None], *, strict: bool = False) -> list[bool | None]: ...


def is_valid(
    kind: str, values: ArrowColumn | Iterable[str | None], *, strict: bool = False
) -> BatchResult | list[bool | None]:
    """Whether each value is a valid identifier of ``kind``.

    An Arrow column of strings gives a ``BatchResult`` holding a bool column
    (null where the value is null); an iterable of ``str``/``None`` gives a
    list of ``True``, ``False`` and ``None``.

    >>> import pyarrow as pa
    >>> pa.array(is_valid("iban", pa.array(["GB82 WEST 1234 5698 7654 32", "bad", None]))).to_pylist()
    [True, False, None]
    """
    return _cobalis_batch.is_valid(kind, values, strict=strict)


@overload
def validate(kind: str, values: ArrowColumn, *, strict: bool = False) -> BatchResult: ...
@overload
def validate(kind: str, values: Iterable[str | None], *, strict: bool = False) -> list[BatchRow | None]: ...


def validate(
    kind: str, values: ArrowColumn | Iterable[str | None], *, strict: bool = False
) -> BatchResult | list[BatchRow | None]:
    """The validation result of each value as an identifier of ``kind``.

    An Arrow column of strings gives a ``BatchResult`` holding a struct column
    of ``is_valid``, ``error``, ``compact`` and ``formatted`` (a null row where
    the value is null); an iterable of ``str``/``None`` gives a list of dicts
    with those four keys, and ``None`` for ``None``.

    >>> validate("iban", ["GB82 WEST 1234 5698 7654 32", None])[0]["compact"]
    'GB82WEST12345698765432'
    """
    return _cobalis_batch.validate(kind, values, strict=strict)
