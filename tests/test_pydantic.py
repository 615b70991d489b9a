"""cobalis.pydantic: the identifier types in models, adapters, dataclasses and FastAPI, and the
_cobalis_batch.Compact callable under them.

Every kind and every kind with national rules is checked through the same table; what a field
holds and which error it raises are compared with cobalis.validate_<kind> (cobalis.strict for the
national types), the functions whose answers the rest of the suite pins down.
"""

import gc
import json
import subprocess
import sys
import typing
import weakref

import pytest

pytest.importorskip("pydantic", reason="pydantic is in the test extra: pip install '.[test]'")

import _cobalis_batch
import _cobalis_strict
import cobalis
import pydantic
from cobalis import _types, strict
from cobalis import pydantic as cp
from cobalis._messages import MESSAGES
from hypothesis import given, settings
from hypothesis import strategies as st
from idgen import mutated
from pydantic import BaseModel, Field, TypeAdapter, ValidationError

KINDS = _cobalis_batch.VALIDATE_KINDS
NATIONAL_KINDS = [kind for kind in KINDS if f"validate_{kind}" in _cobalis_strict.__all__]
VARIANTS = [(kind, False) for kind in KINDS] + [(kind, True) for kind in NATIONAL_KINDS]
VARIANT_IDS = [f"{kind}{'-national' if national else ''}" for kind, national in VARIANTS]

# One real identifier per kind, from the kind's own tests, written with separators where it has them.
VALID = {
    "iban": "GB82 WEST 1234 5698 7654 32",
    "bic": "DEUTDEFF",
    "credit_card": "3782 822463 10005",
    "isbn": "0-306-40615-2",
    "issn": "0378-5955",
    "isin": "US0378331005",
    "lei": "0YPKKE5F0QW6RC51HE09",
    "ean": "400-6381-33393-1",
    "vat": "DE 136 695 976",
    "email": "Info@Example.COM",
}
# Valid by the international rules only: each breaks a national one (from the strict tests).
NATIONAL_ONLY = {
    "iban": "NL56 3003 0A17 1643 00",
    "bic": "ABCDXX2L",
    "isin": "AA1234567893",
    "lei": "969500T3M8S4SQAMHJ6Z",
    "vat": "DE 136 695 977",
}


def type_of(kind, national):
    """The type cobalis.pydantic exports for the variant, found through its Identifier."""
    return TYPES[(kind, national)]


def identifier_of(annotation):
    if typing.get_origin(annotation) is not typing.Annotated:
        return None
    return next((m for m in annotation.__metadata__ if isinstance(m, cp.Identifier)), None)


TYPES = {
    (marker.kind, marker.national_rules): getattr(cp, name)
    for name in cp.__all__
    if (marker := identifier_of(getattr(cp, name))) is not None
}


ADAPTERS = {variant: TypeAdapter(annotation) for variant, annotation in TYPES.items()}


def expected(kind, national, text):
    """What the direct function answers: (compact, formatted, error)."""
    result = getattr(strict if national else cobalis, f"validate_{kind}")(text)
    return result["compact"], result["formatted"], result["error"]


def invalid(kind):
    """VALID[kind] with a character no kind takes."""
    return VALID[kind] + "!"


# ---------------------------------------------------------------------------
# The three ways pydantic validates a field: a model, a dataclass, an adapter.

def model_of(annotation):
    return pydantic.create_model("Holder", value=(annotation, ...))


def dataclass_of(annotation):
    @pydantic.dataclasses.dataclass
    class Holder:
        value: annotation  # type: ignore[valid-type]

    return Holder


HOLDERS = {
    "model": (lambda t: model_of(t), lambda holder, data: holder.model_validate(data).value, ("value",)),
    "dataclass": (lambda t: TypeAdapter(dataclass_of(t)), lambda a, data: a.validate_python(data).value, ("value",)),
    "adapter": (lambda t: TypeAdapter(t), lambda a, data: a.validate_python(data["value"]), ()),
}


@pytest.fixture(params=list(HOLDERS))
def holder(request):
    """validate(annotation, value) as a model, a dataclass or an adapter, and the error loc it gives."""
    make, run, loc = HOLDERS[request.param]
    return (lambda annotation, value: run(make(annotation), {"value": value})), loc


