"""Typical inputs for every identifier kind, valid and invalid.

The valid identifiers are made here with their own check-digit arithmetic (no
validator is asked), in the forms people write them: compact, grouped with
spaces or hyphens, in lower case. The invalid ones are what goes wrong in
practice: one mistyped character, a character too few, a stray letter.

    python bench/corpus.py          rewrite bench/corpus/<kind>.txt and the
                                    fuzz seeds under fuzz/corpus/

bench/run.py and the C++ core benchmark read bench/corpus/<kind>.txt (one
input per line); the fuzz targets start from the seeds.
"""
from __future__ import annotations

import random
import string
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
CORPUS = ROOT / "bench" / "corpus"
SEEDS = ROOT / "fuzz" / "corpus"

# Slot of each kind in the validators fuzz target (first byte, as a digit).
KINDS = ["iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email"]

VALID_PER_KIND = 24
INVALID_PER_KIND = 24

DIGITS = string.digits
UPPER = string.ascii_uppercase
ALNUM = DIGITS + UPPER


def digits(rng: random.Random, n: int) -> str:
    return "".join(rng.choice(DIGITS) for _ in range(n))


def letters(rng: random.Random, n: int) -> str:
    return "".join(rng.choice(UPPER) for _ in range(n))


def alnum(rng: random.Random, n: int) -> str:
    return "".join(rng.choice(ALNUM) for _ in range(n))


def groups(text: str, size: int, sep: str = " ") -> str:
    return sep.join(text[i:i + size] for i in range(0, len(text), size))


def mod97(text: str) -> int:
    """The number that `text` spells, letters A..Z standing for 10..35, mod 97."""
    return int("".join(str(int(c, 36)) for c in text)) % 97


def luhn_check_digit(payload: str) -> str:
    total = 0
    for pos, ch in enumerate(reversed(payload)):
        d = int(ch)
        if pos % 2 == 0:
            d = 2 * d - 9 if d > 4 else 2 * d
        total += d
    return str((10 - total % 10) % 10)


# ---- the kinds ---------------------------------------------------------------

# Country, total length, and how the BBAN starts (letters for a bank code).
IBAN_SHAPES = [("DE", 22, 0), ("GB", 22, 4), ("FR", 27, 0), ("NL", 18, 4), ("IT", 27, 1), ("FI", 18, 0),
               ("LU", 20, 0), ("CH", 21, 0), ("AT", 20, 0), ("PL", 28, 0), ("HR", 21, 0), ("LC", 32, 4),
               ("SE", 24, 0), ("IE", 22, 4), ("PT", 25, 0), ("DK", 18, 0)]


def iban(rng: random.Random) -> str:
    country, length, bank_letters = rng.choice(IBAN_SHAPES)
    bban = letters(rng, bank_letters) + digits(rng, length - 4 - bank_letters)
    check = 98 - mod97(bban + country + "00")
    return f"{country}{check:02d}{bban}"


def bic(rng: random.Random) -> str:
    code = letters(rng, 4) + rng.choice(["DE", "GB", "FR", "US", "CH", "NL", "IT", "JP"]) + alnum(rng, 2)
    return code + (rng.choice(["XXX", alnum(rng, 3)]) if rng.random() < 0.5 else "")


CARD_SHAPES = [("4", 16), ("4", 16), ("4", 13), ("51", 16), ("55", 16), ("2221", 16), ("34", 15), ("37", 15),
               ("6011", 16), ("65", 16), ("3528", 16), ("36", 14), ("62", 17), ("4", 19)]


def credit_card(rng: random.Random) -> str:
    prefix, length = rng.choice(CARD_SHAPES)
    payload = prefix + digits(rng, length - len(prefix) - 1)
    return payload + luhn_check_digit(payload)


def isbn10_check(nine: str) -> str:
    r = sum((10 - i) * int(c) for i, c in enumerate(nine)) % 11
    return "X" if (11 - r) % 11 == 10 else str((11 - r) % 11)


def isbn13_check(twelve: str) -> str:
    total = sum(int(c) * (1 if i % 2 == 0 else 3) for i, c in enumerate(twelve))
    return str((10 - total % 10) % 10)


