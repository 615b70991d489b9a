"""Payment card numbers: length, digits, Luhn, brand and layout."""
import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from idgen import DIGITS, different_char, luhn_check_digit, mutated

AMEX = "3782 822463 10005"
AMEX_RESULT = {
    "is_valid": True, "compact": "378282246310005", "formatted": "3782 822463 10005",
    "error": None, "kind": "credit_card", "brand": "amex",
}

# (brand, prefix ranges as (first, last, digits), lengths) with disjoint prefixes for each length,
# so each generated number has exactly one expected brand.
BRAND_CLASSES = [
    ("amex", [(34, 34, 2), (37, 37, 2)], [15]),
    ("visa", [(4, 4, 1)], [13, 16, 19]),
    ("mastercard", [(51, 55, 2), (2221, 2720, 4)], [16]),
    ("discover", [(6011, 6011, 4), (65, 65, 2), (644, 649, 3), (622126, 622925, 6)], [16, 19]),
    ("diners_club", [(36, 36, 2)], [14, 16]),
    ("diners_club", [(38, 38, 2), (300, 305, 3)], [14]),
    ("jcb", [(3528, 3589, 4)], [16, 17, 18, 19]),
    ("unionpay", [(620000, 622125, 6), (622926, 629999, 6)], [16, 17, 18, 19]),
    ("unionpay", [(622126, 622925, 6)], [17, 18]),
    ("unknown", [(4, 4, 1)], [12, 14, 15, 17, 18]),
    ("unknown", [(51, 55, 2), (2221, 2720, 4)], [12, 13, 14, 15, 17, 18, 19]),
    ("unknown", [(30, 30, 2), (38, 38, 2)], [16]),
    ("unknown", [(0, 1, 1), (7, 9, 1)], list(range(12, 20))),
]


def card(prefix, length, filler):
    payload = (prefix + filler)[: length - 1]
    return payload + luhn_check_digit(payload)


def grouped(digits, starts):
    cuts = [0, *starts, len(digits)]
    return " ".join(digits[a:b] for a, b in zip(cuts, cuts[1:]) if a < b)


@pytest.mark.parametrize(
    "text, brand, formatted",
    [
        (AMEX, "amex", "3782 822463 10005"),
        ("4111 1111 1111 1111", "visa", "4111 1111 1111 1111"),
        ("4111-1111-1111-1111", "visa", "4111 1111 1111 1111"),
        ("4111.1111.1111.1111", "visa", "4111 1111 1111 1111"),
        ("\t4111111111111111 ", "visa", "4111 1111 1111 1111"),
        ("4222222222222", "visa", "4222 2222 2222 2"),
        ("4000000000000000006", "visa", "4000 0000 0000 0000 006"),
        ("5555555555554444", "mastercard", "5555 5555 5555 4444"),
        ("2223000048400011", "mastercard", "2223 0000 4840 0011"),
        ("6011111111111117", "discover", "6011 1111 1111 1117"),
        ("3530111333300000", "jcb", "3530 1113 3330 0000"),
        ("6200000000000005", "unionpay", "6200 0000 0000 0005"),
        ("36227206271667", "diners_club", "3622 7206 2716 67"),
        ("30569309025904", "diners_club", "3056 9309 0259 04"),
        ("3056930009020004", "unknown", "3056 9300 0902 0004"),
        ("3" + " " * 500 + "78282246310005", "amex", "3782 822463 10005"),
    ],
)
def test_valid_numbers(text, brand, formatted):
    r = _cobalis.validate_credit_card(text)
    assert (r["is_valid"], r["brand"], r["formatted"], r["error"]) == (True, brand, formatted, None)
    assert r["compact"] == formatted.replace(" ", "")
    assert _cobalis.is_valid_credit_card(text) is True


def test_full_result_in_key_order():
    r = _cobalis.validate_credit_card(AMEX)
    assert r == AMEX_RESULT and list(r) == list(AMEX_RESULT)


