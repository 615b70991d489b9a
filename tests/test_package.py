"""The cobalis package: what it re-exports, and that its type information
describes the dictionaries the functions really return."""

import ast
import inspect
import pathlib
import types
import typing

import _cobalis
import _cobalis_batch
import _cobalis_strict
import cobalis
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from cobalis import _types, strict
from conftest import FUNCTION_TABLE, PARAMETER, REGISTERED

PACKAGE = pathlib.Path(cobalis.__file__).resolve().parent
STUB_NAMES = [name for name, _ in FUNCTION_TABLE]
ALL_REGISTERED = len(REGISTERED) == len(FUNCTION_TABLE)


def stub_text(which):
    """The source of a shipped stub: "_cobalis" or "cobalis"."""
    if which == "cobalis":
        return (PACKAGE / "__init__.pyi").read_text()
    for candidate in (PACKAGE.parent / "_cobalis.pyi", PACKAGE.parent / "_cobalis-stubs" / "__init__.pyi"):
        if candidate.exists():
            return candidate.read_text()
    pytest.fail("no stub for _cobalis beside the cobalis package")


def stub_all(tree):
    for node in tree.body:
        if isinstance(node, ast.Assign) and [t.id for t in node.targets if isinstance(t, ast.Name)] == ["__all__"]:
            return ast.literal_eval(node.value)
    raise AssertionError("the stub has no __all__")


EXTENSION_STUB = ast.parse(stub_text("_cobalis"))
STUB_DEFS = {node.name: node for node in EXTENSION_STUB.body if isinstance(node, ast.FunctionDef)}


# --- the package ------------------------------------------------------------


BATCH_NAMES = ["is_valid", "validate"]
REPAIR_NAMES = ["explain", "suggest"]


def test_reexports_the_same_function_objects_and_the_column_functions():
    assert cobalis.__all__ == _cobalis.__all__ + BATCH_NAMES + REPAIR_NAMES
    for name in _cobalis.__all__:
        assert getattr(cobalis, name) is getattr(_cobalis, name)
    assert cobalis.is_valid("iban", ["GB82 WEST 1234 5698 7654 32", "bad", None]) == [True, False, None]


def test_version_is_a_string_of_the_installed_distribution():
    from importlib.metadata import PackageNotFoundError, version

    try:
        assert cobalis.__version__ == version("cobalis")
    except PackageNotFoundError:
        assert cobalis.__version__ == "0+unknown"


def test_py_typed_marker_ships():
    assert (PACKAGE / "py.typed").is_file()


# --- the stubs against the module -------------------------------------------


@pytest.mark.parametrize("which", ["_cobalis", "cobalis"])
def test_stub_all_lists_the_functions_in_registration_order(which):
    names = stub_all(ast.parse(stub_text(which)))
    if which == "cobalis":
        added = BATCH_NAMES + REPAIR_NAMES
        assert names[-len(added):] == added
        names = names[:-len(added)]
    assert names == STUB_NAMES
    # The module's own __all__ is the stub's, less what this build lacks.
    assert [name for name in names if name in REGISTERED] == _cobalis.__all__


def test_stub_all_equals_module_all():
    if not ALL_REGISTERED:
        pytest.skip("this build does not register all 28 functions yet")
    assert stub_all(EXTENSION_STUB) == _cobalis.__all__


def test_stub_defines_each_function_once_in_order_with_its_parameter():
    assert list(STUB_DEFS) == STUB_NAMES
    for name, node in STUB_DEFS.items():
        assert [a.arg for a in node.args.args] == [PARAMETER[name]]
        assert ast.unparse(node.args.args[0].annotation) == "str"


@pytest.mark.parametrize("name", REGISTERED)
def test_stub_parameter_matches_the_runtime_signature(name):
    runtime = list(inspect.signature(getattr(_cobalis, name)).parameters)
    assert runtime == [a.arg for a in STUB_DEFS[name].args.args]


def returned(name):
    """The annotation the stub gives `name`'s result, as a runtime object."""
    source = ast.unparse(STUB_DEFS[name].returns)
    return eval(source, {**vars(_types), "bool": bool, "int": int})  # noqa: S307 (our own stub)


def test_stub_return_types():
    for name in STUB_NAMES:
        kind = name.split("_", 1)[1]
        if name.startswith("validate_"):
            assert returned(name) is getattr(_types, RESULT_TYPES[kind].__name__)
        elif name.startswith("get_"):
            assert typing.get_origin(returned(name)) in (typing.Union, types.UnionType)
        else:
            assert returned(name) is (int if name == "luhn_generate" else bool)


# --- the TypedDicts against real results ------------------------------------



RESULT_TYPES = {
    "iban": _types.IbanResult, "bic": _types.BicResult, "credit_card": _types.CreditCardResult,
    "isbn": _types.IsbnResult, "issn": _types.IssnResult, "isin": _types.IsinResult,
    "lei": _types.LeiResult, "ean": _types.EanResult, "vat": _types.VatResult, "email": _types.EmailResult,
}

