"""cobalis.explain and cobalis.suggest: the blamed place, the implied check characters, and the valid
identifiers one typing slip away."""
import pytest
from hypothesis import given, settings, strategies as st

import _cobalis
import cobalis
from cobalis._messages import MESSAGES
from explain_pools import KINDS, STRICT, alphabet, is_valid, one_edit_apart, pool, swap_ranking, typos
from idgen import mod97

POOLS = {kind: pool(kind) for kind in KINDS}
NONE = {"error": None, "position": None, "expected": None, "message": None}


# --- explain: a case table per kind -------------------------------------------------------------------------------

# kind, text, strict, error, blamed position in the text, expected check characters
CASES = [
    ("iban", "GB83 WEST 1234 5698 7654 32", False, "invalid_checksum", None, "82"),
    ("iban", "G182WEST12345698765432", False, "invalid_country", 1, None),
    ("iban", "XX82WEST12345698765432", False, "unsupported_country", 0, None),
    ("iban", "GB8AWEST12345698765432", False, "invalid_structure", 3, None),
    ("iban", "GB82 WEST 1234 5698 7654 3!", False, "invalid_charset", 26, None),
    ("iban", "GB82 WEST 1234 5698 7654 3", False, "invalid_length", None, None),
    ("iban", "GB43 WES7 1234 5698 7654 32", True, "invalid_structure", 8, None),
    ("bic", "DEUT1EFF", False, "invalid_country", 4, None),
    ("bic", "deu1-de-ff", False, "invalid_charset", 3, None),
    ("bic", "DEUTXXFF", True, "invalid_country", 4, None),
    ("credit_card", "4111 1111 1111 1112", False, "invalid_checksum", 18, "1"),
    ("credit_card", "4111 1111 1111 111a", False, "invalid_charset", 18, None),
    ("isbn", "0-306-40615-3", False, "invalid_checksum", 12, "2"),
    ("isbn", "978-0-306-40615-8", False, "invalid_checksum", 16, "7"),
    ("isbn", "0-8044-2957-1", False, "invalid_checksum", 12, "X"),
    ("isbn", "977-0-306-40615-7", False, "invalid_prefix", 0, None),
    ("isbn", "0-306-4x615-2", False, "invalid_charset", 7, None),
    ("issn", "0378-5956", False, "invalid_checksum", 8, "5"),
    ("issn", "2434-5613", False, "invalid_checksum", 8, "X"),
    ("issn", "2434.561X", False, "invalid_charset", 4, None),
    ("isin", "US0378331006", False, "invalid_checksum", 11, "5"),
    ("isin", "U10378331005", False, "invalid_country", 1, None),
    ("lei", "5493001KJTIIGC8Y1R13", False, "invalid_checksum", None, "12"),
    ("lei", "5493 001K JTII GC8Y 1R1!", False, "invalid_charset", 23, None),
    ("ean", "4006381333932", False, "invalid_checksum", 12, "1"),
    ("ean", "7351353X", False, "invalid_charset", 7, None),
    ("vat", "DE 136 695 977", True, "invalid_checksum", 13, "6"),
    ("vat", "IE6433435G", True, "invalid_checksum", 9, "F"),
    ("vat", "XY136695977", False, "unsupported_country", 0, None),
    # Countries whose form holds the check digit: the form fails, and the digit is named.
    ("vat", "BE 0403.019.262", False, "invalid_structure", 14, "1"),
    ("vat", "FI20774741", True, "invalid_structure", 9, "0"),
    ("vat", "IT00743110158", False, "invalid_structure", 12, "7"),
    ("vat", "FR41303265045", False, "invalid_structure", None, None),  # a two-character key is not solved
    ("vat", "DE13669597A", False, "invalid_structure", None, None),  # every digit would do
    ("email", "john.doe.example.com", False, "invalid_structure", None, None),
]


@pytest.mark.parametrize("kind, text, strict, error, position, expected", CASES)
def test_explain_case_table(kind, text, strict, error, position, expected):
    got = cobalis.explain(kind, text, strict=strict)
    assert (got["error"], got["position"], got["expected"]) == (error, position, expected)
    module = cobalis.strict if strict else cobalis
    assert got["error"] == getattr(module, "validate_" + kind)(text)["error"]
    # The sentence is the kind's message for the code, with the check characters or the place added.
    assert got["message"].startswith(MESSAGES[kind][error]) and got["message"].endswith(".")
    if expected is not None:
        assert f"should be {expected}, not " in got["message"]


def test_position_counts_characters_of_the_callers_text():
    # Two-byte characters before the blamed one count once each.
    assert cobalis.explain("credit_card", "4111\u00a01111 1111 1112")["error"] == "invalid_charset"
    assert cobalis.explain("credit_card", "4111\u00a01111 1111 1112")["position"] == 4
    assert cobalis.explain("iban", "GB82 WEST 1234 5698 7654 3\u00e9")["error"] == "invalid_length"


