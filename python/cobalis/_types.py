"""Dictionary shapes of the results, for type checkers and for annotations.

Every ``validate_*`` function answers a flat ``dict`` whose first five keys are
common to all kinds; a valid result adds the detail keys of its kind after
them, an invalid result stops after ``kind``. The detail keys are therefore
``NotRequired``: read them after checking ``is_valid``. Each kind's ``error``
is narrowed to the codes that kind can actually produce.

The classes are ordinary ``TypedDict`` types: at run time they are plain
``dict`` and cost nothing; the functions never build instances of them.
"""

from typing import Generic, Literal, NotRequired, TypedDict, TypeVar

__all__ = [
    "ErrorCode",
    "Kind",
    "CardBrand",
    "IsbnType",
    "EanType",
    "IbanError",
    "BicError",
    "CreditCardError",
    "IsbnError",
    "IssnError",
    "IsinError",
    "LeiError",
    "EanError",
    "VatError",
    "StrictVatError",
    "EmailError",
    "ValidationResult",
    "IbanResult",
    "StrictIbanResult",
    "BicResult",
    "CreditCardResult",
    "IsbnResult",
    "IssnResult",
    "IsinResult",
    "LeiResult",
    "EanResult",
    "VatResult",
    "StrictVatResult",
    "EmailResult",
    "CountryRecord",
    "CurrencyRecord",
    "VatRateRecord",
]

ErrorCode = Literal[
    "invalid_length",
    "invalid_charset",
    "invalid_prefix",
    "invalid_checksum",
    "invalid_structure",
    "invalid_country",
    "unsupported_country",
    "unsupported_format",
    "unknown_format",
]
Kind = Literal["iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email"]
CardBrand = Literal["visa", "mastercard", "amex", "discover", "diners_club", "jcb", "unionpay", "unknown"]
IsbnType = Literal["isbn10", "isbn13"]
EanType = Literal["ean8", "ean13"]

# The codes each validator can give, in the order its checks run.
IbanError = Literal[
    "invalid_charset",
    "invalid_length",
    "invalid_country",
    "invalid_structure",
    "unsupported_country",
    "invalid_checksum",
]
BicError = Literal["invalid_charset", "invalid_length", "invalid_country"]
CreditCardError = Literal["invalid_length", "invalid_charset", "invalid_checksum"]
IsbnError = Literal["invalid_length", "invalid_charset", "invalid_checksum", "invalid_prefix"]
IssnError = Literal["invalid_charset", "invalid_length", "invalid_checksum"]
IsinError = Literal["invalid_charset", "invalid_length", "invalid_country", "invalid_checksum"]
# Characters 5 and 6 are ordinary alphanumerics, so no structure error.
LeiError = Literal["invalid_charset", "invalid_length", "invalid_checksum"]
EanError = Literal["invalid_length", "invalid_charset", "invalid_checksum"]
VatError = Literal["invalid_charset", "invalid_length", "invalid_country", "invalid_structure", "unsupported_country"]
EmailError = Literal["invalid_length", "invalid_structure", "invalid_charset"]
# Strict validation checks a VAT number's national check digit too. (Its other
# kinds give codes their plain results already name: a BBAN layout is
# "invalid_structure", a national IBAN check or alias check digits
# "invalid_checksum", an unknown BIC or ISIN country "invalid_country", a letter
# as an ISIN's check character or among a LEI's check digits "invalid_charset".)
StrictVatError = Literal[VatError, "invalid_checksum"]

_K = TypeVar("_K", bound=str)
_E = TypeVar("_E", bound=str)


class ValidationResult(TypedDict, Generic[_K, _E]):
    """The five keys every result starts with, in this order."""

    is_valid: bool
    compact: str  # "" for an invalid result
    formatted: str  # "" for an invalid result
    error: _E | None  # None exactly when is_valid is True
    kind: _K


class IbanResult(ValidationResult[Literal["iban"], IbanError]):
    country: NotRequired[str]
    check_digits: NotRequired[str]
    bban_length: NotRequired[int]


class StrictIbanResult(ValidationResult[Literal["iban"], IbanError]):
    country: NotRequired[str]
    check_digits: NotRequired[str]  # 02 to 98: strict refuses 00, 01 and 99
    bban_length: NotRequired[int]
    bank_code: NotRequired[str]  # the BBAN's bank identifier, at the IBAN registry's places
    branch_code: NotRequired[str | None]  # None where the registry defines no branch identifier


class BicResult(ValidationResult[Literal["bic"], BicError]):
    bank_code: NotRequired[str]
    country: NotRequired[str]
    location: NotRequired[str]
    branch: NotRequired[str | None]  # None for an 8-character code


class CreditCardResult(ValidationResult[Literal["credit_card"], CreditCardError]):
    brand: NotRequired[CardBrand]


class IsbnResult(ValidationResult[Literal["isbn"], IsbnError]):
    isbn_type: NotRequired[IsbnType]
    isbn10: NotRequired[str | None]  # None for a 979 ISBN-13
    isbn13: NotRequired[str | None]


class IssnResult(ValidationResult[Literal["issn"], IssnError]):
    pass


class IsinResult(ValidationResult[Literal["isin"], IsinError]):
    country: NotRequired[str]


class LeiResult(ValidationResult[Literal["lei"], LeiError]):
    lou_prefix: NotRequired[str]


class EanResult(ValidationResult[Literal["ean"], EanError]):
    ean_type: NotRequired[EanType]
    country_prefix: NotRequired[str]  # "" for an EAN-8


class VatResult(ValidationResult[Literal["vat"], VatError]):
    country: NotRequired[str]  # "GR" for an "EL" number


class StrictVatResult(ValidationResult[Literal["vat"], StrictVatError]):
    country: NotRequired[str]  # "GR" for an "EL" number


class EmailResult(ValidationResult[Literal["email"], EmailError]):
    local_length: NotRequired[int]
    domain_length: NotRequired[int]


class CountryRecord(TypedDict):
    alpha2: str
    alpha3: str
    numeric: int
    name: str
    official_name: str | None
    common_name: str | None
    flag: str
    currency: str
    calling_code: str
    tld: str
    eu_member: bool
    iban_length: int | None


class CurrencyRecord(TypedDict):
    code: str
    numeric: int
    name: str
    symbol: str
    decimals: int
    countries: list[str]


class VatRateRecord(TypedDict):
    country: str
    standard_rate: float
    reduced_rates: list[float]