def test_cobalis_does_not_import_pydantic():
    code = "import sys, cobalis, cobalis.strict; sys.exit('pydantic' in sys.modules)"
    assert subprocess.run([sys.executable, "-c", code], timeout=60).returncode == 0


def test_every_kind_has_a_type_and_a_description():
    assert sorted(TYPES) == sorted(VARIANTS)
    assert cp.KINDS == KINDS and list(cp.NATIONAL_KINDS) == NATIONAL_KINDS
    assert set(cp.ABOUT) == set(KINDS) == set(VALID)
    assert set(NATIONAL_ONLY) == set(NATIONAL_KINDS)


def codes_of(kind, national):
    """The error codes the result type of the kind's validate function names."""
    title = "".join(part.title() for part in kind.split("_"))
    result = national and getattr(_types, f"Strict{title}Result", None) or getattr(_types, f"{title}Result")
    return set(typing.get_args(typing.get_args(result.__orig_bases__[0])[1]))


@pytest.mark.parametrize("kind", KINDS)
def test_one_message_for_each_code_of_the_kind(kind):
    codes = codes_of(kind, False) | (codes_of(kind, True) if kind in NATIONAL_KINDS else set())
    assert set(MESSAGES[kind]) == codes
    assert all(text[0].isupper() and not text.endswith(".") for text in MESSAGES[kind].values())


@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_valid_value_is_held_in_compact_form(holder, kind, national):
    validate, _ = holder
    compact, _, error = expected(kind, national, VALID[kind])
    assert error is None
    value = validate(type_of(kind, national), VALID[kind])
    assert value == compact and type(value) is str


@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_invalid_value_raises_the_kind_and_code(holder, kind, national):
    validate, loc = holder
    text = invalid(kind)
    code = expected(kind, national, text)[2]
    with pytest.raises(ValidationError) as caught:
        validate(type_of(kind, national), text)
    [error] = caught.value.errors(include_url=False)
    assert error == {
        "type": f"{kind}_{code}", "loc": loc, "msg": MESSAGES[kind][code], "input": text,
        "ctx": {"kind": kind, "code": code},
    }


@pytest.mark.parametrize("kind", NATIONAL_KINDS)
def test_national_types_check_the_national_rules(holder, kind):
    validate, _ = holder
    text = NATIONAL_ONLY[kind]
    assert validate(type_of(kind, False), text) == expected(kind, False, text)[0]
    with pytest.raises(ValidationError) as caught:
        validate(type_of(kind, True), text)
    assert caught.value.errors()[0]["type"] == f"{kind}_{expected(kind, True, text)[2]}"


@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_non_string_and_missing_values_fail_as_for_str(holder, kind, national):
    validate, loc = holder
    for value in (12345678, None, 1.5, ["x"]):
        with pytest.raises(ValidationError) as caught:
            validate(type_of(kind, national), value)
        assert [(e["type"], e["loc"]) for e in caught.value.errors()] == [("string_type", loc)]
    if loc:  # a model or dataclass without the field
        holder_model = model_of(type_of(kind, national))
        with pytest.raises(ValidationError) as caught:
            holder_model.model_validate({})
        assert [(e["type"], e["loc"]) for e in caught.value.errors()] == [("missing", loc)]


MODES = {
    "python": lambda adapter, value: adapter.validate_python(value),
    "python-strict": lambda adapter, value: adapter.validate_python(value, strict=True),
    "json": lambda adapter, value: adapter.validate_json(json.dumps(value)),
    "json-strict": lambda adapter, value: adapter.validate_json(json.dumps(value), strict=True),
}


def outcome(call):
    try:
        return "ok", call()
    except ValidationError as e:
        return "error", [(error["type"], error["input"]) for error in e.errors()]


