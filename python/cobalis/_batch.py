"""Whole columns of identifiers checked in one call.

``is_valid(kind, values)`` and ``validate(kind, values)`` answer for every row
of a column what ``is_valid_<kind>`` and ``validate_<kind>`` answer for one
text, in the form the column came in:

==============================  ==========================================  ==========================================
``values``                      ``is_valid`` answers                        ``validate`` answers
==============================  ==========================================  ==========================================
pandas ``Series`` of strings    a ``Series`` (same index and name)          a ``DataFrame`` (same index)
polars ``Series`` (String)      a ``Series`` of ``Boolean`` (same name)     a ``Series`` of ``Struct`` (same name)
pandas/polars one-column frame  as its column (named after it)              as its column
pyarrow ``Array``               an ``Array`` of ``bool``                    a ``StructArray``
pyarrow ``ChunkedArray``        a ``ChunkedArray`` of ``bool``              a ``ChunkedArray`` of ``struct``
numpy array of text             a ``bool`` array of the same shape          a structured array of the same shape
another Arrow column            a ``BatchResult``                           a ``BatchResult``
a list or other iterable        a ``list`` of ``bool``/``None``             a ``list`` of ``BatchRow``/``None``
==============================  ==========================================  ==========================================

(numpy: ``str``, ``object`` or ``StringDType``; iterables include a pandas
``Index`` and ``pd.array``.) The four results of ``validate`` are
``is_valid`` (bool), ``error`` (the error code, missing when valid),
``compact`` and ``formatted`` (empty when invalid): the values of
``validate_<kind>``. A missing value (``None``, null, ``NaN``, ``pd.NA``, a
string dtype's own missing value) answers missing in every form, in every
result, wherever the type can hold it; a column of nothing but missing values
(a ``float`` column of NaN, as pandas reads an empty CSV column) answers all
missing. pandas' ``str`` dtype and numpy ``bool`` arrays cannot hold it, and
answer ``False`` as pandas' own string predicates do. pandas dtypes follow
those predicates (``s.str.isdigit()``): ``Series`` of ``object`` give
``object`` (``bool`` without missing values), ``string`` gives ``boolean``,
``str`` gives ``bool``, Arrow-backed gives ``bool[pyarrow]``; the text
results keep the column's own string dtype.

* Arrow columns: any object exporting the Arrow PyCapsule interface
  (``__arrow_c_stream__``, else ``__arrow_c_array__``) whose type is a string
  (``string``, ``large_string`` or ``string_view``, or a dictionary of one
  with indices of any integer width), e.g. a pyarrow Table of one column or
  a DuckDB relation, is answered with a ``BatchResult``, itself an Arrow
  column exported through the same interface: take it with
  ``pyarrow.array(answer)``, ``polars.Series(answer)`` or
  ``polars.DataFrame(answer)``. It is also a sequence of the rows as Python
  values (``bool``, or a ``BatchRow``; ``None`` where missing), and pickles as
  ``pyarrow.array(answer)``. pandas, polars and pyarrow columns are read the
  same way, straight from their Arrow buffers; a dictionary-encoded column
  (pandas ``category``, polars ``Categorical``, DuckDB ``ENUM``) has each
  distinct value checked once.
* ``threads``: the rows of an Arrow column are checked with the interpreter
  lock released, a long column (from some 16,000 rows) split across
  ``threads`` threads, by default every core the process may use
  (``os.sched_getaffinity``); ``threads=1`` keeps to one. The answer is the
  same whatever the split. Lists, numpy arrays and pandas columns without
  pyarrow installed are checked row by row under the lock.
* None of pandas, polars, pyarrow or numpy is needed: each is imported only
  once a column of its own is passed in.

Kinds: every identifier kind ("iban", "bic", "credit_card", "isbn", "issn",
"isin", "lei", "ean", "vat", "email") for both functions, and the check-digit
algorithms "luhn", "verhoeff" and "damm" for ``is_valid``.

``strict=True`` answers with the functions of ``cobalis.strict`` instead
(national rules of IBAN, BIC, ISIN and VAT numbers, and the standards' letter
for IBAN, ISIN and LEI check characters; the same answers for the other
kinds, and the same four fields for all).

Errors: an unknown kind raises ``ValueError`` listing the kinds; a column of
another type raises ``TypeError`` naming the type, a value of another type
``TypeError`` naming its position and type (``values[1] is int``), on every
path; an error inside an Arrow
producer's stream is raised with the producer's message.
"""

from __future__ import annotations

import sys
from collections.abc import Callable, Iterable
from importlib import import_module
from typing import TYPE_CHECKING, Any, Literal, Protocol, TypedDict, overload

import _cobalis_batch
from _cobalis_batch import BatchResult
from cobalis._types import ErrorCode

