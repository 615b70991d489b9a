# Checked with `mypy --strict` by tests/test_typing.py: every function of the
# package and every key of its results, with the types a caller relies on.
# It also runs as a plain script once every function exists.
from typing import Literal, assert_type

import _cobalis
import cobalis
from cobalis import strict
from cobalis import (
    BicResult,
    CardBrand,
    CountryRecord,
    CurrencyRecord,
    EanType,
    IbanResult,
    IsbnType,
    LeiResult,
    StrictIbanResult,
    StrictVatResult,
    VatRateRecord,
    damm_validate,
    get_country,
    get_country_by_alpha3,
    get_currency,
    get_vat_rate,
    is_valid_bic,
    is_valid_credit_card,
    is_valid_ean,
    is_valid_email,
    is_valid_iban,
    is_valid_isbn,
    is_valid_isin,
    is_valid_issn,
    is_valid_lei,
    is_valid_vat,
    luhn_generate,
    luhn_validate,
    validate_bic,
    validate_credit_card,
    validate_ean,
    validate_email,
    validate_iban,
    validate_isbn,
    validate_isin,
    validate_issn,
    validate_lei,
    validate_vat,
    verhoeff_validate,
)

version: str = cobalis.__version__
names: list[str] = cobalis.__all__

flags: list[bool] = [
    is_valid_iban("GB82 WEST 1234 5698 7654 32"),
    is_valid_bic("ABCDGB2L"),
    is_valid_credit_card("4111 1111 1111 1111"),
    is_valid_isbn("0-306-40615-2"),
    is_valid_issn("0378-5955"),
    is_valid_isin("US0378331005"),
    is_valid_lei("ABCD00EFGHIJ12345615"),
    is_valid_ean("4006381333931"),
    is_valid_vat("DE123456789"),
    is_valid_email("info@example.com"),
    luhn_validate("79927398713"),
    verhoeff_validate("2363"),
    damm_validate("5724"),
]
assert all(flags)
digit: int = luhn_generate("7992739871")
assert digit == 3


def describe(result: IbanResult) -> str:
    """Reads the detail keys only after the validity check, as callers should."""
    if not result["is_valid"]:
        return f"invalid: {result['error']}"
    return f"{result['country']} {result['check_digits']} +{result['bban_length'] + 4}"


iban = validate_iban("GB82 WEST 1234 5698 7654 32")
assert_type(iban, IbanResult)
assert_type(iban["is_valid"], bool)
assert_type(iban["compact"], str)
assert_type(iban["formatted"], str)
assert_type(iban["kind"], Literal["iban"])
assert_type(iban["bban_length"], int)
iban_error: (
    Literal[
        "invalid_charset",
        "invalid_length",
        "invalid_country",
        "invalid_structure",
        "unsupported_country",
        "invalid_checksum",
    ]
    | None
) = iban["error"]
assert describe(iban) == "GB 82 +22"

bic: BicResult = validate_bic("ABCDGB2L")
bic_parts: list[str] = [bic["bank_code"], bic["country"], bic["location"]]
branch: str | None = bic["branch"]
if bic["error"] == "invalid_country":  # a code the BIC validator can give
    pass

card = validate_credit_card("4111 1111 1111 1111")
brand: CardBrand = card["brand"]
card_kind: Literal["credit_card"] = card["kind"]

isbn = validate_isbn("0-306-40615-2")
isbn_type: IsbnType = isbn["isbn_type"]
isbn10: str | None = isbn["isbn10"]
isbn13: str | None = isbn["isbn13"]
if isbn["error"] == "invalid_prefix":
    pass

issn = validate_issn("0378-5955")
issn_error: Literal["invalid_charset", "invalid_length", "invalid_checksum"] | None = issn["error"]

isin = validate_isin("US0378331005")
isin_country: str = isin["country"]

lei = validate_lei("ABCD00EFGHIJ12345615")
lou: str = lei["lou_prefix"]

