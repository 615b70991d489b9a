"""Identifiers as pydantic field types (pydantic 2.6 or later: ``pip install "cobalis[pydantic]"``).

Annotate a field with the kind it holds; the model keeps the compact form:

    >>> from pydantic import BaseModel
    >>> from cobalis.pydantic import IBAN
    >>> class Payment(BaseModel):
    ...     iban: IBAN
    >>> Payment(iban="gb82 west 1234 5698 7654 32").iban
    'GB82WEST12345698765432'

The types, one per kind: ``IBAN``, ``BIC``, ``CreditCard``, ``ISBN``, ``ISSN``,
``ISIN``, ``LEI``, ``EAN``, ``VAT`` and ``Email``; and ``NationalIBAN``,
``NationalBIC``, ``NationalISIN``, ``NationalLEI`` and ``NationalVAT``, which
check the stricter rules too (national ones, and the standards' letter), as
``cobalis.strict`` does. (That is not
pydantic's strict mode, which only refuses to coerce input to ``str``: every
type here takes exactly what ``str`` takes, in either mode.) Each is
``Annotated[str, Identifier(kind)]``: ``Identifier`` is the marker to write by
hand, and ``Annotated[IBAN, Field(...)]`` combines with pydantic's own.

An invalid value is a ``ValidationError`` whose error type is the kind and the
code (``"iban_invalid_checksum"``), with a sentence for a person as its message
and ``{"kind": ..., "code": ...}`` as its context. ``Annotated[IBAN, Formatted()]``
keeps the compact form in the model but writes the display form when the model
is dumped.
"""

from __future__ import annotations

import functools
from typing import Annotated, Any, Final, TypeAlias

import _cobalis_batch
import _cobalis_strict
from pydantic import GetCoreSchemaHandler, GetJsonSchemaHandler
from pydantic.json_schema import JsonSchemaValue
from pydantic_core import PydanticCustomError, core_schema

from cobalis._messages import message
from cobalis._types import Kind

__all__ = [
    "Identifier",
    "Formatted",
    "KINDS",
    "NATIONAL_KINDS",
    "IBAN",
    "BIC",
    "CreditCard",
    "ISBN",
    "ISSN",
    "ISIN",
    "LEI",
    "EAN",
    "VAT",
    "Email",
    "NationalIBAN",
    "NationalBIC",
    "NationalISIN",
    "NationalLEI",
    "NationalVAT",
]

# The kinds, and those with national rules, as the extensions define them.
KINDS: Final[tuple[str, ...]] = _cobalis_batch.VALIDATE_KINDS
NATIONAL_KINDS: Final[tuple[str, ...]] = tuple(
    kind for kind in KINDS if f"validate_{kind}" in _cobalis_strict.__all__
)

# What each kind is, for the JSON Schema (and so for an API's documentation),
# with an input it takes.
ABOUT: Final[dict[str, tuple[str, str]]] = {
    "iban": ("An IBAN (international bank account number)", "GB82 WEST 1234 5698 7654 32"),
    "bic": ("A BIC (SWIFT code) of 8 or 11 characters", "DEUTDEFF"),
    "credit_card": ("A payment card number", "3782 822463 10005"),
    "isbn": ("An ISBN-10 or ISBN-13", "978-0-306-40615-7"),
    "issn": ("An ISSN", "0378-5955"),
    "isin": ("An ISIN (international securities identification number)", "US0378331005"),
    "lei": ("An LEI (legal entity identifier)", "0YPKKE5F0QW6RC51HE09"),
    "ean": ("An EAN-8 or EAN-13 (GTIN) product number", "4006381333931"),
    "vat": ("A VAT number of an EU country or GB, with its country prefix", "DE 136 695 976"),
    "email": ("An e-mail address of ASCII characters", "info@example.com"),
}
_TAKES = "; spaces and hyphens may separate its characters, and the compact form is kept"
_NATIONAL = ", with its country's national rules checked too"


def _invalid(kind: str, code: str) -> PydanticCustomError:
    """The error a validator raises for `kind` failing with `code`."""
    return PydanticCustomError(f"{kind}_{code}", message(kind, code), {"kind": kind, "code": code})


@functools.cache
def _validator(kind: str, national_rules: bool) -> _cobalis_batch.Compact:
    """The core's validator of `kind`, made once: a str in, its compact form out, or _invalid raised."""
    return _cobalis_batch.Compact(kind, _invalid, strict=national_rules)


