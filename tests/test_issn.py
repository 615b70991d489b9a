"""ISSN validation and its result dictionary."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from mutations import mutations

DIGITS = "0123456789"


def issn_check(body):
    """The check character of seven digits: weights 8..2, modulus 11, X for ten."""
    value = -sum((8 - i) * int(d) for i, d in enumerate(body)) % 11
    return "X" if value == 10 else str(value)


def with_x_check(body):
    """`body` with its last two digits changed so that the check character is X."""
    for a in DIGITS:
        for b in DIGITS:
            candidate = body[:5] + a + b
            if issn_check(candidate) == "X":
                return candidate + "X"
    raise AssertionError("two free digits always reach X")


bodies = st.text(DIGITS, min_size=7, max_size=7)
issns = st.one_of(bodies.map(lambda b: b + issn_check(b)), bodies.map(with_x_check))


def test_valid_result_has_only_the_common_keys():
    result = _cobalis.validate_issn("0378-5955")
    expected = {"is_valid": True, "compact": "03785955", "formatted": "0378-5955", "error": None, "kind": "issn"}
    assert result == expected and list(result) == list(expected)


@pytest.mark.parametrize(
    "text, compact",
    [
        ("0378 5955", "03785955"),
        ("0378--5955", "03785955"),
        ("\t0378-5955 ", "03785955"),
        ("2049-3630", "20493630"),
        ("2434-561x", "2434561X"),
        ("2434 561X", "2434561X"),
    ],
)
def test_valid(text, compact):
    r = _cobalis.validate_issn(text)
    assert (r["is_valid"], r["compact"], r["formatted"]) == (True, compact, compact[:4] + "-" + compact[4:])
    assert _cobalis.is_valid_issn(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("0378-5956", "invalid_checksum"),
        ("0378-595X", "invalid_checksum"),
        ("0378.5955", "invalid_charset"),
        ("0378-5955.", "invalid_charset"),
        ("ISSN 0378-5955", "invalid_charset"),
        ("X378-5955", "invalid_charset"),
        ("0378-X955", "invalid_charset"),
        ("0378-5955\n", "invalid_charset"),
        ("0378-595é", "invalid_charset"),
        ("0" * 255, "invalid_charset"),  # one byte past the buffer
        ("0" * 254, "invalid_length"),
        ("0378-595", "invalid_length"),
        ("03785955X", "invalid_length"),
        ("", "invalid_length"),
        (" - ", "invalid_length"),
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_issn(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "issn"}
    assert _cobalis.is_valid_issn(text) is False


@given(issns)
def test_generated_issns_validate_and_round_trip(issn):
    r = _cobalis.validate_issn(issn.lower())
    assert (r["is_valid"], r["compact"]) == (True, issn)
    assert _cobalis.validate_issn(r["compact"]) == r
    assert _cobalis.validate_issn(r["formatted"]) == r


@given(st.one_of(
    st.text(),
    st.text("0123456789Xx -.", max_size=12),
    mutations(issns, "0123456789Xx-.a"),
))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_issn(text) is _cobalis.validate_issn(text)["is_valid"]
