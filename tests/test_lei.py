"""LEI: twenty alphanumerics with MOD 97-10 check digits at the end."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from idgen import ALNUM, DIGITS, LETTERS, different_char, mod97, mutated

RESULT = {
    "is_valid": True, "compact": "ABCD00EFGHIJ12345615", "formatted": "ABCD00EFGHIJ12345615", "error": None,
    "kind": "lei", "lou_prefix": "ABCD",
}


def with_check_digits(body):
    return f"{body}{98 - mod97(body + '00'):02d}"


def test_full_result_in_key_order():
    r = _cobalis.validate_lei("ABCD00EFGHIJ12345615")
    assert r == RESULT and list(r) == list(RESULT)


@pytest.mark.parametrize(
    "text, compact",
    [
        ("abcd00efghij12345615", "ABCD00EFGHIJ12345615"),
        ("ABCD 00EF GHIJ 1234 5615", "ABCD00EFGHIJ12345615"),
        # Issued under the current layout: characters 5 and 6 are the entity's own, not "00".
        ("0YPKKE5F0QW6RC51HE09", "0YPKKE5F0QW6RC51HE09"),
        (with_check_digits("ABCD01EFGHIJ123456"), with_check_digits("ABCD01EFGHIJ123456")),
    ],
)
def test_valid_leis(text, compact):
    assert mod97(compact) == 1  # the arithmetic agrees, independently
    r = _cobalis.validate_lei(text)
    assert (r["is_valid"], r["compact"], r["formatted"], r["lou_prefix"]) == (True, compact, compact, compact[:4])
    assert _cobalis.is_valid_lei(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("", "invalid_length"),
        ("ABCD00EFGHIJ123456", "invalid_length"),
        ("ABCD00EFGHIJ1234561500", "invalid_length"),
        ("ABCD00EFGHIJ12345610", "invalid_checksum"),
        ("ABCD01EFGHIJ12345688", "invalid_checksum"),  # judged by its check digits alone
        ("ABCD00EFGHIJ1234560!", "invalid_charset"),
        ("ABCD01EFGHIJ1234560!", "invalid_charset"),
        ("ABCD00EFGHIJ_2345615", "invalid_charset"),
        ("ABCD00EFGHIJ1234561\u00e9", "invalid_length"),  # two bytes
        ("A" * 254, "invalid_length"),
        ("A" * 255, "invalid_charset"),  # overflows the buffer
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_lei(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "lei"}
    assert _cobalis.is_valid_lei(text) is False


leis = st.text(alphabet=ALNUM, min_size=18, max_size=18).map(with_check_digits)


@given(leis)
def test_generated_leis_validate_and_round_trip(lei):
    r = _cobalis.validate_lei(lei.lower())
    assert (r["is_valid"], r["compact"], r["lou_prefix"]) == (True, lei, lei[:4])
    assert _cobalis.validate_lei(r["compact"]) == r
    assert _cobalis.validate_lei(r["formatted"])["compact"] == lei
    assert _cobalis.validate_lei(" ".join(lei[i:i + 4] for i in range(0, 20, 4)))["compact"] == lei


@given(leis, st.data())
def test_a_changed_character_of_the_same_class_is_caught(lei, data):
    i = data.draw(st.integers(0, 19))
    alphabet = DIGITS if lei[i] in DIGITS else LETTERS
    changed = lei[:i] + different_char(data, lei[i], alphabet) + lei[i + 1:]
    assert _cobalis.validate_lei(changed)["error"] == "invalid_checksum"


@given(st.one_of(st.text(), leis, mutated(leis)))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_lei(text) is _cobalis.validate_lei(text)["is_valid"]