if TYPE_CHECKING:
    # Typed libraries only: pandas and pyarrow answers are typed Any (their
    # columns match Indexed and ArrowColumn).
    import numpy
    import numpy.typing
    import polars

__all__ = ["is_valid", "validate", "BatchResult", "BatchRow", "ArrowColumn", "IS_VALID_KINDS", "VALIDATE_KINDS"]

#: Kinds ``is_valid`` takes: the identifier kinds, then "luhn", "verhoeff", "damm".
IS_VALID_KINDS: tuple[str, ...] = _cobalis_batch.IS_VALID_KINDS
#: Kinds ``validate`` takes: the identifier kinds.
VALIDATE_KINDS: tuple[str, ...] = _cobalis_batch.VALIDATE_KINDS
#: The fields of a ``validate`` answer, in order.
FIELDS = ("is_valid", "error", "compact", "formatted")


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


Operation = Literal["is_valid", "validate"]
# An adapter answers a column of its library's own type, or NotImplemented
# for an object of that library it leaves to the Arrow or iterable path.
Adapter = Callable[[Operation, str, Any, bool, "int | None"], Any]

# The top-level module of each library with an adapter, and the adapter's module.
_ADAPTERS = {
    "pandas": "cobalis._adapters.pandas",
    "polars": "cobalis._adapters.polars",
    "pyarrow": "cobalis._adapters.pyarrow",
    "numpy": "cobalis._adapters.numpy",
}


def _adapter_for(values: object) -> Adapter | None:
    # The class's module tells which library made it, with nothing imported:
    # a library that made the object is already loaded.
    for cls in type(values).__mro__:
        library = cls.__module__.partition(".")[0]
        if library in _ADAPTERS and library in sys.modules:
            adapter: Adapter = import_module(_ADAPTERS[library]).answer
            return adapter
    return None


def run(operation: Operation, kind: str, values: Any, strict: bool, threads: int | None) -> Any:
    """The answer for ``values`` in its own type, else from the extension as it is."""
    adapter = _adapter_for(values)
    if adapter is not None:
        answer = adapter(operation, kind, values, strict, threads)
        if answer is not NotImplemented:
            return answer
    return core(operation)(kind, values, strict=strict, threads=threads)


def core(operation: Operation) -> Any:
    """The extension's function: Arrow columns give a BatchResult, iterables a list."""
    return _cobalis_batch.is_valid if operation == "is_valid" else _cobalis_batch.validate


class Indexed(Protocol):
    """A pandas Series or DataFrame, as far as the overloads need to know."""

    @property
    def iloc(self) -> Any: ...


@overload
def is_valid(kind: str, values: polars.Series, *, strict: bool = False, threads: int | None = None) -> polars.Series: ...
@overload
def is_valid(  # type: ignore[overload-overlap]  # an array of text is iterable too
    kind: str, values: numpy.ndarray[Any, Any], *, strict: bool = False, threads: int | None = None
) -> numpy.typing.NDArray[numpy.bool_]: ...
@overload
def is_valid(kind: str, values: Indexed, *, strict: bool = False, threads: int | None = None) -> Any: ...
@overload
def is_valid(kind: str, values: ArrowColumn, *, strict: bool = False, threads: int | None = None) -> Any: ...
@overload
def is_valid(
    kind: str, values: Iterable[str | None], *, strict: bool = False, threads: int | None = None
) -> list[bool | None]: ...


def is_valid(kind: str, values: Any, *, strict: bool = False, threads: int | None = None) -> Any:
    """Whether each value is a valid identifier of ``kind``, in the column's own type.

    >>> is_valid("iban", ["GB82 WEST 1234 5698 7654 32", "bad", None])
    [True, False, None]
    """
    return run("is_valid", kind, values, strict, threads)


@overload
def validate(kind: str, values: polars.Series, *, strict: bool = False, threads: int | None = None) -> polars.Series: ...
@overload
def validate(  # type: ignore[overload-overlap]  # an array of text is iterable too
    kind: str, values: numpy.ndarray[Any, Any], *, strict: bool = False, threads: int | None = None
) -> numpy.ndarray[Any, numpy.dtype[numpy.void]]: ...
@overload
def validate(kind: str, values: Indexed, *, strict: bool = False, threads: int | None = None) -> Any: ...
@overload
def validate(kind: str, values: ArrowColumn, *, strict: bool = False, threads: int | None = None) -> Any: ...
@overload
def validate(
    kind: str, values: Iterable[str | None], *, strict: bool = False, threads: int | None = None
) -> list[BatchRow | None]: ...


def validate(kind: str, values: Any, *, strict: bool = False, threads: int | None = None) -> Any:
    """The validation result of each value as an identifier of ``kind``, in the column's own type.

    >>> validate("iban", ["GB82 WEST 1234 5698 7654 32", None])[0]["compact"]
    'GB82WEST12345698765432'
    """
    return run("validate", kind, values, strict, threads)
