"""Our check-digit verdicts against python-stdnum, on inputs where only the arithmetic differs.

Each comparison is restricted to plain digit or upper-case alphanumeric strings of the length both
sides accept, so that separators, case and country tables (stdnum checks ISIN countries against a
list, we only require letters) play no part.
"""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st

stdnum_luhn = pytest.importorskip("stdnum.luhn")
stdnum_isin = pytest.importorskip("stdnum.isin")
stdnum_lei = pytest.importorskip("stdnum.lei")
stdnum_mod_97_10 = pytest.importorskip("stdnum.iso7064.mod_97_10")

DIGITS = "0123456789"
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
ALNUM = DIGITS + LETTERS


@given(st.text(alphabet=DIGITS, min_size=12, max_size=19))
def test_card_luhn(number):
    assert _cobalis.is_valid_credit_card(number) is stdnum_luhn.is_valid(number)
    assert _cobalis.luhn_validate(number) is stdnum_luhn.is_valid(number)


@given(st.text(alphabet=LETTERS, min_size=2, max_size=2), st.text(alphabet=ALNUM, min_size=9, max_size=9),
       st.sampled_from(DIGITS))
def test_isin_check_digit(country, body, check):
    # stdnum only ever computes a digit check character, so the check position holds a digit here.
    isin = country + body + check
    assert _cobalis.is_valid_isin(isin) is (stdnum_isin.calc_check_digit(isin[:-1]) == check)


@given(st.text(alphabet=ALNUM, min_size=20, max_size=20))
def test_lei_remainder(lei):
    assert _cobalis.is_valid_lei(lei) is stdnum_lei.is_valid(lei) is (stdnum_mod_97_10.checksum(lei) == 1)


@given(st.text(alphabet=ALNUM, min_size=18, max_size=18))
def test_lei_generated_by_stdnum_validates(body):
    lei = body + stdnum_mod_97_10.calc_check_digits(body)
    assert _cobalis.validate_lei(lei)["is_valid"] is True
