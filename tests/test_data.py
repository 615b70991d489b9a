"""Reference data: countries, currencies and VAT rates, and the IBAN length table.

The currency and VAT rate tables are checked against pinned copies of their
sources (the test extra pins them): ISO 4217 List One as packaged in
`iso4217`, and the European Commission's TEDB as packaged in
`eu-vat-rates-data`. Updating the data is a new pin plus the table.
"""
import collections
import datetime
import string
import struct
import unicodedata

import _cobalis
import eu_vat_rates_data
import iso4217
import pytest
from hypothesis import given
from hypothesis import strategies as st

# Every symbol, non-ASCII characters written as their code points.
SYMBOLS = {
    "AED": "\u062f.\u0625", "AFN": "\u060b", "ALL": "L", "AMD": "\u058f", "AOA": "Kz", "ARS": "$", "AUD": "A$",
    "AWG": "\u0192", "AZN": "\u20bc", "BAM": "KM", "BBD": "Bds$", "BDT": "\u09f3", "BHD": ".\u062f.\u0628",
    "BIF": "FBu", "BMD": "$", "BND": "B$", "BOB": "Bs.", "BOV": "BOV", "BRL": "R$", "BSD": "$", "BTN": "Nu.",
    "BWP": "P", "BYN": "Br", "BZD": "BZ$", "CAD": "CA$", "CDF": "FC", "CHE": "CHE", "CHF": "Fr.", "CHW": "CHW",
    "CLF": "CLF", "CLP": "$", "CNY": "\u00a5", "COP": "$", "COU": "COU", "CRC": "\u20a1", "CUP": "\u20b1",
    "CVE": "$", "CZK": "K\u010d", "DJF": "Fdj", "DKK": "kr", "DOP": "RD$", "DZD": "\u062f.\u062c",
    "EGP": "E\u00a3", "ERN": "Nfk", "ETB": "Br", "EUR": "\u20ac", "FJD": "FJ$", "FKP": "\u00a3", "GBP": "\u00a3",
    "GEL": "\u20be", "GHS": "GH\u20b5", "GIP": "\u00a3", "GMD": "D", "GNF": "FG", "GTQ": "Q", "GYD": "G$",
    "HKD": "HK$", "HNL": "L", "HTG": "G", "HUF": "Ft", "IDR": "Rp", "ILS": "\u20aa", "INR": "\u20b9",
    "IQD": "\u0639.\u062f", "IRR": "\ufdfc", "ISK": "kr", "JMD": "J$", "JOD": "\u062f.\u0627", "JPY": "\u00a5",
    "KES": "KSh", "KGS": "\u043b\u0432", "KHR": "\u17db", "KMF": "CF", "KPW": "\u20a9", "KRW": "\u20a9",
    "KWD": "\u062f.\u0643", "KYD": "CI$", "KZT": "\u20b8", "LAK": "\u20ad", "LBP": "\u0644.\u0644", "LKR": "Rs",
    "LRD": "L$", "LSL": "M", "LYD": "\u0644.\u062f", "MAD": "\u062f.\u0645.", "MDL": "L", "MGA": "Ar",
    "MKD": "\u0434\u0435\u043d", "MMK": "K", "MNT": "\u20ae", "MOP": "MOP$", "MRU": "UM", "MUR": "\u20a8",
    "MVR": "Rf", "MWK": "MK", "MXN": "MX$", "MXV": "MXV", "MYR": "RM", "MZN": "MT", "NAD": "N$", "NGN": "\u20a6",
    "NIO": "C$", "NOK": "kr", "NPR": "\u20a8", "NZD": "NZ$", "OMR": "\u0631.\u0639.", "PAB": "B/.", "PEN": "S/.",
    "PGK": "K", "PHP": "\u20b1", "PKR": "\u20a8", "PLN": "z\u0142", "PYG": "\u20b2", "QAR": "\u0631.\u0642",
    "RON": "lei", "RSD": "din.", "RUB": "\u20bd", "RWF": "RF", "SAR": "\u0631.\u0633", "SBD": "SI$",
    "SCR": "\u20a8", "SDG": "\u062c.\u0633.", "SEK": "kr", "SGD": "S$", "SHP": "\u00a3", "SLE": "Le", "SOS": "Sh",
    "SRD": "Sr$", "SSP": "SS\u00a3", "STN": "Db", "SVC": "\u20a1", "SYP": "\u00a3S", "SZL": "E", "THB": "\u0e3f",
    "TJS": "SM", "TMT": "T", "TND": "\u062f.\u062a", "TOP": "T$", "TRY": "\u20ba", "TTD": "TT$", "TWD": "NT$",
    "TZS": "TSh", "UAH": "\u20b4", "UGX": "USh", "USD": "$", "USN": "$", "UYI": "UYI", "UYU": "$U", "UYW": "UYW",
    "UZS": "\u0441\u045e\u043c", "VED": "VED", "VES": "Bs.S", "VND": "\u20ab", "VUV": "VT", "WST": "WS$",
    "XAD": "XAD", "XAF": "FCFA", "XCD": "EC$", "XCG": "Cg", "XDR": "SDR", "XOF": "CFA", "XPF": "\u20a3",
    "XSU": "XSU", "XUA": "XUA", "YER": "\ufdfc", "ZAR": "R", "ZMW": "ZK", "ZWG": "ZiG",
}

