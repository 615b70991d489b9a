"""E-mail address syntax and the result dictionary."""
import re
import string

import _cobalis
import pytest
from hypothesis import given
from hypothesis import strategies as st
from mutations import mutations

LOCAL_CHARS = string.ascii_letters + string.digits + "!#$%&'*+-/=?^_`{|}~"
LABEL_CHARS = string.ascii_letters + string.digits + "-"

# An independent statement of the accepted addresses, for the verdict only.
ATOM = r"[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+"
LABEL = r"[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?"
ADDRESS = re.compile(rf"(?P<local>{ATOM}(?:\.{ATOM})*)@(?P<domain>{LABEL}(?:\.{LABEL})+)")


def accepted(text):
    m = ADDRESS.fullmatch(text)
    if m is None or not 3 <= len(text) <= 254 or len(m["local"]) > 64:
        return False
    labels = m["domain"].split(".")
    return all(len(label) <= 63 for label in labels) and not labels[-1].isdigit()


def test_valid_result_in_key_order():
    result = _cobalis.validate_email("John.Smith+x1@ExAmple.COM")
    expected = {
        "is_valid": True, "compact": "John.Smith+x1@ExAmple.COM", "formatted": "John.Smith+x1@example.com",
        "error": None, "kind": "email", "local_length": 13, "domain_length": 11,
    }
    assert result == expected and list(result) == list(expected)


@pytest.mark.parametrize(
    "text",
    [
        "abcd@example.com", "a@b.c", "a@b.c1", "a@b.1c", "-@x-1.co", "a.b.c@1.2.x",
        "!#$%&'*+-/=?^_`{|}~@x.io",
        "a" * 64 + "@x.com",
        "a@" + "b" * 63 + ".com",
        "a@x." + "c" * 63,
        "a" * 64 + "@" + ".".join(["b" * 63, "c" * 63, "d" * 61]),  # 254 bytes
    ],
)
def test_valid(text):
    r = _cobalis.validate_email(text)
    local, domain = text.split("@")
    assert (r["is_valid"], r["compact"], r["formatted"]) == (True, text, f"{local}@{domain.lower()}")
    assert (r["local_length"], r["domain_length"]) == (len(local), len(domain))
    assert _cobalis.is_valid_email(text) is True


@pytest.mark.parametrize(
    "text, error",
    [
        ("ab", "invalid_length"),
        ("a" * 64 + "@" + ".".join(["b" * 63, "c" * 63, "d" * 62]), "invalid_length"),  # 255 bytes
        ("a" * 65 + "@x.com", "invalid_length"),
        ("a@" + "b" * 64 + ".com", "invalid_length"),
        ("a@x." + "c" * 64, "invalid_length"),
        ("a@b", "invalid_structure"),
        ("abc@example", "invalid_structure"),
        ("abc@example.com.", "invalid_structure"),
        ("abc@example.123", "invalid_structure"),
        ("abc@1.2.3.4", "invalid_structure"),
        (".abc@x.com", "invalid_structure"),
        ("abc.@x.com", "invalid_structure"),
        ("a..b@x.com", "invalid_structure"),
        ("@x.com", "invalid_structure"),
        ("abc@", "invalid_structure"),
        ("abc.example.com", "invalid_structure"),
        ("abc@.x.com", "invalid_structure"),
        ("abc@x..com", "invalid_structure"),
        ("abc@-x.com", "invalid_structure"),
        ("abc@x-.com", "invalid_structure"),
        ("abc@x.-com", "invalid_structure"),
        ("abc@x.com-", "invalid_structure"),
        (" abc@x.com", "invalid_structure"),
        ("abc@x.com ", "invalid_structure"),
        ("abc@x.com\n", "invalid_structure"),
        ("\rabc@x.com", "invalid_structure"),
        ("\x0babc@x.com", "invalid_charset"),  # vertical tab is not end white space
        ("abc@x.com\x0b", "invalid_charset"),
        ("a b@x.com", "invalid_charset"),
        ("abc@x_y.com", "invalid_charset"),
        ("abc@x@y.com", "invalid_charset"),
        ('"abc"@x.com', "invalid_charset"),
        ("ab\u00e9@x.com", "invalid_charset"),
        ("abc@x\u00e9.com", "invalid_charset"),
        ("a b..c@x.com", "invalid_charset"),  # the earliest fault decides
        ("a..b c@x.com", "invalid_structure"),
        ("a" * 65 + "@x", "invalid_length"),  # the local length before the domain
        ("abc@" + "b" * 64 + "._", "invalid_length"),  # a label ends at its full stop
        ("abc@b_" + "b" * 64 + ".c", "invalid_charset"),
    ],
)
def test_rejections(text, error):
    assert _cobalis.validate_email(text) == {
        "is_valid": False, "compact": "", "formatted": "", "error": error, "kind": "email"}
    assert _cobalis.is_valid_email(text) is False


@st.composite
def addresses(draw):
    atoms = draw(st.lists(st.text(LOCAL_CHARS, min_size=1, max_size=8), min_size=1, max_size=4))
    alnum = st.sampled_from(string.ascii_letters + string.digits)
    label = st.one_of(alnum, st.builds(lambda a, m, b: a + m + b, alnum, st.text(LABEL_CHARS, max_size=6), alnum))
    labels = draw(st.lists(label, min_size=1, max_size=3))
    top = draw(st.text(string.ascii_letters + string.digits, min_size=1, max_size=6).filter(lambda s: not s.isdigit()))
    return ".".join(atoms) + "@" + ".".join(labels + [top])


@given(addresses())
def test_generated_addresses_validate_and_round_trip(address):
    r = _cobalis.validate_email(address)
    assert (r["is_valid"], r["compact"]) == (True, address)
    assert _cobalis.validate_email(r["compact"]) == r
    again = _cobalis.validate_email(r["formatted"])
    assert again["is_valid"] and again["compact"] == r["formatted"]
    assert again["formatted"] == r["formatted"]


@given(st.one_of(
    st.text(),
    st.text("ab1.@-_ \n\u00e9", max_size=12),
    mutations(addresses(), "a1.@-_ \n\t\x0b\u00e9\""),
))
def test_verdict_matches_the_grammar_and_the_fast_path(text):
    assert _cobalis.is_valid_email(text) is _cobalis.validate_email(text)["is_valid"] is accepted(text)