@pytest.mark.parametrize(
    "text, error",
    [
        ("", "invalid_length"),
        ("12345678903", "invalid_length"),  # 11 digits, Luhn correct
        ("4" * 20, "invalid_length"),
        ("123456789012", "invalid_checksum"),
        ("4111111111111112", "invalid_checksum"),
        ("4111x111111111111", "invalid_charset"),
        ("4111X111111111111", "invalid_charset"),
        ("4111_1111_1111_1111", "invalid_charset"),  # the underscore is not a separator
        ("4111\n1111 1111 1111", "invalid_charset"),
        ("4111\u00a01111\u00a01111\u00a01111", "invalid_length"),  # 3 x 2 bytes kept: 22 bytes
        ("\u0664" * 6, "invalid_charset"),  # six Arabic-Indic digits are twelve bytes, none a digit
        ("abcdefghijklmnopqrstuvwxy", "invalid_length"),  # length is judged before characters
        ("4" * 254, "invalid_length"),
        ("4" * 255, "invalid_length"),  # overflows the buffer
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_credit_card(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "credit_card"}
    assert _cobalis.is_valid_credit_card(text) is False


@pytest.mark.parametrize("length", [11, 12, 19, 20])
def test_length_bounds(length):
    number = card("", length, "7" * length)
    assert _cobalis.is_valid_credit_card(number) is (12 <= length <= 19)


def test_the_brand_table_edges():
    # Each range at its first and last prefix and one step outside, at every length.
    for brand, ranges, lengths in BRAND_CLASSES:
        for first, last, width in ranges:
            for prefix in (first, last):
                for length in lengths:
                    number = card(str(prefix).zfill(width), length, "0" * length)
                    assert _cobalis.validate_credit_card(number)["brand"] == brand, number
    assert _cobalis.validate_credit_card(card("2220", 16, "0" * 16))["brand"] == "unknown"
    assert _cobalis.validate_credit_card(card("2721", 16, "0" * 16))["brand"] == "unknown"
    assert _cobalis.validate_credit_card(card("622125", 17, "0" * 17))["brand"] == "unionpay"
    assert _cobalis.validate_credit_card(card("306", 14, "0" * 14))["brand"] == "unknown"
    assert _cobalis.validate_credit_card(card("3527", 16, "0" * 16))["brand"] == "unknown"


@st.composite
def cards(draw):
    brand, ranges, lengths = draw(st.sampled_from(BRAND_CLASSES))
    first, last, width = draw(st.sampled_from(ranges))
    prefix = str(draw(st.integers(first, last))).zfill(width)
    length = draw(st.sampled_from(lengths))
    filler = draw(st.text(alphabet=DIGITS, min_size=length, max_size=length))
    return brand, card(prefix, length, filler)


@given(cards())
def test_generated_numbers_validate_with_their_brand_and_round_trip(case):
    brand, number = case
    r = _cobalis.validate_credit_card(number)
    assert (r["is_valid"], r["brand"], r["compact"]) == (True, brand, number)
    starts = [4, 10] if brand == "amex" else list(range(4, len(number), 4))
    assert r["formatted"] == grouped(number, starts)
    assert _cobalis.validate_credit_card(r["compact"]) == r
    assert _cobalis.validate_credit_card(r["formatted"]) == r
    assert _cobalis.validate_credit_card("-".join(number))["compact"] == number


@given(cards(), st.data())
def test_every_single_digit_error_is_caught(case, data):
    _, number = case
    i = data.draw(st.integers(0, len(number) - 1))
    changed = number[:i] + different_char(data, number[i], DIGITS) + number[i + 1:]
    assert _cobalis.validate_credit_card(changed)["error"] == "invalid_checksum"


@given(st.one_of(st.text(), st.text(alphabet=DIGITS + " -x", max_size=30),
                 cards().map(lambda c: c[1]), mutated(cards().map(lambda c: c[1]))))
def test_fast_path_agrees_with_validate(text):
    assert _cobalis.is_valid_credit_card(text) is _cobalis.validate_credit_card(text)["is_valid"]
