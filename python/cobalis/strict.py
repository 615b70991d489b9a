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

from _cobalis import (
    is_valid_credit_card,
    is_valid_ean,
    is_valid_email,
    is_valid_isbn,
    is_valid_issn,
    is_valid_lei,
    validate_credit_card,
    validate_ean,
    validate_email,
    validate_isbn,
    validate_issn,
    validate_lei,
)
from _cobalis_strict import (
    is_valid_bic,
    is_valid_iban,
    is_valid_isin,
    is_valid_vat,
    validate_bic,
    validate_iban,
    validate_isin,
    validate_vat,
)

# The kinds in the order of the plain functions.
__all__ = [
    "is_valid_iban",
    "validate_iban",
    "is_valid_bic",
    "validate_bic",
    "is_valid_credit_card",
    "validate_credit_card",
    "is_valid_isbn",
    "validate_isbn",
    "is_valid_issn",
    "validate_issn",
    "is_valid_isin",
    "validate_isin",
    "is_valid_lei",
    "validate_lei",
    "is_valid_ean",
    "validate_ean",
    "is_valid_vat",
    "validate_vat",
    "is_valid_email",
    "validate_email",
]
