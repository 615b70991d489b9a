"""Luhn, Verhoeff and Damm through Python."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st

digits = st.text(alphabet="0123456789", min_size=0, max_size=63)


@pytest.mark.parametrize(
    "function, text, expected",
    [
        ("luhn_validate", "79927398713", True),
        ("luhn_validate", "79927398710", False),
        ("luhn_validate", "", False),
        ("luhn_validate", " ", False),
        ("luhn_validate", "-", False),
        ("luhn_validate", "0", True),
        ("luhn_validate", "00", True),
        ("luhn_validate", " 0 ", True),
        ("luhn_validate", "5", False),
        ("luhn_validate", "4111 1111 1111 1111", True),
        ("luhn_validate", "4111-1111-1111-1111", True),
        ("luhn_validate", "4111_1111_1111_1111", False),
        ("luhn_validate", "4111\t1111\t1111\t1111", False),
        ("luhn_validate", "12a", False),
        ("luhn_validate", "0" * 64, True),
        ("luhn_validate", "0" * 65, False),
        ("luhn_validate", "0" * 65 + "x", False),
        ("luhn_validate", "٣", False),  # an Arabic-Indic digit is not a digit here
        ("verhoeff_validate", "2363", True),
        ("verhoeff_validate", "2364", False),
        ("verhoeff_validate", "0", True),
        ("verhoeff_validate", "00", False),
        ("verhoeff_validate", " 2363", False),
        ("verhoeff_validate", "", False),
        ("damm_validate", "5724", True),
        ("damm_validate", "5727", False),
        ("damm_validate", "572", False),
        ("damm_validate", "0", True),
        ("damm_validate", "", False),
        ("damm_validate", "57 24", False),
    ],
)
def test_predicates(function, text, expected):
    assert getattr(_cobalis, function)(text) is expected


@pytest.mark.parametrize(
    "payload, digit",
    [("7992739871", 3), ("", 0), ("0", 0), ("1", 8), ("411111111111111", 1), ("7" * 999, 7)], ids=lambda v: str(v)[:16],
)
def test_luhn_generate(payload, digit):
    assert _cobalis.luhn_generate(payload) == digit
    assert type(_cobalis.luhn_generate(payload)) is int


@given(digits)
def test_generated_luhn_digit_validates(payload):
    assert _cobalis.luhn_validate(payload + str(_cobalis.luhn_generate(payload)))


@given(st.lists(st.sampled_from("0123456789 -"), max_size=60).map("".join))
def test_luhn_generate_skips_what_luhn_validate_skips(payload):
    # A grouped payload ("7992-7398-71") gets the digit of its digits alone.
    digit = _cobalis.luhn_generate(payload)
    assert digit == _cobalis.luhn_generate(payload.replace(" ", "").replace("-", ""))
    assert _cobalis.luhn_validate(payload + str(digit))


@given(digits.filter(bool))
def test_only_one_luhn_digit_validates(payload):
    valid = [d for d in "0123456789" if _cobalis.luhn_validate(payload + d)]
    assert valid == [str(_cobalis.luhn_generate(payload))]


@given(st.text())
def test_luhn_generate_answers_a_digit_for_any_text(text):
    assert _cobalis.luhn_generate(text.encode("utf-8", "replace").decode()) in range(10)


def reference_luhn(digits):
    total = 0
    for i, c in enumerate(reversed(digits)):
        d = int(c)
        total += (d * 2 - 9 if d > 4 else d * 2) if i % 2 else d
    return total % 10 == 0


@given(st.text(alphabet="0123456789 -", max_size=80))
def test_luhn_matches_a_reference(text):
    digits = text.replace(" ", "").replace("-", "")
    expected = 0 < len(digits) <= 64 and reference_luhn(digits)
    assert _cobalis.luhn_validate(text) is expected



@pytest.mark.parametrize("check", [_cobalis.verhoeff_validate, _cobalis.damm_validate])
@given(payload=st.text(alphabet="0123456789", max_size=30))
def test_verhoeff_and_damm_have_one_check_digit_and_catch_transpositions(check, payload):
    valid = [payload + d for d in "0123456789" if check(payload + d)]
    assert len(valid) == 1
    text = valid[0]
    for i in range(len(text) - 1):
        if text[i] != text[i + 1]:
            assert not check(text[:i] + text[i + 1] + text[i] + text[i + 2:])
