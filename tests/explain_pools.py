"""Real identifiers of each kind, and the single typing slips of each, for the explain and suggest tests and the
quality measurement in bench/explain_bench.py."""
from pathlib import Path

import _cobalis
import _cobalis_strict
from stdnum import cusip
from stdnum.de import wkn
from stdnum.gb import sedol

DATA = Path(__file__).parent / "data"
DIGITS = "0123456789"
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
ALNUM = DIGITS + LETTERS


def _lines(name):
    return [line.strip() for line in (DATA / name).read_text().splitlines() if line.strip() and not line.startswith("#")]


# Kinds read strictly where their national rules hold check digits of their own.
STRICT = {"vat": True}

_SAMPLES = {
    "isbn": ["0306406152", "9780306406157", "097522980X", "9781861972712", "0198526636", "9783161484100",
             "080442957X", "9780262033848"],
    "issn": ["03785955", "2434561X", "00280836", "03178471", "15221059", "00319007", "10500124"],
    "ean": ["4006381333931", "73513537", "5901234123457", "4012345678901", "9780306406157", "96385074"],
    "credit_card": ["4111111111111111", "378282246310005", "5555555555554444", "6011111111111117",
                    "3530111333300000", "30569309025904", "4012888888881881", "5105105105105100"],
    "lei": ["5493001KJTIIGC8Y1R12", "7LTWFZYICNSX8D621K86", "529900T8BM49AURSDO55", "HWUPKR0MPOU8FGXBT394",
            "213800WAVVOPS85N2205", "ABCD00EFGHIJ12345615"],
    "email": ["info@example.com", "john.doe@mail.example.org"],
}


def _valid(kind, texts):
    module = _cobalis_strict if STRICT.get(kind) else _cobalis
    out = []
    for text in texts:
        result = getattr(module, "validate_" + kind)(text)
        if result["is_valid"] and result["compact"] not in out:
            out.append(result["compact"])
    return out


def pool(kind):
    """The compact forms of the real identifiers of `kind` the tests use."""
    if kind == "iban":
        return _valid(kind, _lines("stdnum_iban_valid.txt"))
    if kind == "isin":
        return _valid(kind, _lines("stdnum_isin_valid.txt"))
    if kind == "vat":
        return _valid(kind, _lines("stdnum_vat_valid.txt"))
    if kind == "bic":
        return _valid(kind, _lines("stdnum_bic_valid.txt"))
    return _valid(kind, _SAMPLES[kind])


KINDS = ["iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email"]


def alphabet(kind, text, i):
    """The characters a typist could have put at place `i` of a compact `text`."""
    if kind in ("credit_card", "ean"):
        return DIGITS
    if kind in ("isbn", "issn"):
        return DIGITS + "X" if i == len(text) - 1 and len(text) in (8, 10) else DIGITS
    if kind == "email":
        return "abcdefghijklmnopqrstuvwxyz0123456789.-_@"
    return ALNUM


def is_valid(kind, text):
    module = _cobalis_strict if STRICT.get(kind) else _cobalis
    return getattr(module, "is_valid_" + kind)(text)


def typos(kind, original):
    """(typo, how) for every single substitution and adjacent transposition of `original` that its check
    detects; how is "swap" or "substitution"."""
    for i in range(len(original) - 1):
        a, b = original[i], original[i + 1]
        if a != b:
            typo = original[:i] + b + a + original[i + 2:]
            if not is_valid(kind, typo):
                yield typo, "swap"
    for i, old in enumerate(original):
        for c in alphabet(kind, original, i):
            if c != old:
                typo = original[:i] + c + original[i + 1:]
                if not is_valid(kind, typo):
                    yield typo, "substitution"


def one_edit_apart(a, b):
    """Whether b is a with one character replaced or two neighbours swapped."""
    if len(a) != len(b) or a == b:
        return False
    diffs = [i for i in range(len(a)) if a[i] != b[i]]
    if len(diffs) == 1:
        return True
    return len(diffs) == 2 and diffs[1] == diffs[0] + 1 and a[diffs[0]] == b[diffs[1]] and a[diffs[1]] == b[diffs[0]]


def is_swap_of(a, b):
    """Whether b is a with two different neighbours swapped."""
    return one_edit_apart(a, b) and sum(x != y for x, y in zip(a, b)) == 2


STRICT_KINDS = [kind for kind in KINDS if hasattr(_cobalis_strict, "is_valid_" + kind)]
SEDOL_COUNTRIES = ("GB", "IE", "IM", "JE", "GG")


def doubts(kind, text):
    """How many of the facts a valid `text` carries beyond the rules asked of it it fails, judged apart from
    the ranking: the national rules where they are not asked, the national number of an ISIN (by
    python-stdnum's SEDOL, CUSIP and WKN), a card's brand."""
    n = 0
    if kind in STRICT_KINDS and not STRICT.get(kind):
        n += not getattr(_cobalis_strict, "is_valid_" + kind)(text)
    if kind == "isin":
        country, national = text[:2], text[2:11]
        if country in SEDOL_COUNTRIES:
            n += not (national[:2] == "00" and sedol.is_valid(national[2:]))
        elif country in ("US", "CA"):
            n += not cusip.is_valid(national)
        elif country == "DE":
            n += not (national[:3] == "000" and wkn.is_valid(national[3:]))
    if kind == "credit_card":
        n += _cobalis.validate_credit_card(text)["brand"] == "unknown"
    return n


def swap_ranking(kind, typo, original, got):
    """For a swap `typo` of `original` and its suggestions `got`: (whether the swaps lead the list in order of
    their doubts, how often a ranking that knows only the number and those facts and orders equals at random
    puts the original first: 1 / the number of swaps with the fewest doubts when the original is one of them,
    else 0)."""
    swaps = [s for s in got if is_swap_of(typo, s)]
    ranks = [doubts(kind, s) for s in swaps]
    ordered = got[:len(swaps)] == swaps and ranks == sorted(ranks)
    top = [s for s, rank in zip(swaps, ranks) if rank == min(ranks, default=0)]
    return ordered, (1 / len(top) if original in top else 0.0)