def isbn(rng: random.Random) -> str:
    if rng.random() < 0.4:
        nine = digits(rng, 9)
        return nine + isbn10_check(nine)
    twelve = rng.choice(["978", "978", "979"]) + digits(rng, 9)
    return twelve + isbn13_check(twelve)


def issn(rng: random.Random) -> str:
    seven = digits(rng, 7)
    r = sum((8 - i) * int(c) for i, c in enumerate(seven)) % 11
    check = (11 - r) % 11
    return seven + ("X" if check == 10 else str(check))


def isin(rng: random.Random) -> str:
    body = rng.choice(["US", "GB", "DE", "FR", "XS", "CH", "JP", "NL"]) + (
        digits(rng, 9) if rng.random() < 0.6 else alnum(rng, 9))
    expanded = "".join(str(int(c, 36)) for c in body)
    return body + luhn_check_digit(expanded)


def lei(rng: random.Random) -> str:
    body = alnum(rng, 4) + "00" + alnum(rng, 12)
    return body + f"{98 - mod97(body + '00'):02d}"


def ean(rng: random.Random) -> str:
    n = 13 if rng.random() < 0.75 else 8
    payload = digits(rng, n - 1)
    # Weights from the right: 3 next to the check digit, then 1, 3, ...
    total = sum(int(c) * (3 if (n - 1 - i) % 2 == 1 else 1) for i, c in enumerate(payload))
    return payload + str((10 - total % 10) % 10)


# National parts that pass their country's rule, checked by hand or by arithmetic.
VAT_KNOWN = ["ATU12345678", "BE0123456749", "BG123456789", "BG1234567890", "CY10259033P", "CZ12345678",
             "CZ1234567890", "DE123456789", "DK12345678", "EE123456789", "EL094259216", "GR094259216",
             "ESX1234567L", "ES12345678Z", "FI20774740", "FR72303265045", "FRA0303265045", "GB000000097",
             "GBGD001", "HR12345678901", "HU12345678", "IE1234567T", "IE1A23456T", "IT00743110157",
             "LT123456789", "LU12345678", "LV12345678901", "MT12345678", "NL123456789B01", "PL5261040828",
             "PT501964843", "RO1234567890", "SE123456789001", "SI12345678", "SK1234567890"]

def vat(rng: random.Random) -> str:
    """A known number with its digits drawn anew, kept once python-stdnum (which
    also checks the national check digits that our rules leave alone) accepts it."""
    from stdnum.eu import vat as stdnum_vat

    example = rng.choice(VAT_KNOWN)
    for _ in range(5000):
        candidate = example[:2] + "".join(rng.choice(DIGITS) if c.isdigit() else c for c in example[2:])
        if stdnum_vat.is_valid(candidate):
            return candidate
    return example


LOCAL = string.ascii_lowercase + string.digits


def email(rng: random.Random) -> str:
    words = ["".join(rng.choice(LOCAL) for _ in range(rng.randint(2, 9))) for _ in range(rng.randint(1, 2))]
    local = rng.choice([".", "_", "+"]).join(words)
    labels = ["".join(rng.choice(string.ascii_lowercase) for _ in range(rng.randint(3, 10)))
              for _ in range(rng.randint(1, 2))]
    tld = rng.choice(["com", "org", "net", "de", "co.uk", "io", "Com"])
    return f"{local}@{'.'.join(labels)}.{tld}"


MAKERS = {"iban": iban, "bic": bic, "credit_card": credit_card, "isbn": isbn, "issn": issn, "isin": isin,
          "lei": lei, "ean": ean, "vat": vat, "email": email}


def written(kind: str, compact: str, rng: random.Random) -> str:
    """The identifier as a person might write it."""
    style = rng.random()
    if kind == "iban":
        if style < 0.5:
            return groups(compact, 4)
        return compact.lower() if style < 0.6 else compact
    if kind == "credit_card":
        if compact.startswith(("34", "37")) and len(compact) == 15 and style < 0.5:
            return f"{compact[:4]} {compact[4:10]} {compact[10:]}"
        return groups(compact, 4, rng.choice([" ", "-"])) if style < 0.6 else compact
    if kind == "isbn":
        if len(compact) == 10:
            return f"{compact[0]}-{compact[1:4]}-{compact[4:9]}-{compact[9]}" if style < 0.6 else compact
        return f"{compact[:3]}-{compact[3]}-{compact[4:7]}-{compact[7:12]}-{compact[12]}" if style < 0.6 else compact
    if kind == "issn":
        return f"{compact[:4]}-{compact[4:]}" if style < 0.8 else compact
    if kind in ("isin", "lei", "bic"):
        return compact.lower() if style < 0.2 else compact
    if kind == "vat":
        return f"{compact[:2]} {compact[2:]}" if style < 0.3 else compact
    return compact