CURRENCY_CODES = sorted(SYMBOLS)

# Percentages as written; the table holds the nearest 32-bit floats.
VAT_RATES = {
    "AT": (20.0, [10.0, 13.0]), "BE": (21.0, [6.0, 12.0]), "BG": (20.0, [9.0]), "CH": (8.1, [2.6, 3.8]),
    "CY": (19.0, [5.0, 9.0]), "CZ": (21.0, [12.0]), "DE": (19.0, [7.0]), "DK": (25.0, []), "EE": (24.0, [9.0, 13.0]),
    "ES": (21.0, [4.0, 10.0]), "FI": (25.5, [10.0, 13.5]), "FR": (20.0, [5.5, 10.0]), "GB": (20.0, [5.0]),
    "GR": (24.0, [6.0, 13.0]), "HR": (25.0, [5.0, 13.0]), "HU": (27.0, [5.0, 18.0]), "IE": (23.0, [9.0, 13.5]),
    "IS": (24.0, [11.0]), "IT": (22.0, [4.0, 5.0, 10.0]), "LT": (21.0, [5.0, 12.0]),
    "LU": (17.0, [3.0, 8.0, 14.0]), "LV": (21.0, [5.0, 12.0]), "MT": (18.0, [5.0, 7.0]), "NL": (21.0, [9.0]),
    "NO": (25.0, [12.0, 15.0]), "PL": (23.0, [5.0, 8.0]), "PT": (23.0, [6.0, 13.0]), "RO": (21.0, [11.0]),
    "SE": (25.0, [6.0, 12.0]), "SI": (22.0, [5.0, 9.5]), "SK": (23.0, [5.0, 19.0]),
}

CURRENCY_KEYS = ["code", "numeric", "name", "symbol", "decimals", "countries"]
VAT_KEYS = ["country", "standard_rate", "reduced_rates"]
STUB = {
    "alpha2": "stub", "alpha3": "stub", "numeric": 0, "name": "stub", "official_name": None, "common_name": None,
    "flag": "", "currency": "", "calling_code": "", "tld": "", "eu_member": False, "iban_length": None,
}


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def all_currencies():
    return {code: _cobalis.get_currency(code) for code in CURRENCY_CODES}


def test_every_currency_code_finds_its_own_record():
    assert len(CURRENCY_CODES) == 168
    currencies = all_currencies()
    for code, c in currencies.items():
        assert c is not None, code
        assert list(c) == CURRENCY_KEYS
        assert c["code"] == code
        assert type(c["numeric"]) is int and type(c["decimals"]) is int and c["name"]
        assert all(len(cc) == 2 and set(cc) <= set(string.ascii_uppercase) for cc in c["countries"]), code
    assert len({c["numeric"] for c in currencies.values()}) == 168


def test_currency_summary_facts():
    currencies = all_currencies()
    by_decimals = collections.defaultdict(set)
    for code, c in currencies.items():
        by_decimals[c["decimals"]].add(code)
    assert {d: len(codes) for d, codes in by_decimals.items()} == {0: 20, 2: 139, 3: 7, 4: 2}
    assert by_decimals[3] == {"BHD", "IQD", "JOD", "KWD", "LYD", "OMR", "TND"}
    assert by_decimals[4] == {"CLF", "UYW"}
    assert {code for code, c in currencies.items() if c["symbol"] == code} == {
        "BOV", "CHE", "CHW", "CLF", "COU", "MXV", "UYI", "UYW", "VED", "XAD", "XSU", "XUA"}
    assert {code for code, c in currencies.items() if not c["countries"]} == {"XAD", "XDR", "XSU", "XUA"}


def test_every_symbol_has_its_code_points():
    code_points = {code: [f"U+{ord(ch):04X}" for ch in c["symbol"]] for code, c in all_currencies().items()}
    assert code_points == {code: [f"U+{ord(ch):04X}" for ch in s] for code, s in SYMBOLS.items()}


