"""Strict IBANs: the registry's BBAN layout and the national check digits, against python-stdnum and schwifty."""
import itertools
import json
import pathlib
import random
import re
import string
import warnings
from importlib import resources

import _cobalis
import pytest
import schwifty
from cobalis import strict
from conftest import load_tool
from stdnum import iban as stdnum_iban
from stdnum.be import iban as stdnum_be_iban

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "tests" / "data"
DIGITS, LETTERS = string.digits, string.ascii_uppercase
CLASSES = {"n": DIGITS, "a": LETTERS, "c": DIGITS + LETTERS}


def read_layouts(text):
    """Country code to BBAN layout, from python-stdnum's copy of the registry."""
    return dict(re.findall(r'^([A-Z]{2}) country="[^"]*" bban="([^"]*)"$', text, re.MULTILINE))


REGISTRY = read_layouts(resources.files("stdnum").joinpath("iban.dat").read_text(encoding="utf-8"))
SCHWIFTY = json.loads(resources.files("schwifty").joinpath("iban_registry/generated.json").read_text(encoding="utf-8"))


def places(layout):
    """The class of every place of a BBAN layout: "4!a2!n" gives "aaaann"."""
    return "".join(cls * int(count) for count, cls in re.findall(r"(\d+)!([nac])", layout))


def real(name):
    lines = (DATA / name).read_text(encoding="utf-8").splitlines()
    return [line for line in lines if line and not line.startswith("#")]


def mod97(text):
    rearranged = text[4:] + text[:4]
    return int("".join(str(int(c, 36)) for c in rearranged)) % 97


def with_check_digits(country, bban):
    return f"{country}{98 - mod97(country + '00' + bban):02d}{bban}"


def random_bban(country, rng):
    return "".join(rng.choice(CLASSES[cls]) for cls in places(REGISTRY[country]))


def put(bban, at, chars):
    chars = list(chars)
    return "".join(chars.pop(0) if i in at else c for i, c in enumerate(bban))


# ---- the registry table --------------------------------------------------------

def load_generator():
    return load_tool("generate_iban_registry")


def test_registry_table_is_generated_from_the_pinned_registry():
    generator = load_generator()
    assert generator.generate() == generator.OUTPUT.read_text(encoding="utf-8")
    assert len(REGISTRY) == 89


# Filed by the registry under their parent country, with its layout; listed on their own by schwifty.
TERRITORIES = {"FR": "BL GF GP MF MQ NC PF PM RE TF WF YT", "GB": "GG IM JE", "FI": "AX"}


def test_registry_agrees_with_schwifty():
    for parent, codes in TERRITORIES.items():
        for code in codes.split():
            assert SCHWIFTY.pop(code)["bban_spec"] == REGISTRY[parent], code
    assert set(SCHWIFTY) == set(REGISTRY)
    for country, layout in REGISTRY.items():
        assert SCHWIFTY[country]["iban_length"] == 4 + len(places(layout)), country
    # schwifty opens Brazil's bank code (8!c) and account type (1!c) to either class, where
    # release 101 of the registry has 8!n and 1!a; the registry is our source.
    assert [c for c in REGISTRY if places(SCHWIFTY[c]["bban_spec"]) != places(REGISTRY[c])] == ["BR"]


def test_plain_table_holds_the_registry_countries_with_their_lengths():
    rng = random.Random(89)
    supported = {a + b for a in LETTERS for b in LETTERS
                 if _cobalis.validate_iban(a + b + "00" + "0" * 20)["error"] != "unsupported_country"}
    assert supported == set(REGISTRY)
    for country in REGISTRY:
        iban = with_check_digits(country, random_bban(country, rng))
        assert _cobalis.validate_iban(iban)["bban_length"] == len(places(REGISTRY[country])), country


@pytest.mark.parametrize("country", sorted(REGISTRY))
def test_every_place_of_the_bban_takes_its_class(country):
    rng = random.Random(country)
    bban = random_bban(country, rng)
    for i, cls in enumerate(places(REGISTRY[country])):
        for char, allowed in ((rng.choice(DIGITS), cls != "a"), (rng.choice(LETTERS), cls != "n")):
            iban = with_check_digits(country, put(bban, {i}, char))
            assert _cobalis.is_valid_iban(iban)
            # The national check comes after the layout: its failure still means the layout held.
            assert (strict.validate_iban(iban)["error"] != "invalid_structure") is allowed, (iban, i)


# ---- national check digits, against the peers ----------------------------------

# The BBAN places of each country's national check, run through every value they can hold. Czech
# and Slovak numbers have no check digit of their own: the last digits of the prefix and of the
# account number are run through instead.
NATIONAL_PLACES = {
    "BA": (14, 15), "ME": (16, 17), "MK": (13, 14), "PT": (19, 20), "RS": (16, 17), "SI": (13, 14),
    "TL": (17, 18), "XK": (14, 15), "MR": (21, 22), "TN": (18, 19), "BE": (10, 11), "CZ": (9, 19), "SK": (9, 19),
    "EE": (15,), "ES": (8, 9), "FI": (13,), "FR": (21, 22), "MC": (21, 22), "IS": (20,), "IT": (0,), "SM": (0,),
    "NO": (10,), "PL": (7,),
}
STDNUM_NATIONAL = {"BE", "ES", "ME", "NO"}  # the countries whose national digits python-stdnum checks


