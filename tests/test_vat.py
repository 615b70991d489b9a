"""European VAT numbers: prefix, national rules and the result dictionary."""
import _cobalis
import pytest
from hypothesis import assume, given
from hypothesis import strategies as st

DIGITS = "0123456789"
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
SEPARATORS = "\t -."

# (whole number, expected error or None when valid)
CASES = [
    # prefix and length, before any rule
    ("", "invalid_length"), ("DE", "invalid_length"), ("DE1", "invalid_length"), ("RO1", "invalid_length"),
    ("R O 1", "invalid_length"), ("123456789", "invalid_country"), ("D1123456789", "invalid_country"),
    ("\u00c9E123456789", "invalid_country"), ("XI123456789", "unsupported_country"),
    ("CH123456789", "unsupported_country"), ("DE/123456789", "invalid_structure"),
    ("DE\u00a0123456789", "invalid_structure"),
    # one or more per prefix
    ("ATU12345678", None), ("ATX12345678", "invalid_structure"), ("ATU1234567", "invalid_structure"),
    ("BE0123456749", None), ("BE0123456748", "invalid_structure"), ("BE2123456749", "invalid_structure"),
    ("BE0000000097", None), ("BE0000000000", "invalid_structure"),
    ("BG123456789", None), ("BG1234567890", None), ("BG12345678", "invalid_structure"),
    ("CY10259033P", None), ("CY12000000P", "invalid_structure"), ("CY1025903AP", "invalid_structure"),
    ("CZ12345678", None), ("CZ1234567890", None), ("CZ12345678901", "invalid_structure"),
    ("DE123456789", None), ("DE12345678", "invalid_structure"), ("DE12345678A", "invalid_structure"),
    ("DK12345678", None), ("DK123456789", "invalid_structure"),
    ("EE123456789", None), ("EE12345678", "invalid_structure"),
    ("EL094259216", None), ("EL094259217", "invalid_structure"),
    ("ESX1234567L", None), ("ES12345678Z", None), ("ESA12345678", None), ("ESX123456AL", "invalid_structure"),
    ("FI20774740", None), ("FI20774741", "invalid_structure"),
    ("FI10000020", None), ("FI10000080", "invalid_structure"), ("FI10000081", "invalid_structure"),
    ("FR40303265045", None), ("FR72303265045", "invalid_structure"), ("FR00303265045", "invalid_structure"),
    ("FRA0303265045", None), ("FR0A303265045", None), ("FRAA30326504X", "invalid_structure"),
    ("FR4030326504", "invalid_structure"),
    ("GB000000097", None), ("GB000000097123", None), ("GB999999973", None), ("GB000000042", None),
    ("GB000009755", "invalid_structure"), ("GB000000000", "invalid_structure"),
    ("GB000000000000", "invalid_structure"), ("GB000000098", "invalid_structure"),
    ("GB0000000971", "invalid_structure"), ("GBGD001", None), ("GBHA999", None),
    ("GBGD00A", "invalid_structure"), ("GBXX001", "invalid_structure"),
    ("GR094259216", None), ("GR094259217", "invalid_structure"),
    ("GR000000210", None), ("GR000000211", "invalid_structure"),
    ("HR12345678901", None), ("HR1234567890", "invalid_structure"),
    ("HU12345678", None), ("HU1234567", "invalid_structure"),
    ("IE1234567T", None), ("IE1234567TW", None), ("IE1A23456T", None), ("IE1234567", "invalid_structure"),
    ("IE1A23456TW", "invalid_structure"), ("IEA234567T", "invalid_structure"),
    ("IT00743110157", None), ("IT00743110158", "invalid_structure"),
    ("LT123456789", None), ("LT123456789012", None), ("LT1234567890", "invalid_structure"),
    ("LU12345678", None), ("LU1234567", "invalid_structure"),
    ("LV12345678901", None), ("LV1234567890", "invalid_structure"),
    ("MT12345678", None), ("MT1234567", "invalid_structure"),
    ("NL123456789B01", None), ("NL123456789A01", "invalid_structure"),
    ("PL5261040828", None), ("PL5261040829", "invalid_structure"), ("PL1000000160", "invalid_structure"),
    ("PT501964843", None), ("PT501964842", "invalid_structure"),
    ("PT000000400", None), ("PT000000401", "invalid_structure"),
    ("RO12", None), ("RO1234567890", None), ("RO12345678901", "invalid_structure"),
    ("SE123456789001", None), ("SE123456789002", "invalid_structure"),
    ("SI12345678", None), ("SI02345678", "invalid_structure"),
    ("SK1234567890", None), ("SK123456789", "invalid_structure"),
    # kept bytes are counted, not characters: two bytes each
    ("DE" + "\u00e9" * 126, "invalid_structure"), ("DE" + "\u00e9" * 126 + "1", "invalid_charset"),
]


