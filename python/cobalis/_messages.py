"""A sentence for a person, for every error code each kind can give.

The codes are those the validators answer (``cobalis._types`` lists them per
kind, strict validation included); the sentences say which rule the text broke
without repeating the text. Each is true whether the plain or the strict rule
failed: a strict IBAN's ``invalid_structure`` may be the check digits' place
or the account number's national layout, and the sentence covers both.
"""

from collections.abc import Mapping
from typing import Final

__all__ = ["MESSAGES", "message"]

MESSAGES: Final[Mapping[str, Mapping[str, str]]] = {
    "iban": {
        "invalid_charset": "IBAN may hold only letters and digits",
        "invalid_length": "IBAN does not have the length of its country's IBANs",
        "invalid_country": "IBAN does not start with a two-letter country code",
        "invalid_structure": "IBAN is not laid out as its country's IBANs are",
        "unsupported_country": "IBAN names a country that has no IBANs",
        "invalid_checksum": "IBAN check digits do not match",
    },
    "bic": {
        "invalid_charset": "BIC has a character that is not allowed at its place",
        "invalid_length": "BIC must have 8 or 11 characters",
        "invalid_country": "BIC does not have a valid country code",
    },
    "credit_card": {
        "invalid_length": "Card number must have 12 to 19 digits",
        "invalid_charset": "Card number may hold only digits",
        "invalid_checksum": "Card number check digit does not match",
    },
    "isbn": {
        "invalid_length": "ISBN must have 10 or 13 digits",
        "invalid_charset": "ISBN may hold X only as the last character of an ISBN-10",
        "invalid_checksum": "ISBN check digit does not match",
        "invalid_prefix": "ISBN-13 must start with 978 or 979",
    },
    "issn": {
        "invalid_charset": "ISSN may hold only digits, and X as its last character",
        "invalid_length": "ISSN must have 8 characters",
        "invalid_checksum": "ISSN check digit does not match",
    },
    "isin": {
        "invalid_charset": "ISIN may hold only letters and digits",
        "invalid_length": "ISIN must have 12 characters",
        "invalid_country": "ISIN does not start with a valid country code",
        "invalid_checksum": "ISIN check digit does not match",
    },
    "lei": {
        "invalid_charset": "LEI may hold only letters and digits",
        "invalid_length": "LEI must have 20 characters",
        "invalid_checksum": "LEI check digits do not match",
    },
    "ean": {
        "invalid_length": "EAN must have 8 or 13 digits",
        "invalid_charset": "EAN may hold only digits",
        "invalid_checksum": "EAN check digit does not match",
    },
    "vat": {
        "invalid_charset": "VAT number is too long",
        "invalid_length": "VAT number is too short",
        "invalid_country": "VAT number does not start with a two-letter country code",
        "invalid_structure": "VAT number does not have the form of its country's numbers",
        "unsupported_country": "VAT number does not start with the code of an EU country or GB",
        "invalid_checksum": "VAT number check digit does not match",
    },
    "email": {
        "invalid_length": "E-mail address or one of its parts is too short or too long",
        "invalid_structure": "E-mail address is not of the form name@example.com",
        "invalid_charset": "E-mail address has a character that is not allowed at its place",
    },
}


def message(kind: str, code: str) -> str:
    """The sentence for `code` given by a validator of `kind`."""
    return MESSAGES[kind][code]