def generated_ibans(country, rng):
    """Random BBANs of the country's layout with their national check places run through every
    value, and with one place changed to any letter or digit; correct IBAN check digits throughout."""
    layout = places(REGISTRY[country])
    for _ in range(2):
        bban = random_bban(country, rng)
        if country == "BE":  # a bank on python-stdnum's list, which it requires (see stdnum_disagrees)
            while not stdnum_be_iban.info("BE00" + bban):
                bban = random_bban(country, rng)
        at = NATIONAL_PLACES.get(country, ())
        for values in itertools.product(*(CLASSES[layout[i]] for i in at)):
            yield with_check_digits(country, put(bban, set(at), values))
        yield with_check_digits(country, put(bban, {rng.randrange(len(bban))}, rng.choice(CLASSES["c"])))


def ours(iban):
    """(valid under the registry layout, valid under the national check too)."""
    error = strict.validate_iban(iban)["error"]
    assert error in (None, "invalid_structure", "invalid_checksum") and _cobalis.is_valid_iban(iban)
    return error != "invalid_structure", error is None


def schwifty_valid(iban, national):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # national digits it cannot check (AL, HU, ...) are reported so
        try:
            return bool(schwifty.IBAN(iban, validate_bban=national))
        except schwifty.exceptions.SchwiftyException:
            return False


def schwifty_disagrees(iban):
    """Why schwifty's verdict may differ from ours, the authority's, on a well-formed IBAN."""
    if iban[:2] == "BR" and not re.fullmatch(r"\d{8}\d{5}\d{10}[A-Z][A-Z0-9]", iban[4:]):
        return "schwifty's Brazilian layout is looser than the registry's (see test_registry_agrees_with_schwifty)"
    return None


def stdnum_disagrees(iban):
    """Why python-stdnum's verdict may differ from ours, the authority's, on a well-formed IBAN."""
    bban = iban[4:]
    if iban[:2] == "BE" and not stdnum_be_iban.info(iban):
        return "python-stdnum also requires the Belgian bank on its list: a register lookup, which we never make"
    if iban[:2] == "NO" and bban.startswith("0000"):
        return ("python-stdnum reads a Norwegian account starting 0000 as an old 7-digit postal giro number with a "
                "Luhn check; in an IBAN it is the 11-digit account number with its MOD 11 check (as schwifty)")
    if iban[:2] == "ME" and bban[-2:] in ("00", "01", "99"):
        return ("python-stdnum takes any key that makes the BBAN leave 1 mod 97; MOD 97-10 computes keys 02..98 "
                "only, so 00, 01 and 99 stand for 97, 98 and 02 and are refused (as schwifty)")
    return None


def compare_with_peers(iban):
    layout_ok, national_ok = ours(iban)
    country = iban[:2]
    checked = country in NATIONAL_PLACES
    if not schwifty_disagrees(iban):
        # Where we check no national digits, schwifty judges the layout only (its German checks are
        # bank-specific methods, which we leave out).
        assert schwifty_valid(iban, national=checked) is national_ok, iban
    if not stdnum_disagrees(iban):
        assert stdnum_iban.is_valid(iban) is (national_ok if country in STDNUM_NATIONAL else layout_ok), iban
    return national_ok


@pytest.mark.parametrize("country", sorted(REGISTRY))
def test_generated_ibans_against_the_peers(country):
    verdicts = [compare_with_peers(iban) for iban in generated_ibans(country, random.Random(country))]
    assert any(verdicts)
    if country in NATIONAL_PLACES:
        assert not all(verdicts)


def test_peer_disagreements_are_the_documented_ones():
    # Built to hit each case: the authority's verdict is ours and schwifty's, python-stdnum differs.
    number = f"{97 * 12345678901234:016d}"  # a Montenegrin bank and account number dividing by 97 ...
    me98, me01 = (with_check_digits("ME", number + key) for key in ("98", "01"))  # ... takes the key 98
    assert (strict.is_valid_iban(me98), schwifty_valid(me98, True), stdnum_iban.is_valid(me98)) == (True,) * 3
    assert (strict.is_valid_iban(me01), schwifty_valid(me01, True), stdnum_iban.is_valid(me01)) == (False, False, True)
    no = with_check_digits("NO", "00001000009")  # Luhn holds on 1000009, MOD 11 does not on the whole
    assert (strict.is_valid_iban(no), schwifty_valid(no, True), stdnum_iban.is_valid(no)) == (False, False, True)
    assert stdnum_disagrees(me01) and stdnum_disagrees(no)


# ---- real IBANs ----------------------------------------------------------------