def test_every_vat_rate_is_a_widened_32_bit_float():
    for country, (standard, reduced) in VAT_RATES.items():
        r = _cobalis.get_vat_rate(country)
        assert list(r) == VAT_KEYS and r["country"] == country
        rates = [r["standard_rate"], *r["reduced_rates"]]
        assert all(type(x) is float and f32(x) == x for x in rates), country
        assert rates == [f32(x) for x in [standard, *reduced]], country
    assert len(VAT_RATES) == 31


def test_iban_length_table_has_89_countries():
    def accepted_lengths(country):
        return [n for n in range(5, 40)
                if _cobalis.validate_iban(country + "00" + "0" * (n - 4))["error"] != "invalid_length"]

    pairs = [a + b for a in string.ascii_uppercase for b in string.ascii_uppercase]
    known = [cc for cc in pairs if _cobalis.validate_iban(cc + "00" + "0" * 11)["error"] != "unsupported_country"]
    lengths = {cc: accepted_lengths(cc) for cc in known}
    assert len(known) == 89
    assert all(len(n) == 1 for n in lengths.values())
    assert min(lengths.items(), key=lambda i: i[1]) == ("NO", [15])
    assert max(lengths.items(), key=lambda i: i[1]) == ("RU", [33])


EUR = {
    "code": "EUR", "numeric": 978, "name": "Euro", "symbol": "\u20ac", "decimals": 2,
    "countries": "AT BE BG CY DE EE ES FI FR GR HR IE IT LT LU LV MT NL PT SI SK".split(),
}


@pytest.mark.parametrize(
    "function, key, expected",
    [
        ("get_currency", "EUR", EUR),
        ("get_currency", "ALL", {"code": "ALL", "numeric": 8, "name": "Lek", "symbol": "L", "decimals": 2,
                                 "countries": ["AL"]}),
        ("get_currency", "XDR", {"code": "XDR", "numeric": 960, "name": "SDR (Special Drawing Right)",
                                 "symbol": "SDR", "decimals": 0, "countries": []}),
        ("get_currency", "USD", {"code": "USD", "numeric": 840, "name": "US Dollar", "symbol": "$", "decimals": 2,
                                 "countries": "US AS EC GU MH FM MP PW PR TL TC VG VI".split()}),
        ("get_currency", "INR", {"code": "INR", "numeric": 356, "name": "Indian Rupee", "symbol": "\u20b9",
                                 "decimals": 2, "countries": ["IN", "BT"]}),
        ("get_currency", "KWD", {"code": "KWD", "numeric": 414, "name": "Kuwaiti Dinar",
                                 "symbol": "\u062f.\u0643", "decimals": 3, "countries": ["KW"]}),
        ("get_currency", "CLF", {"code": "CLF", "numeric": 990, "name": "Unidad de Fomento", "symbol": "CLF",
                                 "decimals": 4, "countries": ["CL"]}),
        ("get_currency", "XCG", {"code": "XCG", "numeric": 532, "name": "Caribbean Guilder", "symbol": "Cg",
                                 "decimals": 2, "countries": ["CW", "SX"]}),
        ("get_currency", "ZWG", {"code": "ZWG", "numeric": 924, "name": "Zimbabwe Gold", "symbol": "ZiG",
                                 "decimals": 2, "countries": ["ZW"]}),
        ("get_currency", "XAD", {"code": "XAD", "numeric": 396, "name": "Arab Accounting Dinar", "symbol": "XAD",
                                 "decimals": 2, "countries": []}),
        ("get_vat_rate", "CH", {"country": "CH", "standard_rate": 8.100000381469727,
                                "reduced_rates": [2.5999999046325684, 3.799999952316284]}),
        ("get_vat_rate", "DE", {"country": "DE", "standard_rate": 19.0, "reduced_rates": [7.0]}),
        ("get_vat_rate", "DK", {"country": "DK", "standard_rate": 25.0, "reduced_rates": []}),
        ("get_vat_rate", "IT", {"country": "IT", "standard_rate": 22.0, "reduced_rates": [4.0, 5.0, 10.0]}),
        ("get_vat_rate", "IE", {"country": "IE", "standard_rate": 23.0, "reduced_rates": [9.0, 13.5]}),
        ("get_vat_rate", "GR", {"country": "GR", "standard_rate": 24.0, "reduced_rates": [6.0, 13.0]}),
        ("get_vat_rate", "EE", {"country": "EE", "standard_rate": 24.0, "reduced_rates": [9.0, 13.0]}),
        ("get_vat_rate", "RO", {"country": "RO", "standard_rate": 21.0, "reduced_rates": [11.0]}),
        ("get_country", "stub", STUB),
        ("get_country_by_alpha3", "stub", STUB),
    ]
    + [("get_currency", key, None)
       for key in ["eur", "Eur", "EURO", "EU", "", " EUR", "EUR ", "EUR\x00", "XAU", "USS", "\u20ac",
                                                   "ANG", "BGN", "CUC", "ZWL"]]
    + [("get_vat_rate", key, None) for key in ["EL", "XI", "de", "", " DE", "DE ", "DEU", "US"]]
    + [("get_country", key, None) for key in ["US", "DE", "STUB", "Stub", "", " stub", "stub ", "stu", "stubs"]]
    + [("get_country_by_alpha3", key, None) for key in ["USA", "DEU", "STUB", "", " stub"]],
)
def test_telling_rows_and_absent_keys(function, key, expected):
    result = getattr(_cobalis, function)(key)
    assert result == expected
    if expected is not None:
        assert list(result) == list(expected)
        assert [type(v) for v in result.values()] == [type(v) for v in expected.values()]


