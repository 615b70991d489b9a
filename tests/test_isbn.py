"""ISBN-10 and ISBN-13 validation, their conversions and the result dictionary."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from mutations import mutations

DIGITS = "0123456789"


def isbn10_check(body):
    """The check character of nine digits: weights 10..2, modulus 11, X for ten."""
    value = -sum((10 - i) * int(d) for i, d in enumerate(body)) % 11
    return "X" if value == 10 else str(value)


def isbn13_check(body):
    """The check digit of twelve digits: weights 1, 3, 1, ..., modulus 10."""
    return str(-sum((3 if i % 2 else 1) * int(d) for i, d in enumerate(body)) % 10)


isbn10s = st.text(DIGITS, min_size=9, max_size=9).map(lambda b: b + isbn10_check(b))
isbn13s = st.builds(lambda p, b: p + b + isbn13_check(p + b), st.sampled_from(["978", "979"]),
                    st.text(DIGITS, min_size=9, max_size=9))


def test_valid_isbn10_result_in_key_order():
    result = _cobalis.validate_isbn("0-306-40615-2")
    expected = {
        "is_valid": True, "compact": "0306406152", "formatted": "0-306-40615-2", "error": None, "kind": "isbn",
        "isbn_type": "isbn10", "isbn10": "0306406152", "isbn13": "9780306406157",
    }
    assert result == expected and list(result) == list(expected)


@pytest.mark.parametrize(
    "text, compact, formatted, isbn_type, isbn10, isbn13",
    [
        ("0306.40615.2", "0306406152", "0-306-40615-2", "isbn10", "0306406152", "9780306406157"),
        ("0306406152 ", "0306406152", "0-306-40615-2", "isbn10", "0306406152", "9780306406157"),
        ("978-0-306-40615-7", "9780306406157", "978-0-306-40615-7", "isbn13", "0306406152", "9780306406157"),
        ("080442957x", "080442957X", "0-804-42957-X", "isbn10", "080442957X", "9780804429573"),
        ("0 8044 2957 X", "080442957X", "0-804-42957-X", "isbn10", "080442957X", "9780804429573"),
        ("9780804429573", "9780804429573", "978-0-804-42957-3", "isbn13", "080442957X", "9780804429573"),
        ("979-10-90636-07-1", "9791090636071", "979-1-090-63607-1", "isbn13", None, "9791090636071"),
    ],
)
def test_valid(text, compact, formatted, isbn_type, isbn10, isbn13):
    r = _cobalis.validate_isbn(text)
    assert (r["is_valid"], r["compact"], r["formatted"]) == (True, compact, formatted)
    assert (r["isbn_type"], r["isbn10"], r["isbn13"]) == (isbn_type, isbn10, isbn13)
    assert _cobalis.is_valid_isbn(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("0306406153", "invalid_checksum"),
        ("030640615X", "invalid_checksum"),
        ("03064X6152", "invalid_charset"),
        ("X306406152", "invalid_charset"),
        ("978030640615X", "invalid_charset"),
        ("97803064061X7", "invalid_charset"),
        ("9780306406158", "invalid_checksum"),
        ("9790306406157", "invalid_checksum"),
        ("9770306406157", "invalid_prefix"),
        ("9770306406158", "invalid_prefix"),  # a correct EAN-13, but not a book number
        ("ISBN 0306406152", "invalid_length"),
        ("", "invalid_length"),
        ("---", "invalid_length"),
        ("030640615", "invalid_length"),
        ("03064061520", "invalid_length"),
        ("0306406152\n", "invalid_length"),
        ("0306406152\u00a0", "invalid_length"),
        ("03064061é2", "invalid_length"),
        ("0" * 300, "invalid_length"),
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_isbn(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "isbn"}
    assert _cobalis.is_valid_isbn(text) is False


@given(isbn10s)
def test_generated_isbn10_converts_to_isbn13_and_back(isbn):
    r = _cobalis.validate_isbn(isbn.lower())
    assert (r["is_valid"], r["compact"], r["isbn10"]) == (True, isbn, isbn)
    assert r["isbn13"] == "978" + isbn[:9] + isbn13_check("978" + isbn[:9])
    assert _cobalis.validate_isbn(r["isbn13"])["isbn10"] == isbn
    assert _cobalis.validate_isbn(r["compact"]) == r
    assert _cobalis.validate_isbn(r["formatted"]) == r
    assert [len(g) for g in r["formatted"].split("-")] == [1, 3, 5, 1]


@given(isbn13s)
def test_generated_isbn13_validates_with_its_isbn10(isbn):
    r = _cobalis.validate_isbn(isbn)
    assert (r["is_valid"], r["isbn_type"], r["isbn13"]) == (True, "isbn13", isbn)
    expected10 = isbn[3:12] + isbn10_check(isbn[3:12]) if isbn.startswith("978") else None
    assert r["isbn10"] == expected10
    assert _cobalis.validate_isbn(r["compact"]) == r
    assert _cobalis.validate_isbn(r["formatted"]) == r
    assert [len(g) for g in r["formatted"].split("-")] == [3, 1, 3, 5, 1]


@given(st.one_of(
    st.text(),
    st.text("0123456789Xx -.", max_size=16),
    mutations(st.one_of(isbn10s, isbn13s), "0123456789Xx-.a\n"),
))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_isbn(text) is _cobalis.validate_isbn(text)["is_valid"]
