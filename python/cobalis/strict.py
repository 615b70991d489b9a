"""Strict validation: the international rules of each kind, and its national ones.

The functions here have the names, parameter, errors and result dictionaries
of their counterparts in ``cobalis``; an answer is valid exactly when the plain
answer is valid and the national rules hold too:

* ``iban``: the account number (BBAN) has its country's layout from the IBAN
  registry (digits, letters or either at each place), else
  ``"invalid_structure"``; and where the country's banking standard publishes
  national check digits, they match, else ``"invalid_checksum"``.
* ``vat``: the national check digit or letter of every country, else
  ``"invalid_checksum"``.
* ``bic``: the country is an ISO 3166-1 code (or XK, Kosovo's code at SWIFT),
  else ``"invalid_country"``.
* ``isin``: the prefix is one ISINs really carry (an ISO 3166-1 code, a former
  one, or a prefix used beyond countries such as ``XS`` or ``EU``), else
  ``"invalid_country"``.

The other kinds have no national rules: their functions here are the very
objects of ``cobalis``.

    >>> from cobalis import strict
    >>> strict.validate_vat("DE 136 695 976")["is_valid"]
    True
    >>> strict.validate_vat("DE 136 695 977")["error"]
    'invalid_checksum'
"""

import _cobalis
import _cobalis_strict

# The kinds in the order of the plain functions. A kind with national rules
# answers with _cobalis_strict's functions, every other with _cobalis's own.
__all__ = [name for name in _cobalis.__all__ if name.startswith(("is_valid_", "validate_"))]
globals().update(
    {name: getattr(_cobalis_strict if name in _cobalis_strict.__all__ else _cobalis, name) for name in __all__}
)