def test_real_ibans():
    for text in real("stdnum_iban_valid.txt"):
        plain, ours = _cobalis.validate_iban(text), strict.validate_iban(text)
        assert list(ours) == list(plain) + ["bank_code", "branch_code"], text
        assert {key: ours[key] for key in plain} == plain, text
        compare_with_peers(plain["compact"])
    for text in real("stdnum_iban_bad_check.txt"):
        assert strict.validate_iban(text) == _cobalis.validate_iban(text), text
        assert not strict.is_valid_iban(text)
    layouts = {text: strict.validate_iban(text)["error"] for text in real("stdnum_iban_bad_layout.txt")}
    assert layouts == {"BG93 BNBG 9661 1A20 3456 78": "invalid_structure", "GI22 NW3K 0000 0000 7099 453":
                       "invalid_structure", "NL56 3003 0A17 1643 00": "invalid_structure",
                       "QQ93 1234 5678": "unsupported_country"}
    for text in real("stdnum_iban_bad_national_check.txt"):
        assert _cobalis.is_valid_iban(text) and strict.validate_iban(text)["error"] == "invalid_checksum", text
        compare_with_peers(_cobalis.validate_iban(text)["compact"])


# ---- check digits the standard never issues ------------------------------------

ALIASES = {"02": "99", "97": "00", "98": "01"}  # each pair leaves the same remainder MOD 97


def test_alias_check_digits_are_refused():
    rng = random.Random(13616)
    for country in sorted(REGISTRY):
        found = {}
        while len(found) < len(ALIASES):
            iban = with_check_digits(country, random_bban(country, rng))
            if iban[2:4] in ALIASES:
                found[iban[2:4]] = iban
        for digits, iban in found.items():
            alias = iban[:2] + ALIASES[digits] + iban[4:]
            assert _cobalis.is_valid_iban(alias) and strict.validate_iban(alias)["error"] == "invalid_checksum", alias
            assert not schwifty_valid(alias, national=False), alias
            # python-stdnum checks MOD 97-10 only, and takes the aliases (a departure: the standard
            # computes 02 to 98); where it checks national digits too, those may fail first.
            assert stdnum_iban.is_valid(alias) or country in STDNUM_NATIONAL, alias
            assert strict.validate_iban(iban)["error"] != "invalid_checksum" or country in NATIONAL_PLACES, iban


# ---- the bank and branch identifiers -------------------------------------------

# The registry's own examples, with the bank and branch identifiers it marks out.
REGISTRY_EXAMPLES = [
    ("GB29 NWBK 6016 1331 9268 19", "NWBK", "601613"),
    ("DE89 3704 0044 0532 0130 00", "37040044", None),
    ("FR14 2004 1010 0505 0001 3M02 606", "20041", None),
    ("IT60 X054 2811 1010 0000 0123 456", "05428", "11101"),
    ("ES91 2100 0418 4502 0005 1332", "2100", "0418"),
    ("AT61 1904 3002 3457 3201", "19043", None),
    ("BR18 0036 0305 0000 1000 9795 493C 1", "00360305", "00001"),
    ("NL91 ABNA 0417 1643 00", "ABNA", None),
    ("CH93 0076 2011 6238 5295 7", "00762", None),
    ("MU17 BOMM 0101 1010 3030 0200 000M UR", "BOMM01", "01"),
]


@pytest.mark.parametrize("text, bank, branch", REGISTRY_EXAMPLES)
def test_registry_examples_give_their_bank_and_branch(text, bank, branch):
    ours = strict.validate_iban(text)
    assert (ours["is_valid"], ours["bank_code"], ours["branch_code"]) == (True, bank, branch)
    assert "bank_code" not in _cobalis.validate_iban(text)


# schwifty corrects the registry's places for these countries from their national standards (its
# overwrite.json): it reads a branch identifier out of the registry's bank or account field, or (AL)
# leaves the national check digit out of the branch. We give the registry's places.
SCHWIFTY_CORRECTED = {"AL", "CZ", "EE", "FR", "PT", "SI", "SK"}


def strict_valid_iban(country, rng):
    """A real IBAN of the country where python-stdnum's examples hold one, else a generated one."""
    for text in real("stdnum_iban_valid.txt"):
        if text.startswith(country) and strict.is_valid_iban(text):
            return strict.validate_iban(text)["compact"]
    while not strict.is_valid_iban(iban := with_check_digits(country, random_bban(country, rng))):
        pass
    return iban


@pytest.mark.parametrize("country", sorted(REGISTRY))
def test_bank_and_branch_codes_stand_at_the_registry_places(country):
    iban = strict_valid_iban(country, random.Random(country))
    ours = strict.validate_iban(iban)
    positions, bban = SCHWIFTY[country]["positions"], iban[4:]
    expected = (bban[slice(*positions["bank_code"])],
                bban[slice(*positions["branch_code"])] if "branch_code" in positions else None)
    assert (ours["bank_code"], ours["branch_code"]) == expected, iban
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        theirs = schwifty.IBAN(iban, validate_bban=False)
    assert ((theirs.bank_code, theirs.branch_code or None) == expected) is (country not in SCHWIFTY_CORRECTED), iban