def mistype(kind: str, text: str, rng: random.Random) -> str:
    """One of the usual ways an identifier is written wrong."""
    how = rng.random()
    positions = [i for i, c in enumerate(text) if c.isdigit()] or list(range(len(text)))
    if how < 0.5:  # one digit mistyped
        i = rng.choice(positions)
        old = text[i]
        new = rng.choice([d for d in DIGITS if d != old]) if old.isdigit() else rng.choice(UPPER)
        return text[:i] + new + text[i + 1:]
    if how < 0.65:  # two neighbours swapped
        i = rng.randrange(len(text) - 1)
        return text[:i] + text[i + 1] + text[i] + text[i + 2:]
    if how < 0.8:  # a character lost
        i = rng.randrange(len(text))
        return text[:i] + text[i + 1:]
    if how < 0.9:  # a stray character
        i = rng.randrange(len(text) + 1)
        return text[:i] + rng.choice("!/_,#") + text[i:]
    return rng.choice(["", "n/a", "unknown", "0", "TBD", "-"])


def build(seed: int = 20240501) -> dict[str, list[str]]:
    """Inputs per kind: VALID_PER_KIND valid ones, then INVALID_PER_KIND likely invalid ones."""
    rng = random.Random(seed)
    corpus: dict[str, list[str]] = {}
    for kind in KINDS:
        make = MAKERS[kind]
        valid = [make(rng) for _ in range(VALID_PER_KIND)]
        shown = [written(kind, v, rng) for v in valid]
        broken = [mistype(kind, rng.choice(shown), rng) for _ in range(INVALID_PER_KIND)]
        corpus[kind] = shown + broken
    return corpus


def load(kind: str) -> list[str]:
    return (CORPUS / f"{kind}.txt").read_text(encoding="utf-8").split("\n")[:-1]


def write_seeds(corpus: dict[str, list[str]]) -> None:
    target = SEEDS / "fuzz_validators"
    target.mkdir(parents=True, exist_ok=True)
    for old in target.iterdir():
        old.unlink()
    for slot, kind in enumerate(KINDS):
        for n, text in enumerate(corpus[kind][:6] + corpus[kind][VALID_PER_KIND:VALID_PER_KIND + 2]):
            (target / f"{kind}-{n}").write_bytes(str(slot).encode() + text.encode())
        # Near the 254-byte buffer: separators that must not count, and one
        # kept byte too many.
        (target / f"{kind}-long").write_bytes(str(slot).encode() + b"1 " * 254 + b"1")

    digits_target = SEEDS / "fuzz_checkdigits"
    digits_target.mkdir(parents=True, exist_ok=True)
    for old in digits_target.iterdir():
        old.unlink()
    cards = [c for c in corpus["credit_card"][:VALID_PER_KIND]]
    samples = cards[:6] + ["79927398713", "2363", "5724", "0", "0" * 64, "0" * 65, "4111_1111"]
    for n, text in enumerate(samples):
        (digits_target / f"seed-{n}").write_bytes(text.encode())

    lookups_target = SEEDS / "fuzz_lookups"
    lookups_target.mkdir(parents=True, exist_ok=True)
    for old in lookups_target.iterdir():
        old.unlink()
    for key in ["stub", "EUR", "USD", "CHF", "XAU", "DE", "GR", "CH", "USA", "eur", ""]:
        (lookups_target / f"key-{key or 'empty'}").write_bytes(key.encode())


def main() -> None:
    corpus = build()
    CORPUS.mkdir(parents=True, exist_ok=True)
    for kind, inputs in corpus.items():
        assert all("\n" not in s for s in inputs)
        (CORPUS / f"{kind}.txt").write_text("".join(s + "\n" for s in inputs), encoding="utf-8")
    write_seeds(corpus)
    print(f"wrote {sum(map(len, corpus.values()))} inputs for {len(corpus)} kinds")


if __name__ == "__main__":
    main()
