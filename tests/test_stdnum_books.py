"""The check-digit arithmetic of ISBN, ISSN and EAN against python-stdnum.

Inputs are plain digit strings of the right length (with an optional final X
where one is allowed), so that only the arithmetic and the ISBN-13 prefix rule
are compared; separators, case and other lengths are treated differently by
design (stdnum pads nine-digit ISBNs and accepts 12- and 14-digit EANs).
"""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st

stdnum = pytest.importorskip("stdnum")
from stdnum import ean, isbn, issn  # noqa: E402

DIGITS = "0123456789"


def digits(n):
    return st.text(DIGITS, min_size=n, max_size=n)


def finished(bodies, check_alphabet, complete):
    """Bodies finished either by stdnum's own check character or by any allowed character."""
    return st.one_of(
        bodies.map(lambda b: b + complete(b)),
        st.builds(lambda b, c: b + c, bodies, st.sampled_from(check_alphabet)),
    )


isbn10s = finished(digits(9), DIGITS + "X", isbn._calc_isbn10_check_digit)
isbn13_bodies = st.builds(lambda p, b: p + b, st.sampled_from(["978", "979", "977", "123"]), digits(9))
isbn13s = finished(isbn13_bodies, DIGITS, ean.calc_check_digit)
issns = finished(digits(7), DIGITS + "X", issn.calc_check_digit)
ean13s = finished(digits(12), DIGITS, ean.calc_check_digit)
ean8s = finished(digits(7), DIGITS, ean.calc_check_digit)


@given(st.one_of(isbn10s, isbn13s))
def test_isbn(number):
    assert _cobalis.is_valid_isbn(number) is isbn.is_valid(number)


@given(issns)
def test_issn(number):
    assert _cobalis.is_valid_issn(number) is issn.is_valid(number)


@given(st.one_of(ean13s, ean8s))
def test_ean(number):
    assert _cobalis.is_valid_ean(number) is ean.is_valid(number)