@pytest.mark.parametrize("text, error", CASES)
def test_numbers(text, error):
    r = _cobalis.validate_vat(text)
    if error is None:
        assert (r["is_valid"], r["error"], r["compact"], r["formatted"]) == (True, None, text, text)
        assert r["country"] == ("GR" if text.startswith("EL") else text[:2])
    else:
        assert r == {"is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "vat"}
    assert _cobalis.is_valid_vat(text) is (error is None)


@pytest.mark.parametrize("text", ["de 123 456 789", "DE-123.456.789", "\tde123456789 ", "D E 1 2 3 4 5 6 7 8 9"])
def test_a_valid_result_in_full(text):
    r = _cobalis.validate_vat(text)
    expected = {"is_valid": True, "compact": "DE123456789", "formatted": "DE123456789", "error": None,
                "kind": "vat", "country": "DE"}
    assert r == expected and list(r) == list(expected)


def test_greek_alias_keeps_its_prefix_in_the_texts():
    r = _cobalis.validate_vat("el 094 259 216")
    assert (r["country"], r["compact"], r["formatted"]) == ("GR", "EL094259216", "EL094259216")


def digits(n):
    return st.text(alphabet=DIGITS, min_size=n, max_size=n)


def weighted(payload, weights):
    return sum(w * int(d) for w, d in zip(weights, payload))


def _be(body):
    n = int(body)
    return f"{97 - n % 97:02d}"


def _fi(body):
    r = weighted(body, [7, 9, 10, 5, 8, 4, 2]) % 11
    return None if r == 1 else str(0 if r == 0 else 11 - r)


def _fr(siren):
    return f"{(12 + 3 * (int(siren) % 97)) % 97:02d}"


def _gr(body):
    r = weighted(body, [256, 128, 64, 32, 16, 8, 4, 2]) % 11
    return str(0 if r == 10 else r)


def _it(body):
    total = sum(int(d) if i % 2 == 0 else (2 * int(d) if int(d) < 5 else 2 * int(d) - 9)
                for i, d in enumerate(body))
    return str(-total % 10)


def _pl(body):
    r = weighted(body, [6, 5, 7, 2, 3, 4, 5, 6, 7]) % 11
    return None if r == 10 else str(r)


def _pt(body):
    r = weighted(body, [9, 8, 7, 6, 5, 4, 3, 2]) % 11
    return str(0 if r < 2 else 11 - r)


def gb_total(body, check):
    return weighted(body, [8, 7, 6, 5, 4, 3, 2]) + int(check)


# prefix -> (payload strategy, check from payload, check before payload)
CHECKED = {
    "BE": (st.sampled_from("01").flatmap(lambda first: digits(7).map(lambda rest: first + rest)), _be, False),
    "FI": (digits(7), _fi, False),
    "FR": (digits(9), _fr, True),
    "EL": (digits(8), _gr, False),
    "GR": (digits(8), _gr, False),
    "IT": (digits(10), _it, False),
    "PL": (digits(9), _pl, False),
    "PT": (digits(8), _pt, False),
}


@st.composite
def checked_numbers(draw):
    """(prefix, before, check, after) of a number with a correct check."""
    prefix = draw(st.sampled_from(sorted(CHECKED) + ["GB"]))
    if prefix == "GB":
        body = draw(digits(7))
        scheme_remainder = draw(st.sampled_from([0, 42]))
        check = f"{(scheme_remainder - gb_total(body, 0)) % 97:02d}"
        assume(body + check != "0" * 9)
        return prefix, body, check, draw(st.sampled_from(["", "000", "123", "999"]))
    payload_strategy, make_check, check_first = CHECKED[prefix]
    payload = draw(payload_strategy)
    check = make_check(payload)
    assume(check is not None)
    return (prefix, "", check, payload) if check_first else (prefix, payload, check, "")


def another_check(data, parts):
    prefix, before, check, _ = parts
    other = data.draw(digits(len(check)).filter(lambda c: c != check))
    if prefix == "GB":  # the two schemes, and 97 to 99 beside 00 to 02, give several right checks
        assume(gb_total(before, other) % 97 not in (0, 42))
    return other


@given(checked_numbers(), st.data())
def test_generated_check_digits_pass_and_changed_ones_fail(parts, data):
    prefix, before, check, after = parts
    number = prefix + before + check + after
    r = _cobalis.validate_vat(number.lower())
    assert r["is_valid"] and r["compact"] == number, number
    assert _cobalis.validate_vat(r["compact"]) == r
    changed = prefix + before + another_check(data, parts) + after
    assert _cobalis.validate_vat(changed)["error"] == "invalid_structure", changed


valid_numbers = checked_numbers().map("".join) | st.sampled_from([t for t, e in CASES if e is None])


@st.composite
def mutated(draw):
    text = draw(valid_numbers)
    i = draw(st.integers(0, len(text)))
    piece = draw(st.sampled_from(list(DIGITS + LETTERS + SEPARATORS) + ["/", "\u00e9", "a", ""]))
    how = draw(st.sampled_from(["insert", "replace", "delete"]))
    if how == "insert":
        return text[:i] + piece + text[i:]
    return text[:i] + (piece if how == "replace" else "") + text[i + 1:]


@given(st.one_of(st.text(), st.text(alphabet=DIGITS + LETTERS + SEPARATORS + "/x\u00e9"), mutated()))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_vat(text) is _cobalis.validate_vat(text)["is_valid"]


@given(st.lists(st.sampled_from(SEPARATORS), max_size=300), st.randoms(use_true_random=False))
def test_separators_never_count_toward_the_limit(separators, rnd):
    kept = list("DE" + "1" * 252)
    for sep in separators:
        kept.insert(rnd.randrange(len(kept) + 1), sep)
    text = "".join(kept)
    assert _cobalis.validate_vat(text)["error"] == "invalid_structure"
    for extra in ["1", "X", "/"]:
        position = rnd.randrange(len(text) + 1)
        longer = text[:position] + extra + text[position:]
        assert _cobalis.validate_vat(longer)["error"] == "invalid_charset"
        assert _cobalis.is_valid_vat(longer) is False
