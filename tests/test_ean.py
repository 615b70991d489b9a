"""EAN-8 and EAN-13 validation and the result dictionary."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from mutations import mutations

DIGITS = "0123456789"


def gs1_check(body):
    """The check digit of `body`: from the right, weights 3, 1, 3, ...; modulus 10."""
    return str(-sum((1 if i % 2 else 3) * int(d) for i, d in enumerate(reversed(body))) % 10)


def eans(length):
    return st.text(DIGITS, min_size=length - 1, max_size=length - 1).map(lambda b: b + gs1_check(b))


ean8s, ean13s = eans(8), eans(13)


def test_valid_ean13_result_in_key_order():
    result = _cobalis.validate_ean("400-6381-33393-1")
    expected = {
        "is_valid": True, "compact": "4006381333931", "formatted": "4006381333931", "error": None, "kind": "ean",
        "ean_type": "ean13", "country_prefix": "400",
    }
    assert result == expected and list(result) == list(expected)


@pytest.mark.parametrize(
    "text, compact, ean_type, country_prefix",
    [
        ("4006381333931", "4006381333931", "ean13", "400"),
        ("5901234123457", "5901234123457", "ean13", "590"),
        ("0012345678905", "0012345678905", "ean13", "001"),
        ("978-0-306-40615-7", "9780306406157", "ean13", "978"),
        ("73513537", "73513537", "ean8", ""),
        ("7351-3537", "73513537", "ean8", ""),
        ("96385074", "96385074", "ean8", ""),
    ],
)
def test_valid(text, compact, ean_type, country_prefix):
    r = _cobalis.validate_ean(text)
    assert (r["is_valid"], r["compact"], r["formatted"]) == (True, compact, compact)
    assert (r["ean_type"], r["country_prefix"]) == (ean_type, country_prefix)
    assert _cobalis.is_valid_ean(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("4006381333932", "invalid_checksum"),
        ("73513536", "invalid_checksum"),
        ("400638133393A", "invalid_charset"),
        ("40063813339é", "invalid_charset"),  # two bytes make thirteen
        ("4006381333931é", "invalid_length"),
        ("400638133393", "invalid_length"),
        ("40063813339310", "invalid_length"),
        ("7351353", "invalid_length"),
        ("ABCDEFGHIJ", "invalid_length"),
        ("", "invalid_length"),
        ("4006381333931\n", "invalid_length"),
        ("0" * 255, "invalid_length"),
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_ean(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "ean"}
    assert _cobalis.is_valid_ean(text) is False


@given(st.one_of(ean8s, ean13s))
def test_generated_eans_validate_and_round_trip(ean):
    r = _cobalis.validate_ean(ean)
    assert (r["is_valid"], r["compact"]) == (True, ean)
    assert (r["ean_type"], r["country_prefix"]) == (("ean13", ean[:3]) if len(ean) == 13 else ("ean8", ""))
    assert _cobalis.validate_ean(r["compact"]) == r
    assert _cobalis.validate_ean(r["formatted"]) == r
    assert _cobalis.validate_ean(" ".join(ean)) == r


@given(st.one_of(
    st.text(),
    st.text("0123456789 -.", max_size=16),
    mutations(st.one_of(ean8s, ean13s), "0123456789-.a"),
))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_ean(text) is _cobalis.validate_ean(text)["is_valid"]