@pytest.mark.parametrize("kind", KINDS)
def test_valid_identifiers_have_nothing_to_explain_or_suggest(kind):
    for text in POOLS[kind][:20]:
        assert cobalis.explain(kind, text, strict=STRICT.get(kind, False)) == NONE
        assert cobalis.suggest(kind, text, strict=STRICT.get(kind, False)) == []


@pytest.mark.parametrize("args, kwargs, error", [
    (("iso", "x"), {}, ValueError),
    ((1, "x"), {}, TypeError),
    (("iban",), {}, TypeError),
    (("iban", "x", False), {}, TypeError),
    (("iban", "x"), {"kind": "iban"}, TypeError),
    (("iban", "x"), {"strictly": True}, TypeError),
    (("iban", b"GB82"), {}, TypeError),
    (("iban", 82), {}, TypeError),
    (("iban", [["GB82"]]), {}, TypeError),
])
def test_explain_refuses_bad_arguments(args, kwargs, error):
    with pytest.raises(error):
        cobalis.explain(*args, **kwargs)


@pytest.mark.parametrize("kind, texts", [
    ("iban", ["GB83 WEST 1234 5698 7654 32", "GB83WEST12345698765432"]),
    ("credit_card", ["4111 1111 1111 1112", "4111111111111112"]),  # the same check, the blame elsewhere
    ("bic", ["DEUT1EFF", "DEUT1EFF"]),
    ("email", ["john.doe.example.com", "jane.example.com"]),
])
def test_each_answer_is_a_dict_of_its_own(kind, texts):
    # Answers to the same explanation are copies: changing one changes no other.
    first = cobalis.explain(kind, texts[0])
    kept = dict(first)
    first.clear()
    again = cobalis.explain(kind, texts[0])
    assert again == kept and again is not first
    other = cobalis.explain(kind, texts[1])
    spaces_before = 0 if kept["position"] is None else texts[0][:kept["position"]].count(" ")
    assert other["position"] == (None if kept["position"] is None else kept["position"] - spaces_before)


def test_an_explainer_takes_any_table_of_sentences():
    import _cobalis_explain

    long = "x" * 300
    explain = _cobalis_explain.Explainer({"iban": {"invalid_checksum": long}}, lambda *args: None).explain
    assert explain("iban", "GB83WEST12345698765432")["message"] == long + ": they should be 82, not 83."
    assert explain("bic", "DEUT1EFF")["message"] == "invalid_country"  # no sentence: the code itself
    with pytest.raises(TypeError):
        _cobalis_explain.Explainer({"iban": {"invalid_checksum": 1}}, lambda *args: None)


def test_explain_and_suggest_pickle_for_process_pools():
    import pickle

    for function in (cobalis.explain, cobalis.suggest):
        again = pickle.loads(pickle.dumps(function))
        assert again("iban", "GB83 WEST 1234 5698 7654 32") == function("iban", "GB83 WEST 1234 5698 7654 32")


def test_explain_takes_its_arguments_by_name():
    assert cobalis.explain(text="GB83 WEST 1234 5698 7654 32", kind="iban")["expected"] == "82"
    assert cobalis.explain("vat", text="DE136695977", strict=True)["expected"] == "6"


def test_arguments_are_checked():
    with pytest.raises(TypeError):
        cobalis.suggest("iban", b"GB82")  # type: ignore[arg-type]
    with pytest.raises(ValueError):
        cobalis.suggest("iban", "GB82", limit=-1)
    assert cobalis.suggest("iban", "GB82 WEST 1234 5698 7645 32", limit=0) == []


# --- expected: right whenever the check characters themselves were mistyped ---------------------------------------

CHECK_PLACES = {"iban": (2, 2), "lei": (18, 2), "credit_card": (-1, 1), "isbn": (-1, 1), "issn": (-1, 1),
                "isin": (-1, 1), "ean": (-1, 1)}


@pytest.mark.parametrize("kind", sorted(CHECK_PLACES))
def test_expected_is_the_original_check_when_the_check_was_mistyped(kind):
    at, count = CHECK_PLACES[kind]
    for original in POOLS[kind][:60]:
        start = at % len(original)
        check = original[start:start + count]
        for i in range(start, start + count):
            for c in alphabet(kind, original, i):
                typo = original[:i] + c + original[i + 1:]
                if is_valid(kind, typo):
                    continue
                got = cobalis.explain(kind, typo)
                if got["error"] == "invalid_checksum":
                    assert got["expected"] == check, (typo, got)


