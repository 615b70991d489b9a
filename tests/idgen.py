"""Independent check-digit arithmetic and hypothesis strategies for the identifier tests."""
from hypothesis import strategies as st

DIGITS = "0123456789"
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
ALNUM = DIGITS + LETTERS
# Bytes the normalisers treat differently: separators, folded letters, kept punctuation, other
# whitespace and multi-byte characters.
NOISE = DIGITS + "AZaz" + " -.\t" + "_!\n\u00a0\u00e9\u0663"


def luhn_sum(digits):
    """The Luhn sum, doubling every second digit from the right, written out longhand."""
    total = 0
    for position, char in enumerate(reversed(digits)):
        d = int(char)
        if position % 2 == 1:
            d *= 2
            d = d // 10 + d % 10
        total += d
    return total


def luhn_check_digit(payload):
    return str((10 - luhn_sum(payload + "0") % 10) % 10)


def expand_letters(text):
    """A..Z as the two digits 10..35, digits unchanged."""
    return "".join(str(int(c, 36)) for c in text)


def mod97(text):
    """ISO 7064 MOD 97-10 remainder with letters expanded, by Python's big integers."""
    return int(expand_letters(text)) % 97


@st.composite
def mutated(draw, ids):
    """A valid id after one to three edits: insertions, deletions, replacements, swaps and case changes."""
    text = draw(ids)
    for _ in range(draw(st.integers(1, 3))):
        op = draw(st.sampled_from(["insert", "delete", "replace", "swap", "case"]))
        i = draw(st.integers(0, max(len(text) - 1, 0)))
        char = draw(st.sampled_from(NOISE))
        if op == "insert":
            text = text[:i] + char + text[i:]
        elif op == "delete":
            text = text[:i] + text[i + 1:]
        elif op == "replace":
            text = text[:i] + char + text[i + 1:]
        elif op == "swap" and i + 1 < len(text):
            text = text[:i] + text[i + 1] + text[i] + text[i + 2:]
        elif op == "case":
            text = text.swapcase()
    return text


def different_char(data, char, alphabet):
    return data.draw(st.sampled_from([c for c in alphabet if c != char]))
