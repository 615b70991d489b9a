"""Where an invalid identifier breaks, and what it probably was.

``explain(kind, text)`` answers the error code ``validate_<kind>`` gives, the
place in `text` of the character to blame (where one can be), the check
characters the rest of the value implies (for a check-digit failure) and a
sentence for a person. ``suggest(kind, text)`` answers the valid identifiers
one typing slip away, in compact form: one character replaced or two
neighbours swapped, most plausible first (a swap, then look-alike characters
such as O and 0, then neighbouring keys, then the rest).

    >>> import cobalis
    >>> cobalis.explain("iban", "GB83 WEST 1234 5698 7654 32")["expected"]
    '82'
    >>> cobalis.suggest("iban", "GB82 WEST 1234 5698 7645 32")[0]
    'GB82WEST12345698765432'
"""

from __future__ import annotations

from typing import TypedDict, cast

import _cobalis_explain

from cobalis._messages import message as _message
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


def _sentence(kind: str, error: str, position: int | None, expected: str | None, found: str | None) -> str:
    base = _message(kind, error)
    if expected is not None and found is not None:
        pronoun = "it" if len(expected) == 1 else "they"
        return f"{base}: {pronoun} should be {expected}, not {found}."
    if position is not None:
        return f"{base} (character {position + 1})."
    return f"{base}."


def explain(kind: Kind, text: str, *, strict: bool = False) -> Explanation:
    """Why `text` is not a valid identifier of `kind`, and where.

    Raises ValueError for an unknown kind and TypeError for a text that is not
    a ``str``.
    """
    error, position, expected, found = _cobalis_explain.explain(kind, text, strict)
    if error is None:
        return {"error": None, "position": None, "expected": None, "message": None}
    return {
        "error": cast(ErrorCode, error),
        "position": position,
        "expected": expected,
        "message": _sentence(kind, error, position, expected, found),
    }


def suggest(kind: Kind, text: str, *, strict: bool = False, limit: int = 5) -> list[str]:
    """At most `limit` valid identifiers of `kind` one edit away from `text`.

    Compact forms, most plausible first; an empty list when `text` is valid or
    has no valid neighbour. At most 64 are ever answered.
    """
    return _cobalis_explain.suggest(kind, text, strict, limit)
