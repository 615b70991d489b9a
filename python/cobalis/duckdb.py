"""SQL functions in a DuckDB connection.

``register(connection)`` adds, for every kind, ``is_valid_<kind>(VARCHAR)``
returning ``BOOLEAN`` (for the check-digit algorithms too), and for every
identifier kind ``validate_<kind>(VARCHAR)`` returning
``STRUCT(is_valid BOOLEAN, error VARCHAR, compact VARCHAR, formatted VARCHAR)``;
beside them ``strict_is_valid_<kind>`` and ``strict_validate_<kind>`` for the
identifier kinds, with the stricter rules of ``cobalis.strict``. NULL gives
NULL. DuckDB hands the functions whole vectors through Arrow (pyarrow must be
installed), and runs them on its own threads. Calling ``register`` again on
the same connection replaces the functions of those names (a release upgraded
in a long-lived process, a notebook cell run twice) rather than failing::

    >>> import duckdb, cobalis.duckdb
    >>> connection = duckdb.connect()
    >>> names = cobalis.duckdb.register(connection)
    >>> connection.sql("SELECT is_valid_iban('GB82 WEST 1234 5698 7654 32'), validate_vat('XI123').error").fetchall()
    [(True, 'unsupported_country')]
    >>> cobalis.duckdb.register(connection) == names
    True
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


def _remove_if_present(connection: duckdb.DuckDBPyConnection, name: str) -> None:
    # DuckDB refuses a second Python function of one name; only functions made
    # with create_function can be removed, so a built-in is never touched.
    try:
        connection.remove_function(name)
    except duckdb.InvalidInputException:
        pass


def register(connection: duckdb.DuckDBPyConnection) -> list[str]:
    """Adds the functions to ``connection``, replacing any of the same names a
    call before added; answers their names, in the order added."""
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
                _remove_if_present(connection, name)
                connection.create_function(name, function, [sqltypes.VARCHAR], returns, **_OPTIONS)
                names.append(name)
    return names
