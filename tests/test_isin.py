"""ISIN: country letters, alphanumerics and Luhn over letters expanded to two digits."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from idgen import ALNUM, DIGITS, LETTERS, different_char, expand_letters, luhn_sum, mutated

US_RESULT = {
    "is_valid": True, "compact": "US0378331005", "formatted": "US0378331005", "error": None, "kind": "isin",
    "country": "US",
}


def check_characters(payload):
    """Every character, digit or letter, that completes the payload to a passing Luhn sum."""
    return [c for c in ALNUM if luhn_sum(expand_letters(payload + c)) % 10 == 0]


def test_full_result_in_key_order():
    r = _cobalis.validate_isin("US0378331005")
    assert r == US_RESULT and list(r) == list(US_RESULT)


@pytest.mark.parametrize(
    "text, compact",
    [
        ("us0378331005", "US0378331005"),
        ("US 0378 3310 05", "US0378331005"),
        ("US-0378.3310\t05", "US0378331005"),
        ("XS0000000009", "XS0000000009"),
        ("AA1234567893", "AA1234567893"),
        ("XS000000000A", "XS000000000A"),  # A expands to 10 in the check position
    ],
)
def test_valid_isins(text, compact):
    assert compact[-1] in check_characters(compact[:-1])  # the arithmetic agrees, independently
    r = _cobalis.validate_isin(text)
    assert (r["is_valid"], r["compact"], r["formatted"], r["country"]) == (True, compact, compact, compact[:2])
    assert _cobalis.is_valid_isin(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("", "invalid_length"),
        ("US037833100", "invalid_length"),
        ("US03783310055", "invalid_length"),
        ("US0378331006", "invalid_checksum"),
        ("US037833100B", "invalid_checksum"),
        ("1S0378331005", "invalid_country"),
        ("U10378331005", "invalid_country"),
        ("1S03783310!5", "invalid_country"),  # country before characters
        ("US03783310!5", "invalid_charset"),
        ("US03783310_5", "invalid_charset"),
        ("US037833100\u00e9", "invalid_length"),  # two bytes
        ("US03783310\u00e9", "invalid_charset"),
        ("A" * 254, "invalid_length"),
        ("A" * 255, "invalid_charset"),  # overflows the buffer
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_isin(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "isin"}
    assert _cobalis.is_valid_isin(text) is False


@st.composite
def isins(draw):
    payload = draw(st.text(alphabet=LETTERS, min_size=2, max_size=2)) + draw(
        st.text(alphabet=ALNUM, min_size=9, max_size=9))
    return payload + draw(st.sampled_from(check_characters(payload)))


@given(isins())
def test_generated_isins_validate_and_round_trip(isin):
    r = _cobalis.validate_isin(isin.lower())
    assert (r["is_valid"], r["compact"], r["country"]) == (True, isin, isin[:2])
    assert _cobalis.validate_isin(r["compact"]) == r
    assert _cobalis.validate_isin(r["formatted"])["compact"] == isin
    # Exactly the check characters found by the arithmetic complete the payload.
    for c in ALNUM:
        assert _cobalis.is_valid_isin(isin[:-1] + c) is (c in check_characters(isin[:-1]))


@given(isins(), st.data())
def test_a_changed_digit_is_caught(isin, data):
    positions = [i for i, c in enumerate(isin) if c in DIGITS]
    if positions:
        i = data.draw(st.sampled_from(positions))
        changed = isin[:i] + different_char(data, isin[i], DIGITS) + isin[i + 1:]
        assert _cobalis.validate_isin(changed)["error"] == "invalid_checksum"


@given(st.one_of(st.text(), isins(), mutated(isins())))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_isin(text) is _cobalis.validate_isin(text)["is_valid"]