@pytest.mark.parametrize("mode", list(MODES))
@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_modes_take_what_str_takes(mode, kind, national):
    """Each mode takes and refuses what it does for str; what str takes is then validated."""
    ours, plain = TypeAdapter(type_of(kind, national)), TypeAdapter(str)
    values = [VALID[kind], invalid(kind), 12345678, True, None]
    if not mode.startswith("json"):
        values += [VALID[kind].encode(), bytearray(invalid(kind).encode())]
    for value in values:
        status, text = outcome(lambda: MODES[mode](plain, value))
        if status == "error":
            assert outcome(lambda: MODES[mode](ours, value)) == (status, text)
            continue
        compact, _, error = expected(kind, national, text)
        wanted = ("ok", compact) if error is None else ("error", [(f"{kind}_{error}", value)])
        assert outcome(lambda: MODES[mode](ours, value)) == wanted


@settings(max_examples=40, deadline=None)
@given(data=st.data())
@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_adapter_agrees_with_the_function(kind, national, data):
    text = data.draw(st.one_of(mutated(st.just(VALID[kind])), st.text(max_size=40)))
    compact, _, error = expected(kind, national, text)
    status, answer = outcome(lambda: ADAPTERS[kind, national].validate_python(text))
    assert (status, answer) == (("ok", compact) if error is None else ("error", [(f"{kind}_{error}", text)]))


@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_json_schema_names_the_format_and_gives_a_valid_example(kind, national):
    schema = TypeAdapter(type_of(kind, national)).json_schema()
    assert schema["type"] == "string" and schema["format"] == kind
    assert cp.ABOUT[kind][0] in schema["description"]
    assert ("national rules" in schema["description"]) == national
    [example] = schema["examples"]
    assert expected(kind, national, example)[2] is None


def test_field_options_combine_with_the_types():
    class Payment(BaseModel):
        iban: typing.Annotated[cp.IBAN, Field(alias="accountNumber", description="Where the money goes")]

    assert Payment(accountNumber="gb82 west 1234 5698 7654 32").iban == "GB82WEST12345698765432"
    properties = Payment.model_json_schema()["properties"]["accountNumber"]
    assert properties["description"] == "Where the money goes" and properties["format"] == "iban"
    with pytest.raises(ValidationError) as caught:
        Payment(accountNumber="GB82 WEST 1234 5698 7654 33")
    assert caught.value.errors()[0]["loc"] == ("accountNumber",)


@pytest.mark.parametrize("kind, national", VARIANTS, ids=VARIANT_IDS)
def test_formatted_dumps_the_display_form(kind, national):
    compact, formatted, _ = expected(kind, national, VALID[kind])
    model = model_of(typing.Annotated[type_of(kind, national), cp.Formatted()])
    held = model(value=VALID[kind])
    assert held.value == compact
    assert held.model_dump() == {"value": formatted}
    assert json.loads(held.model_dump_json()) == {"value": formatted}
    again, _, error = expected(kind, national, formatted)  # the display form reads back
    assert error is None and model(value=formatted).value == again


def test_formatted_needs_an_identifier_type():
    with pytest.raises(TypeError, match="Formatted"):
        TypeAdapter(typing.Annotated[str, cp.Formatted()])


def test_identifier_refuses_an_unknown_kind():
    with pytest.raises(ValueError, match="luhn"):
        cp.Identifier("luhn")  # type: ignore[arg-type]
    assert cp.Identifier("vat", national_rules=True) == typing.get_args(cp.NationalVAT)[1]


def test_fastapi_answers_422_with_the_error_types():
    fastapi = pytest.importorskip("fastapi")
    from fastapi.testclient import TestClient

    fields = {f"{kind}{'_national' if national else ''}": (type_of(kind, national), ...)
              for kind, national in VARIANTS}
    Body = pydantic.create_model("Body", **fields)
    app = fastapi.FastAPI()

    @app.post("/check")
    def check(body: Body) -> dict[str, str]:  # type: ignore[valid-type]
        return body.model_dump()

    client = TestClient(app)
    valid = {name: VALID[name.removesuffix("_national")] for name in fields}
    answer = client.post("/check", json=valid)
    assert answer.status_code == 200
    assert answer.json() == {name: expected(kind, national, VALID[kind])[0]
                             for name, (kind, national) in zip(fields, VARIANTS)}

    bad = {**{name: invalid(name.removesuffix("_national")) for name in fields}, "iban": 42}
    del bad["email"]
    answer = client.post("/check", json=bad)
    assert answer.status_code == 422
    got = {tuple(e["loc"]): (e["type"], e.get("ctx")) for e in answer.json()["detail"]}
    want = {}
    for name, (kind, national) in zip(fields, VARIANTS):
        code = expected(kind, national, invalid(kind))[2]
        want[("body", name)] = (f"{kind}_{code}", {"kind": kind, "code": code})
    want[("body", "iban")] = ("string_type", None)
    want[("body", "email")] = ("missing", None)
    assert got == want
    assert "iban" in client.get("/openapi.json").json()["components"]["schemas"]["Body"]["properties"]


