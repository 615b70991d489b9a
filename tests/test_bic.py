"""BIC structure: bank code, country, location and optional branch."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from idgen import ALNUM, LETTERS, mutated

SHORT_RESULT = {
    "is_valid": True, "compact": "ABCDGB2L", "formatted": "ABCDGB2L", "error": None, "kind": "bic",
    "bank_code": "ABCD", "country": "GB", "location": "2L", "branch": None,
}


def test_full_results_in_key_order():
    r = _cobalis.validate_bic("ABCDGB2L")
    assert r == SHORT_RESULT and list(r) == list(SHORT_RESULT)
    r = _cobalis.validate_bic("abcd gb 2l 123")
    assert r == {**SHORT_RESULT, "compact": "ABCDGB2L123", "formatted": "ABCDGB2L123", "branch": "123"}
    assert list(r) == list(SHORT_RESULT)


@pytest.mark.parametrize(
    "text, compact, branch",
    [
        ("ABCDGB2LXXX", "ABCDGB2LXXX", "XXX"),
        ("ABCDXX2L", "ABCDXX2L", None),  # the country is not looked up
        ("ABCD-GB-2L-ABC", "ABCDGB2LABC", "ABC"),
        ("ab.cd\tgb2l", "ABCDGB2L", None),
        ("ABCDGB99", "ABCDGB99", None),
    ],
)
def test_valid_codes(text, compact, branch):
    r = _cobalis.validate_bic(text)
    assert (r["is_valid"], r["compact"], r["formatted"], r["branch"]) == (True, compact, compact, branch)
    assert _cobalis.is_valid_bic(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("", "invalid_length"),
        ("ABCDGB2", "invalid_length"),
        ("ABCDGB2L1", "invalid_length"),
        ("ABCDGB2L12", "invalid_length"),
        ("ABCDGB2L1234", "invalid_length"),
        ("AB1DGB2L", "invalid_charset"),
        ("AB1D1B2L", "invalid_charset"),  # bank code before country
        ("ABCD1B2L", "invalid_country"),
        ("ABCDG!!L", "invalid_country"),  # country before location
        ("ABCDGB!L", "invalid_charset"),
        ("ABCDGB2L12!", "invalid_charset"),
        ("ABCDGB2L_12", "invalid_charset"),
        ("ABCD\u00e92L", "invalid_country"),  # one two-byte character in the country
        ("ABCDGB2L\u00a0X", "invalid_charset"),  # 11 bytes with a two-byte space in the branch
        ("A" * 254, "invalid_length"),
        ("A" * 255, "invalid_charset"),  # overflows the buffer
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_bic(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "bic"}
    assert _cobalis.is_valid_bic(text) is False


def chars(alphabet, n):
    return st.text(alphabet=alphabet, min_size=n, max_size=n)


bics = st.tuples(chars(LETTERS, 4), chars(LETTERS, 2), chars(ALNUM, 2), st.just("") | chars(ALNUM, 3)).map("".join)


@given(bics)
def test_generated_codes_validate_and_round_trip(bic):
    r = _cobalis.validate_bic(" ".join([bic[:4], bic[4:6].lower(), bic[6:]]))
    assert r["is_valid"] and r["compact"] == bic
    assert (r["bank_code"], r["country"], r["location"]) == (bic[:4], bic[4:6], bic[6:8])
    assert r["branch"] == (bic[8:] or None)
    assert _cobalis.validate_bic(r["compact"]) == r
    assert _cobalis.validate_bic(r["formatted"])["compact"] == bic


@given(st.one_of(st.text(), bics, mutated(bics)))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_bic(text) is _cobalis.validate_bic(text)["is_valid"]
