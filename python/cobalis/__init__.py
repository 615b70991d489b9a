"""Validation of business and financial identifiers.

``cobalis`` is the typed face of the ``_cobalis`` extension: it re-exports the
same function objects (so calls cost exactly what they cost on ``_cobalis``),
ships type information for them, and adds the ``cobalis`` command line
(``python -m cobalis --help``).

    >>> import cobalis
    >>> cobalis.is_valid_iban("GB82 WEST 1234 5698 7654 32")
    True

``cobalis.is_valid(kind, values)`` and ``cobalis.validate(kind, values)``
check a whole column (an Arrow array, a polars or pandas series, or a list)
in one call; see ``cobalis._batch``.

``cobalis.explain(kind, text)`` says where an invalid identifier breaks and
what its check digits should be; ``cobalis.suggest(kind, text)`` lists the
valid identifiers one typing slip away.

``cobalis.strict`` offers the same validators with the national rules of IBAN,
BIC, ISIN and VAT numbers checked too.

The result shapes (``IbanResult``, ``CurrencyRecord`` and so on) are importable
from here for annotations.
"""

from importlib.metadata import PackageNotFoundError, version as _version

import _cobalis
from _cobalis import *  # noqa: F401,F403  (the functions, exactly as the extension defines them)

from cobalis._types import (  # noqa: F401
    BicResult,
    CardBrand,
    CountryRecord,
    CreditCardResult,
    CurrencyRecord,
    EanResult,
    EanType,
    EmailResult,
    ErrorCode,
    IbanResult,
    IsbnResult,
    IsbnType,
    IsinResult,
    IssnResult,
    Kind,
    LeiResult,
    StrictIbanResult,
    StrictVatResult,
    ValidationResult,
    VatRateRecord,
    VatResult,
)

from cobalis._batch import is_valid, validate
from cobalis.explain import Explanation, explain, suggest  # noqa: F401
from cobalis import strict  # noqa: E402  (strict validation: cobalis.strict)

# The 28 functions of the extension, the two that take whole columns, then
# explaining and repairing.
__all__ = list(_cobalis.__all__) + ["is_valid", "validate", "explain", "suggest"]

try:
    __version__ = _version("cobalis")
except PackageNotFoundError:  # running from a source tree that was never installed
    __version__ = "0+unknown"

del PackageNotFoundError, _version, _cobalis