@pytest.mark.parametrize("strict", [False, True])
def test_a_vat_forms_own_check_digit_is_named(strict):
    # Countries whose form holds the check digit refuse a mistyped last digit as invalid_structure;
    # explain names the digit the rest implies, which is the original's.
    named = 0
    for original in POOLS["vat"]:
        if original[:2] not in ("BE", "FI", "IT", "PL", "PT", "EL", "GR"):
            continue
        for c in "0123456789":
            typo = original[:-1] + c
            got = cobalis.explain("vat", typo, strict=strict)
            if got["error"] == "invalid_structure":
                assert got["expected"] == original[-1], (typo, got)
                named += 1
    assert named > 100


def test_iban_expected_agrees_with_mod97_arithmetic():
    for original in POOLS["iban"]:
        rest = original[4:] + original[:2] + "00"
        typo = original[:2] + f"{(int(original[2:4]) + 1) % 97:02d}" + original[4:]
        assert cobalis.explain("iban", typo)["expected"] == f"{98 - mod97(rest):02d}"


# --- suggest: properties ------------------------------------------------------------------------------------------

@st.composite
def typo_of(draw, kind):
    original = draw(st.sampled_from(POOLS[kind]))
    i = draw(st.integers(0, len(original) - 1))
    if draw(st.booleans()) and i + 1 < len(original):
        typo = original[:i] + original[i + 1] + original[i] + original[i + 2:]
    else:
        typo = original[:i] + draw(st.sampled_from(alphabet(kind, original, i))) + original[i + 1:]
    return original, typo


@pytest.mark.parametrize("kind", KINDS)
@settings(max_examples=60, deadline=None)
@given(data=st.data())
def test_suggestions_are_valid_one_edit_away_and_hold_the_original(kind, data):
    original, typo = data.draw(typo_of(kind))
    strict = STRICT.get(kind, False)
    found = cobalis.suggest(kind, typo, strict=strict, limit=64)
    if is_valid(kind, typo):
        assert found == []
        return
    assert len(found) == len(set(found))
    for s in found:
        assert is_valid(kind, s) and one_edit_apart(typo, s), (typo, s)
    if len(found) < 64:
        assert original in found
    assert cobalis.suggest(kind, typo, strict=strict, limit=2) == found[:2]


@settings(max_examples=100, deadline=None)
@given(text=st.text(alphabet="0123456789ABCXYZ -x.\u00e9", max_size=30), kind=st.sampled_from(KINDS),
       strict=st.booleans())
def test_suggestions_of_any_text_validate(text, kind, strict):
    module = cobalis.strict if strict else cobalis
    for s in cobalis.suggest(kind, text, strict=strict, limit=64):
        assert getattr(module, "is_valid_" + kind)(s)
    explained = cobalis.explain(kind, text, strict=strict)
    assert explained["error"] == getattr(module, "validate_" + kind)(text)["error"]
    if explained["position"] is not None:
        assert 0 <= explained["position"] < len(text)


# --- quality: every typo the check detects, on the real identifiers -----------------------------------------------

def quality(kind, every=1):
    """(typos, found, swaps, swaps first, swaps first at best, swaps misranked) over the detected typos of the
    pool, every `every`-th original; at best: what a ranking knowing only the number and the facts beyond its
    rules reaches ordering equals at random (explain_pools.swap_ranking)."""
    typos_seen = found = swaps = swaps_first = misranked = 0
    best = 0.0
    for original in POOLS[kind][::every]:
        for typo, how in typos(kind, original):
            got = cobalis.suggest(kind, typo, strict=STRICT.get(kind, False), limit=64)
            typos_seen += 1
            found += original in got
            if how == "swap":
                swaps += 1
                swaps_first += bool(got) and got[0] == original
                ordered, share = swap_ranking(kind, typo, original, got)
                misranked += not ordered
                best += share
    return typos_seen, found, swaps, swaps_first, best, misranked


# The share of detected swaps whose original comes first. MOD 97-10 leaves almost no other swap valid, so the
# original is first in at least 90 % of cases; a sum of place values (Luhn, GS1, the ISBN and ISSN sums, most
# national VAT checks) is repaired just as well by every other swap of two digits with the same difference. What
# the number carries beyond its check (national rules, an ISIN's SEDOL or CUSIP, a card's brand) tells some of
# those apart; the rest nothing in the number can: the floors below are what the ranking reaches on these
# identifiers less a margin (bench/explain_bench.py reports the shares beside what those facts allow).
@pytest.mark.parametrize("kind, every, swaps_first_share", [
    ("iban", 4, 0.93), ("lei", 1, 0.93), ("bic", 20, 0.9), ("isin", 4, 0.75), ("credit_card", 1, 0.55),
    ("isbn", 1, 0.65), ("issn", 1, 0.7), ("ean", 1, 0.3), ("vat", 16, 0.8),
])
def test_the_original_is_found_and_swaps_come_first(kind, every, swaps_first_share):
    typos_seen, found, swaps, swaps_first, _, misranked = quality(kind, every)
    assert typos_seen > 0
    assert found == typos_seen
    # Swaps lead the list, those that break fewer facts first.
    assert misranked == 0
    if swaps:
        assert swaps_first >= swaps_first_share * swaps


