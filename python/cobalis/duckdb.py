"""SQL functions in a DuckDB connection.

``register(connection)`` adds, for every kind, ``is_valid_<kind>(VARCHAR)``
returning ``BOOLEAN`` (for the check-digit algorithms too), and for every
identifier kind ``validate_<kind>(VARCHAR)`` returning
``STRUCT(is_valid BOOLEAN, error VARCHAR, compact VARCHAR, formatted VARCHAR)``;
beside them ``strict_is_valid_<kind>`` and ``strict_validate_<kind>`` for the
identifier kinds, with the national rules of ``cobalis.strict``. NULL gives
NULL. DuckDB hands the functions whole vectors through Arrow (pyarrow must be
installed), and runs them on its own threads::

    >>> import duckdb, cobalis.duckdb
    >>> connection = duckdb.connect()
    >>> names = cobalis.duckdb.register(connection)
    >>> connection.sql("SELECT is_valid_iban('GB82 WEST 1234 5698 7654 32'), validate_vat('XI123').error").fetchall()
    [(True, 'unsupported_country')]
"""

from __future__ import annotations

from collections.abc import Callable
from typing import Any

import duckdb
from duckdb import sqltypes

from cobalis._batch import IS_VALID_KINDS, VALIDATE_KINDS, Operation, core

__all__ = ["register", "RESULT"]

#: The type of a ``validate_<kind>`` answer.
RESULT = duckdb.struct_type(
    {"is_valid": sqltypes.BOOLEAN, "error": sqltypes.VARCHAR, "compact": sqltypes.VARCHAR, "formatted": sqltypes.VARCHAR}
)


def _function(operation: Operation, kind: str, strict: bool) -> Callable[[Any], Any]:
    import pyarrow as pa  # type: ignore[import-untyped]

    check = core(operation)

    def column(values: Any) -> Any:
        # DuckDB parallelises over vectors itself: one thread per call.
        return pa.array(check(kind, values, strict=strict, threads=1))

    return column


# Arrow vectors in and out; NULL rows are the functions' own to answer (null).
# Spelled as text, which every DuckDB release since 0.9 takes.
_OPTIONS: dict[str, Any] = {"type": "arrow", "null_handling": "special"}


def register(connection: duckdb.DuckDBPyConnection) -> list[str]:
    """Adds the functions to ``connection``; answers their names, in the order added."""
    names = []
    families: tuple[tuple[Operation, tuple[str, ...], Any], ...] = (
        ("is_valid", IS_VALID_KINDS, sqltypes.BOOLEAN),
        ("validate", VALIDATE_KINDS, RESULT),
    )
    for strict, prefix in ((False, ""), (True, "strict_")):
        for operation, kinds, returns in families:
            for kind in VALIDATE_KINDS if strict else kinds:
                name = f"{prefix}{operation}_{kind}"
                function = _function(operation, kind, strict)
                connection.create_function(name, function, [sqltypes.VARCHAR], returns, **_OPTIONS)
                names.append(name)
    return names
