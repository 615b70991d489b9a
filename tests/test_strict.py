"""cobalis.strict: the same calling convention and result shapes, answers within the plain ones."""
import ast
import pathlib

import _cobalis
import _cobalis_strict
import cobalis
import pytest
from cobalis import strict
from hypothesis import given
from hypothesis import strategies as st
from idgen import ALNUM, DIGITS, NOISE, expand_letters, luhn_check_digit, mod97
from mutations import mutations

DATA = pathlib.Path(__file__).resolve().parent / "data"
NATIONAL_KINDS = ["iban", "bic", "isin", "lei", "vat"]
OTHER_KINDS = ["credit_card", "isbn", "issn", "ean", "email"]
# The details a valid strict answer adds after the plain ones.
STRICT_ONLY_KEYS = {"iban": ["bank_code", "branch_code"]}


def real(name):
    """The identifiers of a data file (one a line, # comments)."""
    lines = (DATA / name).read_text(encoding="utf-8").splitlines()
    return [line for line in lines if line and not line.startswith("#")]


# Spelled as people write them, separators and all.
SAMPLES = {
    "iban": real("stdnum_iban_valid.txt"),
    "vat": real("stdnum_vat_valid.txt"),
    "bic": ["DEUTDEFF", "NEDSZAJJXXX", "ABCDGB2L123"],
    "isin": ["US0378331005", "XS0000000009", "EU000A1G0AB4"],
    "lei": ["969500T3M8S4SQAMHJ45", "5493001KJTIIGC8Y1R12", "ABCD00EFGHIJ12345615"],
}


def isin_check_character(body):
    """The digit ISO 6166 computes: Luhn over the body with its letters expanded to two digits."""
    return str(luhn_check_digit(expand_letters(body)))


# The letter of the standards, where the plain rules are looser: (kind, text, strict error).
STRICT_CASES = [
    # A letter as the ISIN's check character passes Luhn through its two expanded digits only.
    ("isin", "US037833100O", "invalid_charset"),
    ("isin", "XS000000000A", "invalid_charset"),
    ("isin", "US0378331005", None),
    # The Derivatives Service Bureau's OTC-derivative ISINs.
    ("isin", "EZ6KWKTJCH9" + isin_check_character("EZ6KWKTJCH9"), None),
    ("isin", "EZ0N1M2K3J4" + isin_check_character("EZ0N1M2K3J4"), None),
    # Characters 19 and 20 of a LEI are two check digits; these letter pairs pass MOD 97-10 too.
    ("lei", "969500T3M8S4SQAMHJ45", None),
    ("lei", "969500T3M8S4SQAMHJ6Z", "invalid_charset"),
    ("lei", "969500T3M8S4SQAMHJF0", "invalid_charset"),
    ("lei", "969500T3M8S4SQAMHJXY", "invalid_charset"),
    # IBAN check digits are 98 less a remainder, so 02 to 98; 00, 01 and 99 are never issued.
    ("iban", "GB00 HLFX 1101 6111 4553 65", "invalid_checksum"),
    ("iban", "GB97 HLFX 1101 6111 4553 65", None),
]


@pytest.mark.parametrize("kind, text, error", STRICT_CASES)
def test_strict_rules_of_the_standards(kind, text, error):
    assert getattr(_cobalis, "is_valid_" + kind)(text)
    ours = getattr(strict, "validate_" + kind)(text)
    assert (ours["error"], getattr(strict, "is_valid_" + kind)(text)) == (error, error is None)
    assert cobalis.is_valid(kind, [text], strict=True) == [error is None]


@given(body=st.text(alphabet=ALNUM, min_size=18, max_size=18))
def test_strict_lei_check_characters_are_the_two_digits(body):
    passing = [a + b for a in ALNUM for b in ALNUM if _cobalis.is_valid_lei(body + a + b)]
    # The computed pair, 02 to 98, and where it is 02, 97 or 98 its two-digit alias 99, 00 or 01.
    digits = 98 - mod97(body + "00")
    expected = [f"{n:02d}" for n in sorted({digits, digits - 97, digits + 97}) if 0 <= n <= 99]
    assert [pair for pair in passing if strict.is_valid_lei(body + pair)] == expected


@given(body=st.text(alphabet=ALNUM, min_size=9, max_size=9))
def test_strict_isin_check_character_is_the_digit(body):
    body = "US" + body
    passing = [c for c in ALNUM if _cobalis.is_valid_isin(body + c)]
    assert [c for c in passing if strict.is_valid_isin(body + c)] == [isin_check_character(body)]
    assert isin_check_character(body) in DIGITS


