"""Strict BIC countries and ISIN prefixes: the compiled table, python-stdnum's verdicts, real codes."""
import itertools
import pathlib
import re
import string

import _cobalis
import pycountry
import pytest
from cobalis import strict
from conftest import load_tool

stdnum_bic = pytest.importorskip("stdnum.bic")
stdnum_isin = pytest.importorskip("stdnum.isin")

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "tests" / "data"
KINDS = ["bic", "isin"]
PREFIXES = ["".join(pair) for pair in itertools.product(string.ascii_uppercase, repeat=2)]
PEERS = {"bic": stdnum_bic, "isin": stdnum_isin}

# Where strict and python-stdnum part, and why; the verdict shown is ours.
DISAGREEMENTS = {
    "bic": {},
    "isin": {
        # The substitute numbering agencies' block of user-assigned prefixes runs XA to XF; stdnum
        # lists only the five with an agency it can name, and a strict check must not turn away an
        # ISIN of the block.
        "XE": True,
        # ANNA gives EZ to its Derivatives Service Bureau, which has numbered OTC derivatives with
        # it since 2017; stdnum's list of prefixes predates it.
        "EZ": True,
    },
}


def generator():
    return load_tool("generate_country_codes")


def with_prefix(kind, code):
    """An identifier that passes every plain check, with ``code`` for its country."""
    if kind == "bic":
        return f"ABCD{code}2L"
    body = code + "037833100"
    return body + stdnum_isin.calc_check_digit(body)


def real(name):
    lines = (DATA / name).read_text(encoding="utf-8").splitlines()
    return [line for line in lines if line and not line.startswith("#")]


@pytest.mark.parametrize("kind", KINDS)
def test_every_prefix_agrees_with_stdnum(kind):
    parted = {}
    for code in PREFIXES:
        text = with_prefix(kind, code)
        assert getattr(_cobalis, "is_valid_" + kind)(text), text
        ours = getattr(strict, "validate_" + kind)(text)
        assert ours["error"] == (None if ours["is_valid"] else "invalid_country")
        assert getattr(strict, "is_valid_" + kind)(text) is ours["is_valid"]
        if ours["is_valid"] is not PEERS[kind].is_valid(text):
            parted[code] = ours["is_valid"]
    assert parted == DISAGREEMENTS[kind]


@pytest.mark.parametrize("kind", KINDS)
def test_real_identifiers_pass(kind):
    numbers = real(f"stdnum_{kind}_valid.txt")
    plain = [n for n in numbers if getattr(_cobalis, "is_valid_" + kind)(n)]
    assert len(plain) == len(numbers)
    assert [n for n in plain if not getattr(strict, "is_valid_" + kind)(n)] == []


def test_table_is_the_pinned_pycountry():
    """The committed table is what the generator makes of the pinned pycountry, and is what runs."""
    gen = generator()
    text = (ROOT / "core" / "data" / "country_codes.cpp").read_text(encoding="utf-8")
    date = re.search(r" on (\d{4}-\d{2}-\d{2}) from ", text.splitlines()[0]).group(1)
    assert text == gen.render(date), "stale table: run tools/generate_country_codes.py"
    for kind, listed in [("bic", gen.bic_countries()), ("isin", gen.isin_prefixes())]:
        accepted = [code for code in PREFIXES if getattr(strict, "is_valid_" + kind)(with_prefix(kind, code))]
        assert accepted == listed
        assert {country.alpha_2 for country in pycountry.countries} <= set(accepted)
