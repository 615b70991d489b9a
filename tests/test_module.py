"""The module itself and the calling convention every function shares."""
import importlib
import inspect
import sys

import _cobalis
import pytest
from conftest import FUNCTION_TABLE, PARAMETER, REGISTERED


def test_all_lists_the_functions_in_table_order():
    assert _cobalis.__all__ == [name for name, _ in FUNCTION_TABLE]
    assert _cobalis.__doc__ == ""


def test_function_metadata(function_name):
    f = getattr(_cobalis, function_name)
    parameter = PARAMETER[function_name]
    assert f.__doc__ is None
    assert f.__text_signature__ == f"({parameter})"
    assert f.__module__ == "_cobalis"
    assert f.__name__ == function_name
    assert list(inspect.signature(f).parameters) == [parameter]


def test_argument_errors(function_name):
    f = getattr(_cobalis, function_name)
    p = PARAMETER[function_name]
    cases = [
        ((), {}, f"{function_name}() missing 1 required positional argument: '{p}'"),
        (("a", "b"), {}, f"{function_name}() takes 1 positional arguments but 2 were given"),
        (("a", "b", "c"), {}, f"{function_name}() takes 1 positional arguments but 3 were given"),
        (("a",), {p: "b"}, f"{function_name}() got multiple values for argument '{p}'"),
        ((), {"value": "x"}, f"{function_name}() got an unexpected keyword argument 'value'"),
        ((), {"value": "x", p: "y"}, f"{function_name}() got an unexpected keyword argument 'value'"),
        ((123,), {}, f"argument '{p}': 'int' object cannot be converted to 'PyString'"),
        ((None,), {}, f"argument '{p}': 'NoneType' object cannot be converted to 'PyString'"),
        ((b"x",), {}, f"argument '{p}': 'bytes' object cannot be converted to 'PyString'"),
        ((), {p: 1.5}, f"argument '{p}': 'float' object cannot be converted to 'PyString'"),
    ]
    for args, kwargs, message in cases:
        with pytest.raises(TypeError) as info:
            f(*args, **kwargs)
        assert type(info.value) is TypeError
        assert str(info.value) == message
        assert info.value.__cause__ is None


def test_type_name_is_the_qualified_name(function_name):
    class Outer:
        class Inner:
            pass

    f = getattr(_cobalis, function_name)
    with pytest.raises(TypeError, match=r"'test_type_name_is_the_qualified_name.<locals>.Outer.Inner' object"):
        f(Outer.Inner())


def test_lone_surrogate_raises_the_interpreters_encoding_error(function_name):
    with pytest.raises(UnicodeEncodeError):
        getattr(_cobalis, function_name)("ab\udc80")


def test_keyword_str_subclass_and_empty_string_reach_the_body(function_name):
    f = getattr(_cobalis, function_name)

    class Text(str):
        pass

    p = PARAMETER[function_name]
    assert f(**{p: ""}) == f("") == f(Text(""))
    assert f(Text("GB82WEST12345698765432")) == f("GB82WEST12345698765432")


def test_nul_and_non_ascii_reach_the_body_as_bytes():
    assert _cobalis.validate_iban("GB82WEST1234569876543\x002")["error"] == "invalid_length"
    # A non-breaking space is two stored bytes, not a separator.
    assert _cobalis.validate_iban("GB82\u00a0WEST12345698765432")["error"] == "invalid_length"
    assert _cobalis.luhn_validate("0\x00") is False


def test_second_initialisation_is_refused_and_the_first_module_keeps_working():
    saved = sys.modules.pop("_cobalis")
    try:
        with pytest.raises(ImportError, match="may only be initialized once per interpreter process$"):
            importlib.import_module("_cobalis")
    finally:
        sys.modules["_cobalis"] = saved
    assert saved.is_valid_iban("GB82WEST12345698765432") is True


@pytest.mark.parametrize(
    "function, text",
    [("validate_bic", "ABCDGB2L"), ("validate_email", "a@b.co"), ("validate_credit_card", "4111 1111 1111 1111"),
     ("validate_isbn", "9780306406157")],
)
def test_result_texts_are_plain_str_even_for_a_str_subclass(function, text):
    class Text(str):
        pass

    for argument in (text, Text(text)):
        result = getattr(_cobalis, function)(argument)
        assert result["is_valid"]
        texts = [v for v in result.values() if isinstance(v, str)]
        assert all(type(v) is str for v in texts)
        assert text.replace(" ", "") in (result["compact"], result["formatted"]) or text in result.values()