# ---------------------------------------------------------------------------
# _cobalis_batch.Compact on its own.

def factory(kind, code):
    return ValueError(f"{kind}:{code}")


def test_compact_answers_the_compact_form_or_raises_what_the_factory_makes():
    compact = _cobalis_batch.Compact("iban", factory)
    assert (compact.kind, compact.strict) == ("iban", False)
    assert compact("gb82 west 1234 5698 7654 32") == "GB82WEST12345698765432"
    assert compact.compact("gb82 west 1234 5698 7654 32") == "GB82WEST12345698765432"
    assert compact.formatted("GB82WEST12345698765432") == "GB82 WEST 1234 5698 7654 32"
    already = "GB82WEST12345698765432"
    assert compact(already) is already  # nothing to copy

    class Text(str):
        pass

    answer = compact(Text(already))
    assert answer == already and type(answer) is str
    with pytest.raises(ValueError, match="^iban:invalid_checksum$"):
        compact("GB82 WEST 1234 5698 7654 33")
    with pytest.raises(ValueError, match="^vat:invalid_checksum$"):
        _cobalis_batch.Compact("vat", factory, strict=True)("DE 136 695 977")
    assert repr(_cobalis_batch.Compact("vat", factory, strict=True)) == "_cobalis_batch.Compact('vat', strict=True)"


@pytest.mark.parametrize("args, kwargs, error", [
    (("luhn", factory), {}, ValueError),  # a check-digit algorithm has no compact form
    (("nope", factory), {}, ValueError),
    ((b"iban", factory), {}, TypeError),
    (("iban", "not callable"), {}, TypeError),
    (("iban",), {}, TypeError),
])
def test_compact_refuses_bad_arguments(args, kwargs, error):
    with pytest.raises(error):
        _cobalis_batch.Compact(*args, **kwargs)


def test_compact_calls_and_factories_gone_wrong():
    compact = _cobalis_batch.Compact("isbn", factory)
    with pytest.raises(TypeError, match="takes a str, not int"):
        compact(9780306406157)
    with pytest.raises(TypeError):
        compact()
    with pytest.raises(TypeError):
        compact("0306406152", "more")
    with pytest.raises(TypeError):
        compact(text="0306406152")
    with pytest.raises(UnicodeEncodeError):
        compact("\udc80")
    with pytest.raises(TypeError, match="must return an exception"):
        _cobalis_batch.Compact("isbn", lambda kind, code: "no")("1")

    def failing(kind, code):
        raise LookupError(code)

    with pytest.raises(LookupError, match="invalid_length"):
        _cobalis_batch.Compact("isbn", failing)("1")


def test_compact_keeps_no_references():
    def run(compact, text, times=2000):
        for _ in range(times):
            try:
                compact(text)
            except ValueError:
                pass

    for text in ["GB82 WEST 1234 5698 7654 32", "GB82WEST12345698765432", "GB82 WEST 1234 5698 7654 33"]:
        compact = _cobalis_batch.Compact("iban", factory)
        run(compact, text, 10)
        before = (sys.getrefcount(text), sys.getrefcount(factory), sys.getrefcount(compact))
        run(compact, text)
        assert (sys.getrefcount(text), sys.getrefcount(factory), sys.getrefcount(compact)) == before

    # A factory that holds its Compact forms a cycle, which the collector takes apart.
    class Holder:
        def __call__(self, kind, code):
            return ValueError(code)

    holder = Holder()
    holder.compact = _cobalis_batch.Compact("iban", holder)
    gone = [False]
    weakref.finalize(holder, lambda: gone.__setitem__(0, True))
    del holder
    gc.collect()
    assert gone[0]
