import _cobalis
import pytest

# The 28 functions in their registration order, with each one's parameter.
FUNCTION_TABLE = [
    ("is_valid_iban", "input"), ("validate_iban", "input"),
    ("is_valid_bic", "input"), ("validate_bic", "input"),
    ("is_valid_credit_card", "input"), ("validate_credit_card", "input"),
    ("is_valid_isbn", "input"), ("validate_isbn", "input"),
    ("is_valid_issn", "input"), ("validate_issn", "input"),
    ("is_valid_isin", "input"), ("validate_isin", "input"),
    ("is_valid_lei", "input"), ("validate_lei", "input"),
    ("is_valid_ean", "input"), ("validate_ean", "input"),
    ("is_valid_vat", "input"), ("validate_vat", "input"),
    ("is_valid_email", "input"), ("validate_email", "input"),
    ("luhn_validate", "input"), ("luhn_generate", "input"),
    ("verhoeff_validate", "input"), ("damm_validate", "input"),
    ("get_country", "alpha2"), ("get_country_by_alpha3", "alpha3"),
    ("get_currency", "code"), ("get_vat_rate", "country"),
]
PARAMETER = dict(FUNCTION_TABLE)
REGISTERED = [name for name, _ in FUNCTION_TABLE if hasattr(_cobalis, name)]

COMMON_KEYS = ["is_valid", "compact", "formatted", "error", "kind"]
ERROR_CODES = {
    "invalid_length", "invalid_charset", "invalid_prefix", "invalid_checksum", "invalid_structure",
    "invalid_country", "unsupported_country", "unsupported_format", "unknown_format",
}


def registered_kinds():
    return [name[len("validate_"):] for name in REGISTERED if name.startswith("validate_")]


@pytest.fixture(params=REGISTERED)
def function_name(request):
    return request.param


# The pure-Python package `cobalis` lives in python/; an installed copy wins,
# a source tree (with the extension on PYTHONPATH) falls back to python/.
try:
    import cobalis  # noqa: F401
except ImportError:
    import pathlib
    import sys

    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "python"))


def load_tool(name):
    """A generator script of tools/ as a module; the test skips where it runs against an installed
    wheel without the source tree (tools/ and core/) beside it."""
    import importlib.util
    import pathlib

    path = pathlib.Path(__file__).resolve().parent.parent / "tools" / f"{name}.py"
    if not path.exists():
        pytest.skip("the source tree (tools/, core/) is not beside the tests")
    spec = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def pytest_configure(config):
    config.addinivalue_line("markers", "mypy: runs mypy --strict on the typing examples (a second or two once cached)")
