"""Column and SQL functions for Apache Spark.

``is_valid(kind, column)`` answers a ``boolean`` ``Column``, and
``validate(kind, column)`` a
``struct<is_valid: boolean, error: string, compact: string, formatted: string>``
``Column``, for a ``Column`` or a column name of strings; NULL gives NULL.
``register(spark)`` makes SQL functions of them in a session:
``is_valid_<kind>`` for every kind and check-digit algorithm,
``validate_<kind>`` for the identifier kinds, and ``strict_is_valid_<kind>``
and ``strict_validate_<kind>`` with the national rules of ``cobalis.strict``::

    df.withColumn("ok", cobalis.spark.is_valid("iban", "iban"))
    spark.sql("SELECT * FROM payments WHERE NOT is_valid_iban(iban)")

The rows travel in Arrow batches to the executors' Python workers, which
check each batch in one call to the column path of ``cobalis.is_valid`` and
``cobalis.validate``, on one thread (Spark runs one task per core already).
Spark 4.1 and later hand the batches over as pyarrow arrays (``arrow_udf``);
older releases as pandas columns (``pandas_udf``), turned into Arrow here.
Every executor's Python must have cobalis installed (and pyarrow).

A kind that does not exist, or a column that is not a column, raises at the
call, on the driver; a column that is not of strings fails when the query is
analysed (Spark 4.0 and later), on the driver too, before any task runs.
The SQL functions cannot check their argument so: one not of strings fails
in the executors, with the TypeError of ``cobalis.is_valid``.
"""

from __future__ import annotations

from collections.abc import Callable
from functools import lru_cache
from typing import TYPE_CHECKING, Any

from pyspark.sql import Column, functions as F
from pyspark.sql.types import BooleanType, StringType, StructField, StructType

from cobalis._batch import FIELDS, IS_VALID_KINDS, VALIDATE_KINDS, Operation, core

if TYPE_CHECKING:
    from pyspark.sql import SparkSession

__all__ = ["is_valid", "validate", "register", "RESULT"]

#: The type of a ``validate`` answer.
RESULT = StructType(
    [
        StructField("is_valid", BooleanType()),
        StructField("error", StringType()),
        StructField("compact", StringType()),
        StructField("formatted", StringType()),
    ]
)
assert tuple(RESULT.names) == FIELDS

# Spark 4.1 brought UDFs over pyarrow arrays; before it, pandas columns are
# what a vectorised UDF gets.
ARROW_UDFS = hasattr(F, "arrow_udf")


def is_valid(kind: str, column: Column | str, *, strict: bool = False) -> Column:
    """A ``boolean`` column: whether each value is a valid identifier of ``kind``."""
    return _call("is_valid", kind, column, strict)


def validate(kind: str, column: Column | str, *, strict: bool = False) -> Column:
    """A ``struct`` column (``RESULT``): the validation result of each value as ``kind``."""
    return _call("validate", kind, column, strict)


def register(spark: SparkSession) -> list[str]:
    """Adds the SQL functions to ``spark``'s session; answers their names, in the order added."""
    names = []
    for strict, prefix in ((False, ""), (True, "strict_")):
        for operation, kinds in (("is_valid", IS_VALID_KINDS), ("validate", VALIDATE_KINDS)):
            for kind in VALIDATE_KINDS if strict else kinds:
                name = f"{prefix}{operation}_{kind}"
                spark.udf.register(name, _udf(operation, kind, strict, ARROW_UDFS))
                names.append(name)
    return names


def _call(operation: Operation, kind: str, column: Column | str, strict: bool) -> Column:
    # The extension's own checks of the kind, on an empty column, so that a
    # bad kind fails here with the message cobalis.is_valid gives.
    core(operation)(kind, [], strict=strict)
    if isinstance(column, str):
        column = F.col(column)
    elif not isinstance(column, Column):
        raise TypeError(
            f"cobalis.spark.{operation}: column must be a Column or a column name, not {type(column).__name__}"
        )
    name = f"{'strict_' if strict else ''}{operation}_{kind}({_text(column)})"
    if hasattr(F, "collate"):
        # Accepts strings only, with no implicit cast: another type fails the
        # analysis of the query, on the driver, naming the column and its type.
        column = F.collate(column, "UTF8_BINARY")
    answer: Column = _udf(operation, kind, strict, ARROW_UDFS)(column)
    if operation == "validate" and not ARROW_UDFS:
        # A pandas UDF cannot answer a missing struct, only one of missing fields.
        answer = F.when(column.isNotNull(), answer)
    # Named as a call on the column itself, as Spark names its own functions.
    return answer.alias(name)


def _text(column: Column) -> str:
    """The expression of ``column`` as Spark shows it: ``Column<'upper(iban)'>`` gives ``upper(iban)``."""
    text = repr(column)
    return text[8:-2] if text.startswith("Column<'") and text.endswith("'>") else text


@lru_cache(maxsize=None)
def _udf(operation: Operation, kind: str, strict: bool, arrow: bool) -> Any:
    """The Spark UDF for one function, made once."""
    check = core(operation)
    returns = BooleanType() if operation == "is_valid" else RESULT
    function: Callable[..., Any]
    make: Any  # pyspark's overloads want the kind of UDF that the hints below tell it

    if arrow:
        import pyarrow as pa  # type: ignore[import-untyped]
        from pyspark.sql.pandas.functions import arrow_udf as make

        def column(values: pa.Array) -> pa.Array:
            return pa.array(check(kind, values, strict=strict, threads=1))

        function, hint = column, pa.Array
    else:
        import pandas as pd  # type: ignore[import-untyped]
        from pyspark.sql.pandas.functions import pandas_udf as make

        def series(values: pd.Series) -> pd.Series | pd.DataFrame:
            import pyarrow as pa

            # Through Arrow, whatever pandas' string dtype: a missing value stays null.
            strings = pa.array(values, type=pa.string(), from_pandas=True)
            answer = pa.array(check(kind, strings, strict=strict, threads=1))
            if operation == "is_valid":
                return answer.to_pandas()
            return pd.DataFrame({name: answer.field(name).to_pandas() for name in FIELDS})

        function, hint = series, pd.Series
    # Spark reads the kind of UDF from the hints: one column in, one out.
    function.__annotations__ = {"values": hint, "return": hint}
    function.__name__ = function.__qualname__ = f"{'strict_' if strict else ''}{operation}_{kind}"
    return make(function, returns)