# Valid inputs, covering each optional detail both present and absent.
VALID = [
    ("iban", "GB82 WEST 1234 5698 7654 32"),
    ("bic", "ABCDGB2L"), ("bic", "ABCDGB2L123"),
    ("credit_card", "4111 1111 1111 1111"), ("credit_card", "378282246310005"),
    ("isbn", "0-306-40615-2"), ("isbn", "979-10-90636-07-1"),
    ("issn", "0378-5955"),
    ("isin", "US0378331005"),
    ("lei", "ABCD00EFGHIJ12345615"),
    ("ean", "4006381333931"), ("ean", "73513537"),
    ("vat", "DE123456789"), ("vat", "EL094259216"),
    ("email", "info@example.com"),
]

# For every kind, an input for each error code its type admits, and no more.
ERRORS = {
    "iban": {
        "invalid_charset": "A" * 300, "invalid_length": "", "invalid_country": "1B82WEST12345698765432",
        "invalid_structure": "GBAAWEST12345698765432", "unsupported_country": "XX82WEST12345698765432",
        "invalid_checksum": "GB82WEST12345698765433",
    },
    "bic": {"invalid_charset": "AB1DGB2L", "invalid_length": "ABCDGB2L12", "invalid_country": "ABCD1B2L"},
    "credit_card": {
        "invalid_length": "12345678903", "invalid_charset": "4111x111111111111", "invalid_checksum": "123456789012",
    },
    "isbn": {
        "invalid_length": "ISBN 0306406152", "invalid_charset": "03064X6152", "invalid_checksum": "0306406153",
        "invalid_prefix": "9770306406157",
    },
    "issn": {"invalid_charset": "0378.5955", "invalid_length": "0378-595", "invalid_checksum": "0378-5956"},
    "isin": {
        "invalid_charset": "US03783310!5", "invalid_length": "US037833100", "invalid_country": "1S0378331005",
        "invalid_checksum": "US0378331006",
    },
    "lei": {
        "invalid_charset": "ABCD00EFGHIJ1234560!", "invalid_length": "ABCD00EFGHIJ123456",
        "invalid_checksum": "ABCD00EFGHIJ12345610",
    },
    "ean": {"invalid_length": "400638133393", "invalid_charset": "400638133393A", "invalid_checksum": "4006381333932"},
    "vat": {
        "invalid_charset": "DE" + "1" * 253, "invalid_length": "DE1", "invalid_country": "123456789",
        "invalid_structure": "DE/123456789", "unsupported_country": "XI123456789",
    },
    "email": {"invalid_length": "a@", "invalid_structure": "a@b", "invalid_charset": "a b@example.com"},
}
INVALID = [(kind, code, text) for kind, codes in ERRORS.items() for code, text in codes.items()]


def type_arguments(result_type):
    """(kind Literal, error Literal) of a result TypedDict."""
    (base,) = result_type.__orig_bases__
    return typing.get_args(base)


def conforms(value, hint):
    """Whether `value` is of the (simple) type `hint`, exactly: True is not an int here."""
    origin, arguments = typing.get_origin(hint), typing.get_args(hint)
    if origin is typing.Literal:
        return value in arguments
    if origin in (typing.Union, types.UnionType):
        return any(conforms(value, argument) for argument in arguments)
    if origin is list:
        return type(value) is list and all(conforms(item, arguments[0]) for item in value)
    if hint is type(None):
        return value is None
    return type(value) is hint


def hints(record_type, kind_literal=None, error_literal=None):
    found = typing.get_type_hints(record_type)
    if kind_literal is not None:
        found["kind"], found["error"] = kind_literal, error_literal | None
    return found


def function(kind):
    name = "validate_" + kind
    if not hasattr(_cobalis, name):
        pytest.skip(f"{name} is not in this build yet")
    return getattr(_cobalis, name)


@pytest.mark.parametrize("kind, text", VALID)
def test_valid_result_has_the_typed_keys_in_order_and_types(kind, text):
    result = function(kind)(text)
    assert result["is_valid"] is True
    result_type = RESULT_TYPES[kind]
    assert list(result) == list(result_type.__annotations__)
    kind_literal, error_literal = type_arguments(result_type)
    for key, hint in hints(result_type, kind_literal, error_literal).items():
        assert conforms(result[key], hint), (key, result[key], hint)


@pytest.mark.parametrize("kind, code, text", INVALID)
def test_invalid_result_has_the_required_keys_and_a_typed_error(kind, code, text):
    result = function(kind)(text)
    result_type = RESULT_TYPES[kind]
    assert list(result) == [key for key in result_type.__annotations__ if key in result_type.__required_keys__]
    assert result["error"] == code
    kind_literal, error_literal = type_arguments(result_type)
    for key, hint in hints(result_type, kind_literal, error_literal).items():
        if key in result:
            assert conforms(result[key], hint), (key, result[key], hint)


