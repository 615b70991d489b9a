"""Strict validation: the international rules of each kind to the letter of its standard, and its national ones.

The functions here have the names, parameter, errors and result dictionaries
of their counterparts in ``cobalis``; an answer is valid exactly when the plain
answer is valid and the stricter rules hold too:

* ``iban``: the check digits are 02 to 98, as ISO 13616 computes them (00, 01
  and 99 pass MOD 97-10 but are never issued), else ``"invalid_checksum"``;
  the account number (BBAN) has its country's layout from the IBAN registry
  (digits, letters or either at each place), else ``"invalid_structure"``; and
  where the country's banking standard publishes national check digits, they
  match, else ``"invalid_checksum"``. A valid answer adds ``bank_code`` and
  ``branch_code``, the BBAN's bank and branch identifiers at the registry's
  places (``branch_code`` is None where the registry defines no branch).
* ``vat``: the national check digit or letter of every country, else
  ``"invalid_checksum"``.
* ``bic``: the country is an ISO 3166-1 code (or XK, Kosovo's code at SWIFT),
  else ``"invalid_country"``.
* ``isin``: the check character is a digit, as ISO 6166 computes it, else
  ``"invalid_charset"``; and the prefix is one ISINs really carry (an ISO
  3166-1 code, a former one, or a prefix used beyond countries such as ``XS``,
  ``EU`` or ``EZ``), else ``"invalid_country"``.
* ``lei``: characters 19 and 20, the check digits of ISO 17442, are digits,
  else ``"invalid_charset"``.

The other kinds have no stricter rules: their functions here are the very
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