def test_package_layout():
    assert strict.__all__ == [name for name in _cobalis.__all__ if name.startswith(("is_valid_", "validate_"))]
    assert _cobalis_strict.__all__ == [f"{f}_{k}" for k in NATIONAL_KINDS for f in ("is_valid", "validate")]
    assert cobalis.strict is strict
    stub = ast.parse((pathlib.Path(cobalis.__file__).parent.parent / "_cobalis_strict.pyi").read_text())
    assert [node.name for node in stub.body if isinstance(node, ast.FunctionDef)] == _cobalis_strict.__all__


@pytest.mark.parametrize("kind", OTHER_KINDS)
def test_kinds_without_national_rules_are_the_plain_functions(kind):
    for prefix in ("is_valid_", "validate_"):
        assert getattr(strict, prefix + kind) is getattr(_cobalis, prefix + kind)


@pytest.mark.parametrize("name", _cobalis_strict.__all__)
def test_calling_convention_is_the_plain_one(name):
    ours, plain = getattr(strict, name), getattr(_cobalis, name)
    assert ours.__module__ == "_cobalis_strict" and ours.__name__ == name
    assert ours.__text_signature__ == plain.__text_signature__ == "(input)"
    for args, kwargs in [((), {}), (("a", "b"), {}), (("a",), {"input": "b"}), ((), {"value": "x"}), ((1,), {}),
                         ((None,), {}), ((b"x",), {})]:
        with pytest.raises(TypeError) as mine:
            ours(*args, **kwargs)
        with pytest.raises(TypeError) as theirs:
            plain(*args, **kwargs)
        assert str(mine.value) == str(theirs.value)
    with pytest.raises(UnicodeEncodeError):
        ours("\ud800")
    assert ours(input="x") == plain(input="x")


def test_second_import_is_refused():
    import importlib
    import sys

    module = sys.modules.pop("_cobalis_strict")
    try:
        with pytest.raises(ImportError, match="_cobalis_strict: the module may only be initialized once"):
            importlib.import_module("_cobalis_strict")
    finally:
        sys.modules["_cobalis_strict"] = module


def inputs(kind):
    samples = st.sampled_from(SAMPLES[kind])
    return st.one_of(samples, mutations(samples, NOISE), st.text(alphabet=NOISE, max_size=40))


@pytest.mark.parametrize("kind", NATIONAL_KINDS)
@given(data=st.data())
def test_strict_answers_lie_within_the_plain_ones(kind, data):
    text = data.draw(inputs(kind))
    plain = getattr(_cobalis, "validate_" + kind)(text)
    ours = getattr(strict, "validate_" + kind)(text)
    assert getattr(strict, "is_valid_" + kind)(text) is ours["is_valid"]
    if not plain["is_valid"]:
        # The plain rules come first: where they fail, strict fails the same way.
        assert ours == plain
    elif ours["is_valid"]:
        # Where strict accepts, the result is the plain one, forms and details alike, and for some
        # kinds more details after them.
        assert list(ours) == list(plain) + STRICT_ONLY_KEYS.get(kind, [])
        assert {key: ours[key] for key in plain} == plain
    else:
        assert list(ours) == list(plain)[:5] and ours["error"] is not None
    if ours["is_valid"]:
        assert getattr(strict, "validate_" + kind)(ours["compact"]) == ours


@pytest.mark.parametrize("kind", NATIONAL_KINDS)
def test_real_identifiers_stay_valid(kind):
    rejected = [s for s in SAMPLES[kind] if getattr(_cobalis, "is_valid_" + kind)(s)
                and not getattr(strict, "is_valid_" + kind)(s)]
    assert rejected == []


def test_columns_and_command_line_reach_the_strict_functions(capsys, tmp_path):
    values = ["DE 136 695 976", "DE 136 695 977", None]
    assert cobalis.is_valid("vat", values, strict=True) == [strict.is_valid_vat(values[0]),
                                                             strict.is_valid_vat(values[1]), None]
    rows = cobalis.validate("vat", values, strict=True)
    assert [row and row["error"] for row in rows] == [strict.validate_vat(v)["error"] for v in values[:2]] + [None]
    assert cobalis.is_valid("lei", ["X"], strict=True) == [False]
    from cobalis.cli import main

    assert main(["validate", "--strict", "vat", values[0]]) == (0 if strict.is_valid_vat(values[0]) else 1)
    assert '"kind": "vat"' in capsys.readouterr().out
    table = tmp_path / "suppliers.csv"
    table.write_text("vat\n" + "\n".join(values[:2]) + "\n", encoding="utf-8")
    main(["check", "--strict", "vat", str(table), "--column", "vat"])
    errors = [line.split(",")[2] for line in capsys.readouterr().out.splitlines()[1:]]
    assert errors == [strict.validate_vat(v)["error"] or "" for v in values[:2]]