@pytest.mark.parametrize("kind", RESULT_TYPES)
def test_error_literal_lists_exactly_the_codes_exercised(kind):
    kind_literal, error_literal = type_arguments(RESULT_TYPES[kind])
    assert typing.get_args(kind_literal) == (kind,)
    assert set(typing.get_args(error_literal)) == set(ERRORS[kind])
    assert set(typing.get_args(error_literal)) <= set(typing.get_args(_types.ErrorCode))


@pytest.mark.parametrize("kind", RESULT_TYPES)
def test_required_keys_are_the_five_common_ones(kind):
    result_type = RESULT_TYPES[kind]
    common = ["is_valid", "compact", "formatted", "error", "kind"]
    assert list(result_type.__annotations__)[:5] == common
    assert result_type.__required_keys__ == set(common)


LOOKUPS = [
    ("get_country", "stub", _types.CountryRecord),
    ("get_country_by_alpha3", "stub", _types.CountryRecord),
    ("get_currency", "EUR", _types.CurrencyRecord),
    ("get_currency", "XDR", _types.CurrencyRecord),
    ("get_vat_rate", "CH", _types.VatRateRecord),
    ("get_vat_rate", "DK", _types.VatRateRecord),
]


@pytest.mark.parametrize("name, key, record_type", LOOKUPS)
def test_lookup_record_has_the_typed_keys_in_order_and_types(name, key, record_type):
    if not hasattr(_cobalis, name):
        pytest.skip(f"{name} is not in this build yet")
    record = getattr(_cobalis, name)(key)
    assert returned(name) == record_type | None
    assert list(record) == list(record_type.__annotations__)
    for field, hint in hints(record_type).items():
        assert conforms(record[field], hint), (field, record[field], hint)


VALID_BY_KIND = {}
for _kind, _text in VALID:
    VALID_BY_KIND.setdefault(_kind, []).append(_text)


@st.composite
def candidates(draw, kind):
    """Arbitrary text, or a valid id with one character replaced, dropped or doubled."""
    if draw(st.booleans()):
        return draw(st.text(max_size=40))
    text = draw(st.sampled_from(VALID_BY_KIND[kind]))
    at = draw(st.integers(0, len(text) - 1))
    change = draw(st.sampled_from(["replace", "drop", "double"]))
    if change == "drop":
        return text[:at] + text[at + 1:]
    if change == "double":
        return text[:at] + text[at] + text[at:]
    return text[:at] + draw(st.characters(max_codepoint=0x7F)) + text[at + 1:]


@pytest.mark.parametrize("kind", RESULT_TYPES)
def test_every_error_given_is_one_the_type_admits(kind):
    validate = function(kind)
    _, error_literal = type_arguments(RESULT_TYPES[kind])
    admitted = set(typing.get_args(error_literal))

    @settings(max_examples=300, deadline=None)
    @given(candidates(kind))
    def check(text):
        result = validate(text)
        assert (result["error"] is None) == result["is_valid"]
        assert result["is_valid"] or result["error"] in admitted

    check()


# --- one list of kinds --------------------------------------------------------


def test_kinds_agree_across_modules_types_and_stubs():
    """The kinds the modules have, with their detail keys and strict rules, are those that _types.py and every
    stub state."""
    kinds = [name.removeprefix("validate_") for name in _cobalis.__all__ if name.startswith("validate_")]
    assert list(typing.get_args(_types.Kind)) == kinds == list(_cobalis_batch.VALIDATE_KINDS)
    strict_stub = ast.parse((PACKAGE.parent / "_cobalis_strict.pyi").read_text())
    strict_defs = {node.name: node for node in strict_stub.body if isinstance(node, ast.FunctionDef)}
    assert list(strict_defs) == _cobalis_strict.__all__
    # cobalis.strict's stub names each function with the module it really comes from.
    package_stub = ast.parse((PACKAGE / "strict.pyi").read_text())
    assert stub_all(package_stub) == strict.__all__
    imported = {alias.asname: node.module for node in package_stub.body if isinstance(node, ast.ImportFrom)
                for alias in node.names}
    assert imported == {name: getattr(strict, name).__module__ for name in strict.__all__}
    detail_keys = {}
    for kind in kinds:
        result = getattr(_cobalis, "validate_" + kind)(VALID_BY_KIND[kind][0])
        result_type = returned("validate_" + kind)
        assert typing.get_args(type_arguments(result_type)[0]) == (kind,)
        assert list(result) == list(result_type.__annotations__)
        detail_keys[kind] = tuple(result)[5:]
        if "validate_" + kind in strict_defs:
            strict_type = eval(ast.unparse(strict_defs["validate_" + kind].returns), vars(_types))  # noqa: S307
            strict_validate = getattr(_cobalis_strict, "validate_" + kind)
            strict_result = next(r for r in map(strict_validate, VALID_BY_KIND[kind]) if r["is_valid"])
            assert list(strict_type.__annotations__) == list(strict_result)
    if not hasattr(_cobalis_batch, "KINDS"):
        pytest.skip("_cobalis_batch.KINDS is not in this build yet")
    assert _cobalis_batch.KINDS == tuple(
        (kind, detail_keys[kind], "validate_" + kind in _cobalis_strict.__all__) for kind in kinds
    )