@pytest.mark.parametrize(
    "function, key, list_key",
    [("get_currency", "EUR", "countries"), ("get_vat_rate", "IT", "reduced_rates"), ("get_country", "stub", None)],
)
def test_every_call_builds_fresh_objects(function, key, list_key):
    f = getattr(_cobalis, function)
    first, second = f(key), f(key)
    assert first == second and first is not second
    if list_key is not None:
        assert first[list_key] is not second[list_key]
        first[list_key].clear()
    first.clear()
    assert f(key) == second


KEYS = st.sampled_from(CURRENCY_CODES + list(VAT_RATES) + ["stub"])


@given(st.one_of(st.text(max_size=6), KEYS, KEYS.map(str.swapcase), KEYS.map(lambda k: k + " "),
                 KEYS.map(lambda k: k[1:])))
def test_only_exact_keys_are_found(text):
    assert (_cobalis.get_currency(text) is None) == (text not in CURRENCY_CODES)
    assert (_cobalis.get_vat_rate(text) is None) == (text not in VAT_RATES)
    assert (_cobalis.get_country(text) is None) == (text != "stub")
    assert (_cobalis.get_country_by_alpha3(text) is None) == (text != "stub")


# --- against the pinned sources ------------------------------------------------

# ISO 4217 List One codes that are no currency of the table: precious metals,
# bond-market units, the testing code and "no currency".
NOT_IN_TABLE = {"XAG", "XAU", "XPD", "XPT", "XBA", "XBB", "XBC", "XBD", "XTS", "XXX"}

# Rates the TEDB dataset lists among the reduced ones that apply only in part of
# a country: Jungholz and Mittelberg; Corsica and the overseas departments; the
# islands; Madeira and the Azores. The table gives national rates only.
REGIONAL_RATES = {"AT": {19.0}, "FR": {0.9, 1.05, 8.5, 13.0}, "GR": {17.0}, "PT": {16.0, 22.0}}


def test_pinned_sources_are_the_dated_releases():
    assert iso4217.__published__ == datetime.date(2026, 1, 1)
    assert eu_vat_rates_data.data_version == "2026-09-29"
    assert eu_vat_rates_data.dataset["source"] == "European Commission TEDB"


def ascii_name(name):
    """ISO's name as the table spells it: plain ASCII letters and apostrophe."""
    return unicodedata.normalize("NFKD", name.replace("\u2019", "'")).encode("ascii", "ignore").decode()


def test_currencies_are_iso_4217_list_one():
    iso = {code: entry for code, entry in iso4217.raw_table.items() if code is not None}
    assert NOT_IN_TABLE <= set(iso)
    assert sorted(set(iso) - NOT_IN_TABLE) == CURRENCY_CODES
    for code in CURRENCY_CODES:
        entry, c = iso[code], _cobalis.get_currency(code)
        minor_units = 0 if entry["CcyMnrUnts"] == "N.A." else int(entry["CcyMnrUnts"])
        assert (c["numeric"], c["decimals"], c["name"]) == (
            entry["CcyNbr"], minor_units, ascii_name(entry["CcyNm"])), code
    assert all(_cobalis.get_currency(code) is None for code in NOT_IN_TABLE)


def test_vat_rates_are_the_tedb_rates():
    source = eu_vat_rates_data.get_all_rates()
    for country in VAT_RATES:
        ours, theirs = _cobalis.get_vat_rate(country), source[country]
        assert ours["standard_rate"] == f32(theirs["standard"]), country
        national = {f32(x) for x in set(theirs["reduced"]) - REGIONAL_RATES.get(country, set())}
        listed = {f32(x) for x in [*theirs["reduced"], theirs["super_reduced"]] if x is not None}
        assert national <= set(ours["reduced_rates"]) <= listed, country