ean = validate_ean("4006381333931")
ean_type: EanType = ean["ean_type"]
prefix: str = ean["country_prefix"]

vat = validate_vat("DE123456789")
vat_country: str = vat["country"]
if vat["error"] == "unsupported_country":
    pass

email = validate_email("info@example.com")
lengths: int = email["local_length"] + email["domain_length"]

country: CountryRecord | None = get_country("stub")
if country is not None:
    numeric: int = country["numeric"]
    official: str | None = country["official_name"]
    common: str | None = country["common_name"]
    member: bool = country["eu_member"]
    iban_length: int | None = country["iban_length"]
    texts: list[str] = [
        country["alpha2"], country["alpha3"], country["name"], country["flag"],
        country["currency"], country["calling_code"], country["tld"],
    ]
by_alpha3: CountryRecord | None = get_country_by_alpha3("stub")

currency: CurrencyRecord | None = get_currency("EUR")
if currency is not None:
    decimals: int = currency["decimals"] + currency["numeric"]
    countries: list[str] = currency["countries"]
    currency_texts: list[str] = [currency["code"], currency["name"], currency["symbol"]]

rate: VatRateRecord | None = get_vat_rate("DE")
if rate is not None:
    standard: float = rate["standard_rate"]
    reduced: list[float] = rate["reduced_rates"]

# The extension module itself carries the same types.
assert_type(_cobalis.validate_iban("x"), IbanResult)
assert_type(_cobalis.get_currency("EUR"), CurrencyRecord | None)
assert _cobalis.validate_bic is cobalis.validate_bic

# Strict validation: the same shapes; a VAT number can fail its national check digit.
strict_vat = strict.validate_vat("DE 136 695 976")
assert_type(strict_vat, StrictVatResult)
if strict_vat["error"] == "invalid_checksum":
    pass
strict_flags: list[bool] = [strict.is_valid_iban("GB82 WEST 1234 5698 7654 32"), strict.is_valid_bic("DEUTDEFF"),
                            strict.is_valid_isin("US0378331005"), strict.is_valid_vat("DE 136 695 976")]
assert all(strict_flags)
strict_iban = strict.validate_iban("GB82 WEST 1234 5698 7654 32")
assert_type(strict_iban, StrictIbanResult)
if strict_iban["is_valid"]:
    iban_bank: str = strict_iban["bank_code"]
    iban_branch: str | None = strict_iban["branch_code"]
assert_type(strict.validate_lei("x"), LeiResult)
strict_column: list[bool | None] = cobalis.is_valid("vat", ["DE 136 695 976", None], strict=True)

# Identifiers as pydantic fields: each type is a str to a type checker, and
# combines with Field through Annotated.
from typing import Annotated  # noqa: E402

from pydantic import BaseModel, Field, TypeAdapter  # noqa: E402

from cobalis.pydantic import IBAN, Email, Formatted, Identifier, NationalVAT  # noqa: E402


class Invoice(BaseModel):
    iban: IBAN
    vat: NationalVAT
    email: Annotated[Email, Field(description="Where the invoice goes")]
    payer_iban: Annotated[IBAN, Formatted()] | None = None
    lei: Annotated[str, Identifier("lei")] = "0YPKKE5F0QW6RC51HE09"


invoice = Invoice(iban="gb82 west 1234 5698 7654 32", vat="DE 136 695 976", email="info@example.com")
assert_type(invoice.iban, str)
held: str = invoice.vat + invoice.email + invoice.lei
payer: str | None = invoice.payer_iban
assert invoice.iban == "GB82WEST12345698765432" and invoice.vat == "DE136695976"
assert TypeAdapter(IBAN).validate_python("GB82 WEST 1234 5698 7654 32") == invoice.iban

explained: cobalis.Explanation = cobalis.explain("iban", "GB83 WEST 1234 5698 7654 32", strict=True)
blamed: int | None = explained["position"]
assert_type(explained["expected"], str | None)
repairs: list[str] = cobalis.suggest("isbn", "0-306-40615-3", limit=3)
