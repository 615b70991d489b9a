"""IBAN validation and its result dictionary."""
import random

import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st

GB = "GB82 WEST 1234 5698 7654 32"
GB_RESULT = {
    "is_valid": True, "compact": "GB82WEST12345698765432", "formatted": "GB82 WEST 1234 5698 7654 32",
    "error": None, "kind": "iban", "country": "GB", "check_digits": "82", "bban_length": 18,
}

# The IBAN registry's 89 countries with their lengths.
IBAN_LENGTHS = {
    "AD": 24, "AE": 23, "AL": 28, "AT": 20, "AZ": 28, "BA": 20, "BE": 16, "BG": 22, "BH": 22, "BI": 27,
    "BR": 29, "BY": 28, "CH": 21, "CR": 22, "CY": 28, "CZ": 24, "DE": 22, "DJ": 27, "DK": 18, "DO": 28,
    "EE": 20, "EG": 29, "ES": 24, "FI": 18, "FK": 18, "FO": 18, "FR": 27, "GB": 22, "GE": 22, "GI": 23,
    "GL": 18, "GR": 27, "GT": 28, "HN": 28, "HR": 21, "HU": 28, "IE": 22, "IL": 23, "IQ": 23, "IS": 26,
    "IT": 27, "JO": 30, "KW": 30, "KZ": 20, "LB": 28, "LC": 32, "LI": 21, "LT": 20, "LU": 20, "LV": 21,
    "LY": 25, "MC": 27, "MD": 24, "ME": 22, "MK": 19, "MN": 20, "MR": 27, "MT": 31, "MU": 30, "NI": 28,
    "NL": 18, "NO": 15, "OM": 23, "PK": 24, "PL": 28, "PS": 29, "PT": 25, "QA": 29, "RO": 24, "RS": 22,
    "RU": 33, "SA": 24, "SC": 31, "SD": 18, "SE": 24, "SI": 19, "SK": 24, "SM": 27, "SO": 23, "ST": 25,
    "SV": 28, "TL": 23, "TN": 24, "TR": 26, "UA": 29, "VA": 22, "VG": 24, "XK": 20, "YE": 30,
}


def mod97(text):
    """The remainder of an IBAN rearranged, by Python's own big integers."""
    rearranged = text[4:] + text[:4]
    return int("".join(str(int(c, 36)) for c in rearranged)) % 97


def with_check_digits(country, bban):
    check = 98 - mod97(country + "00" + bban)
    return f"{country}{check:02d}{bban}"


@pytest.mark.parametrize(
    "text",
    [GB, "gb82west12345698765432", "GB82-WEST-1234-5698-7654-32", "GB82.WEST.1234.5698.7654.32",
     "GB82\tWEST 1234 5698 7654 32", "  GB82WEST12345698765432  "],
)
def test_valid_gb_iban_in_every_spelling(text):
    result = _cobalis.validate_iban(text)
    assert result == GB_RESULT
    assert list(result) == list(GB_RESULT)
    assert _cobalis.is_valid_iban(text) is True


def test_norwegian_iban_has_a_short_last_group():
    r = _cobalis.validate_iban("NO93 8601 1117 947")
    assert (r["is_valid"], r["formatted"], r["bban_length"]) == (True, "NO93 8601 1117 947", 11)


@pytest.mark.parametrize(
    "text, error",
    [
        ("GB82 WEST 1234 5698 7654 33", "invalid_checksum"),
        ("GB82_WEST12345698765432", "invalid_length"),
        ("GB82WEST12345698765432_", "invalid_length"),
        ("GB82WEST1234569876543!", "invalid_charset"),
        ("GB82WEST1234569876543\u00e9", "invalid_length"),  # two bytes
        ("GB82WEST123456987654\u00e9", "invalid_charset"),  # two bytes, right length
        ("XX82WEST12345698765432", "unsupported_country"),
        ("1B82WEST12345698765432", "invalid_country"),
        ("G182WEST12345698765432", "invalid_country"),
        ("GBA2WEST12345698765432", "invalid_structure"),
        ("", "invalid_length"),
        ("GB82", "invalid_length"),
        ("G B 8 2", "invalid_length"),
        ("GB82\u00a0WEST\u00a01234\u00a05698\u00a07654\u00a032", "invalid_length"),
        ("A" * 300, "invalid_charset"),
        ("GB82" + " " * 1000 + "WEST12345698765432", None),
    ],
)
def test_rejections(text, error):
    result = _cobalis.validate_iban(text)
    assert result["error"] == error
    if error is not None:
        assert result == {"is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "iban"}
    assert _cobalis.is_valid_iban(text) is (error is None)


def test_254_kept_bytes_fit_and_the_255th_overflows():
    assert _cobalis.validate_iban("GB" + "1" * 252)["error"] == "invalid_length"
    assert _cobalis.validate_iban("GB" + "1" * 253)["error"] == "invalid_charset"


def test_every_country_of_the_table_with_its_length():
    rng = random.Random(97)
    alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    for country, length in IBAN_LENGTHS.items():
        bban = "".join(rng.choice(alphabet) for _ in range(length - 4))
        iban = with_check_digits(country, bban)
        assert _cobalis.validate_iban(iban)["bban_length"] == length - 4
        assert _cobalis.validate_iban(iban + "0")["error"] == "invalid_length"
        assert _cobalis.validate_iban(iban[:-1])["error"] == "invalid_length"


@st.composite
def ibans(draw):
    country = draw(st.sampled_from(sorted(IBAN_LENGTHS)))
    bban = draw(st.text(alphabet="0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", min_size=IBAN_LENGTHS[country] - 4,
                        max_size=IBAN_LENGTHS[country] - 4))
    return with_check_digits(country, bban)


@given(ibans())
def test_generated_ibans_validate_and_round_trip(iban):
    r = _cobalis.validate_iban(iban.lower())
    assert r["is_valid"] and r["compact"] == iban
    assert _cobalis.validate_iban(r["compact"]) == r
    assert _cobalis.validate_iban(r["formatted"]) == r
    assert r["formatted"].replace(" ", "") == iban
    assert all(len(g) == 4 for g in r["formatted"].split(" ")[:-1])


@given(ibans(), st.data())
def test_a_changed_character_is_caught(iban, data):
    i = data.draw(st.integers(4, len(iban) - 1))
    replacement = data.draw(st.sampled_from("0123456789").filter(lambda c: c != iban[i]))
    changed = iban[:i] + replacement + iban[i + 1:]
    assert _cobalis.is_valid_iban(changed) is (mod97(changed) == 1)


@given(st.one_of(st.text(), ibans(), ibans().map(lambda s: s[:-1] + "\u00e9")))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_iban(text) is _cobalis.validate_iban(text)["is_valid"]