# --- the command line ---------------------------------------------------------------------------------------------

def test_command_line_explains_each_value_with_its_suggestions(capsys):
    import json

    from cobalis import cli

    status = cli.main(["explain", "--limit", "2", "iban", "GB82 WEST 1234 5698 7645 32", "GB82 WEST 1234 5698 7654 32"])
    first, second = (json.loads(line) for line in capsys.readouterr().out.splitlines())
    assert status == 1
    assert first == {"value": "GB82 WEST 1234 5698 7645 32", **cobalis.explain("iban", "GB82 WEST 1234 5698 7645 32"),
                     "suggestions": cobalis.suggest("iban", "GB82 WEST 1234 5698 7645 32", limit=2)}
    assert first["suggestions"][0] == "GB82WEST12345698765432"
    assert second == {"value": "GB82 WEST 1234 5698 7654 32", **NONE, "suggestions": []}
    assert cli.main(["explain", "--strict", "vat", "DE136695976"]) == 0
    assert cli.main(["explain", "--limit", "-1", "vat", "DE136695976"]) == 2


# --- whole columns ------------------------------------------------------------------------------------------------

COLUMN = ["GB82 WEST 1234 5698 7645 32", None, "GB82 WEST 1234 5698 7654 32", "GB83 WEST 1234 5698 7654 32"]


def test_columns_answer_row_by_row_with_missing_rows_missing():
    assert cobalis.explain("iban", COLUMN) == [None if v is None else cobalis.explain("iban", v) for v in COLUMN]
    assert cobalis.suggest("iban", iter(COLUMN), limit=3) == [
        None if v is None else cobalis.suggest("iban", v, limit=3) for v in COLUMN]


def test_columns_answer_in_the_callers_type():
    pa = pytest.importorskip("pyarrow")
    pl = pytest.importorskip("polars")
    pd = pytest.importorskip("pandas")
    rows = cobalis.explain("iban", COLUMN)
    lists = cobalis.suggest("iban", COLUMN)

    explained = cobalis.explain("iban", pa.array(COLUMN))
    assert pa.types.is_struct(explained.type) and explained.to_pylist() == rows
    chunked = cobalis.suggest("iban", pa.chunked_array([COLUMN[:2], COLUMN[2:]]))
    assert pa.types.is_list(chunked.type) and chunked.num_chunks == 2 and chunked.to_pylist() == lists

    series = cobalis.explain("iban", pl.Series("iban", COLUMN))
    assert series.name == "iban" and series.dtype == pl.Struct and series.to_list() == rows
    suggested_pl = cobalis.suggest("iban", pl.Series("iban", COLUMN))
    assert suggested_pl.name == "iban" and suggested_pl.dtype == pl.List(pl.String) and suggested_pl.to_list() == lists
    dtypes = cobalis.explain("iban", pd.Series(COLUMN)).dtypes
    assert [str(t) for t in dtypes] == ["string", "Int64", "string", "string"]

    index = pd.Index([10, 20, 30, 40])
    frame = cobalis.explain("iban", pd.Series(COLUMN, index=index))
    assert list(frame.columns) == ["error", "position", "expected", "message"] and frame.index.equals(index)
    assert frame["expected"].tolist() == [pd.NA if r is None else (r["expected"] or pd.NA) for r in rows]
    suggested = cobalis.suggest("iban", pd.Series(COLUMN, index=index, name="iban"))
    assert suggested.name == "iban" and suggested.index.equals(index) and suggested.tolist() == lists


def test_check_with_explain_appends_position_expected_and_suggestions(capsys, tmp_path):
    import csv

    from cobalis import cli

    source = tmp_path / "books.csv"
    source.write_text("id,isbn\n1,0-306-40615-3\n2,978-0-306-40615-7\n3,0-306-4X615-2\n", encoding="utf-8")
    assert cli.main(["check", "--explain", "isbn", str(source), "--column", "isbn"]) == 1
    rows = list(csv.reader(capsys.readouterr().out.splitlines()))
    assert rows[0] == ["id", "isbn", "is_valid", "error", "compact", "formatted", "position", "expected", "suggestions"]
    for row in rows[1:]:
        explained = cobalis.explain("isbn", row[1])
        assert row[6:] == ["" if explained["position"] is None else str(explained["position"]),
                           explained["expected"] or "", " ".join(cobalis.suggest("isbn", row[1]))]
    assert rows[1][6:8] == ["12", "2"] and rows[1][8].split()[0] == "0306406152"
    assert rows[2][6:] == ["", "", ""] and rows[3][6] == "7"
