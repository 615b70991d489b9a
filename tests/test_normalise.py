"""The separator-dropping normaliser shared by IBAN, BIC, ISIN, LEI, VAT, cards and EAN.

Each of these kinds judges only the normalised text, so validating the raw input must give the
same answer as validating a normalisation done here in Python, for any mix of separators, case,
digits, punctuation and non-ASCII characters, on both sides of the 254-byte limit.
"""
import _cobalis
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

SEPARATORS = "\t -."
FOLDING = ["iban", "bic", "isin", "lei", "vat"]
NOT_FOLDING = {"credit_card": "invalid_length", "ean": "invalid_length"}
OVERFLOW = {kind: "invalid_charset" for kind in FOLDING} | NOT_FOLDING

pieces = st.text(alphabet="0123456789abcxyzABCXYZ\t -._/é\u00a0€\x00", max_size=300)


def normalised(text, fold):
    kept = "".join(c for c in text if c not in SEPARATORS)
    if fold:
        kept = "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in kept)
    return kept


@pytest.mark.parametrize("kind", sorted(OVERFLOW))
@settings(max_examples=300)
@given(text=pieces)
def test_validating_raw_text_equals_validating_its_normal_form(kind, text):
    validate = getattr(_cobalis, "validate_" + kind)
    compact = normalised(text, kind in FOLDING)
    result = validate(text)
    if len(compact.encode()) > 254:
        assert result["error"] == OVERFLOW[kind]
    else:
        assert result == validate(compact)
    assert getattr(_cobalis, "is_valid_" + kind)(text) is result["is_valid"]


@pytest.mark.parametrize("kind", sorted(OVERFLOW))
@pytest.mark.parametrize("kept", [253, 254, 255, 256, 300])
@pytest.mark.parametrize("gap", ["", " ", "-.", "\t\t\t\t\t\t\t\t\t"])
def test_the_limit_counts_kept_bytes_only(kind, kept, gap):
    text = gap.join("7" * kept)
    error = getattr(_cobalis, "validate_" + kind)(text)["error"]
    if kept > 254:
        assert error == OVERFLOW[kind]
    elif kind in FOLDING:
        assert error != "invalid_charset"