class Identifier:
    """Marks a ``str`` field as an identifier of `kind`: ``Annotated[str, Identifier("iban")]``.

    The field takes what ``str`` takes and holds the compact form of a valid
    identifier. With ``national_rules=True`` the kind's national rules are
    checked too, as ``cobalis.strict`` does.
    """

    __slots__ = ("kind", "national_rules")

    def __init__(self, kind: Kind, *, national_rules: bool = False) -> None:
        if kind not in KINDS:
            raise ValueError(f"Identifier: unknown kind {kind!r}; kinds: {', '.join(KINDS)}")
        self.kind: Final = kind
        self.national_rules: Final = national_rules

    def __repr__(self) -> str:
        national = ", national_rules=True" if self.national_rules else ""
        return f"Identifier({self.kind!r}{national})"

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Identifier):
            return NotImplemented
        return (self.kind, self.national_rules) == (other.kind, other.national_rules)

    def __hash__(self) -> int:
        return hash((Identifier, self.kind, self.national_rules))

    def __get_pydantic_core_schema__(self, source: Any, handler: GetCoreSchemaHandler) -> core_schema.CoreSchema:
        # pydantic's own str validation first (types, strict and JSON modes,
        # str_* settings), then the core on the str it answers.
        return core_schema.no_info_after_validator_function(
            _validator(self.kind, self.national_rules).compact,
            handler(source),
            metadata={"cobalis_identifier": self},
        )

    def __get_pydantic_json_schema__(
        self, schema: core_schema.CoreSchema, handler: GetJsonSchemaHandler
    ) -> JsonSchemaValue:
        json_schema = handler(schema)
        about, example = ABOUT[self.kind]
        more = _NATIONAL if self.national_rules else ""
        takes = _TAKES if self.kind != "email" else ""
        json_schema.update(format=self.kind, description=f"{about}{more}{takes}.", examples=[example])
        return json_schema


class Formatted:
    """Dumps an identifier field in its display form: ``Annotated[IBAN, Formatted()]``.

    The model still holds the compact form; ``model_dump()`` and
    ``model_dump_json()`` write the form ``validate_<kind>(...)["formatted"]``
    gives (``"GB82 WEST 1234 5698 7654 32"``).
    """

    __slots__ = ()

    def __repr__(self) -> str:
        return "Formatted()"

    def __get_pydantic_core_schema__(self, source: Any, handler: GetCoreSchemaHandler) -> core_schema.CoreSchema:
        schema = handler(source)
        identifier = schema.get("metadata", {}).get("cobalis_identifier")
        if not isinstance(identifier, Identifier):
            raise TypeError("Formatted() follows an identifier type, as in Annotated[IBAN, Formatted()]")
        validator = _validator(identifier.kind, identifier.national_rules)
        serialization = core_schema.plain_serializer_function_ser_schema(
            validator.formatted, return_schema=core_schema.str_schema()
        )
        return {**schema, "serialization": serialization}


# The types, one per kind, then those of the kinds with national rules.
IBAN: TypeAlias = Annotated[str, Identifier("iban")]
BIC: TypeAlias = Annotated[str, Identifier("bic")]
CreditCard: TypeAlias = Annotated[str, Identifier("credit_card")]
ISBN: TypeAlias = Annotated[str, Identifier("isbn")]
ISSN: TypeAlias = Annotated[str, Identifier("issn")]
ISIN: TypeAlias = Annotated[str, Identifier("isin")]
LEI: TypeAlias = Annotated[str, Identifier("lei")]
EAN: TypeAlias = Annotated[str, Identifier("ean")]
VAT: TypeAlias = Annotated[str, Identifier("vat")]
Email: TypeAlias = Annotated[str, Identifier("email")]

NationalIBAN: TypeAlias = Annotated[str, Identifier("iban", national_rules=True)]
NationalBIC: TypeAlias = Annotated[str, Identifier("bic", national_rules=True)]
NationalISIN: TypeAlias = Annotated[str, Identifier("isin", national_rules=True)]
NationalLEI: TypeAlias = Annotated[str, Identifier("lei", national_rules=True)]
NationalVAT: TypeAlias = Annotated[str, Identifier("vat", national_rules=True)]

