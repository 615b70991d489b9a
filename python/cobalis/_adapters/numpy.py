"""numpy: an array of text (``str``, ``object`` or ``StringDType``) is answered
with an array of the same shape: ``bool`` from is_valid, and from validate a
structured array of the four results (``is_valid`` bool, the three texts as
objects, ``None`` where missing). A ``bool`` array cannot hold a missing value:
``None`` answers ``False`` there, as it does for pandas' ``str`` dtype.
``None``, ``NaN`` and ``pd.NA`` are missing alike (the missing value of a
``StringDType`` among them), and so is every value of a float array of
nothing but NaN."""

from __future__ import annotations

from typing import Any

import numpy as np

from cobalis._batch import FIELDS, Operation, core

def all_nan(values: Any) -> bool:
    """A float array of nothing but NaN: a column of missing values."""
    return values.dtype.kind == "f" and bool(np.isnan(values).all())


RESULT = np.dtype([("is_valid", np.bool_), ("error", object), ("compact", object), ("formatted", object)])


def answer(operation: Operation, kind: str, values: Any, strict: bool, threads: int | None) -> Any:
    if not isinstance(values, np.ndarray) or not (values.dtype.kind in "UOT" or all_nan(values)):
        return NotImplemented  # numbers and the like: refused by the extension, naming the type
    answers = core(operation)(kind, values.ravel().tolist(), strict=strict, threads=threads)
    if operation == "is_valid":
        return np.array(answers, dtype=np.bool_).reshape(values.shape)
    out = np.empty(len(answers), dtype=RESULT)
    missing = {"is_valid": False, "error": None, "compact": None, "formatted": None}
    out[:] = [tuple((missing if row is None else row)[field] for field in FIELDS) for row in answers]
    return out.reshape(values.shape)
