"""Whole-column validation: every row answers what the one-value function answers.

Columns come as plain lists, pyarrow arrays of each string layout, sliced and
chunked arrays, one-column tables and polars Series. The answer objects of the
extension itself (``_cobalis_batch``, a ``BatchResult`` for any Arrow column)
are read back through the Arrow PyCapsule interface; the forms each library
gets back are tested in test_batch_forms.py.
"""

import gc
import importlib
import random
import threading
import time

import pytest
from hypothesis import given, settings, strategies as st

import _cobalis
import _cobalis_batch
from batch_producer import CountingArrayProducer, CountingProducer
from cobalis._batch import IS_VALID_KINDS, VALIDATE_KINDS, BatchResult, is_valid, validate
from idgen import ALNUM, DIGITS, LETTERS, NOISE, mutated


def optional(name):
    try:
        return importlib.import_module(name)
    except ImportError:
        return None


pa, pl, pd, duckdb = (optional(name) for name in ("pyarrow", "polars", "pandas", "duckdb"))
needs_pyarrow = pytest.mark.skipif(pa is None, reason="pyarrow is not installed")
needs_polars = pytest.mark.skipif(pa is None or pl is None, reason="polars is not installed")

IDENTIFIERS = ("iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email")
ALGORITHMS = {"luhn": "luhn_validate", "verhoeff": "verhoeff_validate", "damm": "damm_validate"}
FIELDS = ["is_valid", "error", "compact", "formatted"]
# Identifier kinds not built yet: listed so that their tests show as skipped.
ALL_MISSING = tuple(k for k in IDENTIFIERS if k not in VALIDATE_KINDS)


def built(kind):
    return kind in ALGORITHMS or hasattr(_cobalis, f"validate_{kind}")


def _skip_unless_built(kind):
    return pytest.mark.skipif(not built(kind), reason=f"no {kind} in _cobalis")


def kinds(names):
    """The kinds as parameters; one whose validator is not built yet is skipped."""
    return [pytest.param(k, marks=_skip_unless_built(k), id=k) for k in names]


def operations_and_kinds():
    """(is_valid, kind) for every kind, then (validate, kind) for the identifier kinds."""
    return [pytest.param(op, k, marks=_skip_unless_built(k), id=f"{op.__name__}-{k}")
            for op, names in ((is_valid, IS_VALID_KINDS + ALL_MISSING), (validate, VALIDATE_KINDS + ALL_MISSING))
            for k in names if op is is_valid or k not in ALGORITHMS]


# --- the one-value answers -------------------------------------------------------------------

def one_is_valid(kind, text):
    return None if text is None else getattr(_cobalis, ALGORITHMS.get(kind, f"is_valid_{kind}"))(text)


def one_row(kind, text):
    if text is None:
        return None
    result = getattr(_cobalis, f"validate_{kind}")(text)
    return {field: result[field] for field in FIELDS}


def expected(operation, kind, texts):
    one = one_is_valid if operation is is_valid else one_row
    return [one(kind, t) for t in texts]


# --- typical values: random bodies whose check characters are found by trying each -------------

_rng = random.Random(20261209)


def _pick(alphabet, n):
    return "".join(_rng.choice(alphabet) for _ in range(n))


def _two_digits():
    return [f"{c:02d}" for c in range(100)]


def _card():
    prefix, length = _rng.choice([("4", 16), ("51", 16), ("37", 15), ("6011", 16), ("35", 16)])
    return prefix + _pick(DIGITS, length - len(prefix) - 1) + "{}", DIGITS


# kind -> () -> (template with one "{}", the candidates for it)
SHAPES = {
    "iban": lambda: (_rng.choice(["GB{}WEST", "DE{}", "FR{}"]) + _pick(DIGITS, 18)[: _rng.choice([14, 18])], _two_digits()),
    "bic": lambda: (_pick(LETTERS, 4) + _rng.choice(["DE", "GB", "FR"]) + _pick(ALNUM, 2) + "{}",
                    ["", "XXX", _pick(ALNUM, 3)]),
    "credit_card": _card,
    "isbn": lambda: _rng.choice([("978" + _pick(DIGITS, 9) + "{}", DIGITS), (_pick(DIGITS, 9) + "{}", DIGITS + "X")]),
    "issn": lambda: (_pick(DIGITS, 4) + "-" + _pick(DIGITS, 3) + "{}", DIGITS + "X"),
    "isin": lambda: (_rng.choice(["US", "DE", "GB"]) + _pick(ALNUM, 9) + "{}", DIGITS),
    "lei": lambda: (_pick(ALNUM, 18) + "{}", _two_digits()),
    "ean": lambda: (_pick(DIGITS, _rng.choice([7, 12])) + "{}", DIGITS),
    "vat": lambda: (_rng.choice(["DE", "ATU", "IT", "FI", "PL", "DK"]) + _pick(DIGITS, 7) + "{}", DIGITS),
    "email": lambda: (_pick("abcxyz.", 6).strip(".") + "@" + _rng.choice(["example.com", "mail.co.uk"]) + "{}",
                      ["", ".", "x"]),
    "luhn": lambda: (_pick(DIGITS, 15) + "{}", DIGITS),
    "verhoeff": lambda: (_pick(DIGITS, 8) + "{}", DIGITS),
    "damm": lambda: (_pick(DIGITS, 8) + "{}", DIGITS),
}


def _typical(kind):
    template, candidates = SHAPES[kind]()
    texts = [template.format(c) for c in candidates]
    valid = [t for t in texts if one_is_valid(kind, t)]
    return valid[0] if valid else texts[0]


def _pool(kind):
    if not built(kind):
        return ["x"]
    pool = [_typical(kind) for _ in range(40)]
    if kind in IDENTIFIERS:  # the display forms, with their separators
        pool += [one_row(kind, t)["formatted"] for t in pool[:10] if one_is_valid(kind, t)]
    return pool


POOL = {kind: _pool(kind) for kind in IS_VALID_KINDS + ALL_MISSING}


def texts(kind):
    typical = st.sampled_from(POOL[kind])
    return st.one_of(st.none(), typical, mutated(typical), st.text(max_size=30), st.text(NOISE, max_size=30))


def columns(kind):
    return st.lists(texts(kind), max_size=40)


def arrow_forms(texts, cut):
    """The same column in every form we read; `cut` is where chunked forms split it."""
    pad = ["pad"] * 3
    forms = {
        "string": pa.array(texts, pa.string()),
        "large_string": pa.array(texts, pa.large_string()),
        "string_view": pa.array(texts, pa.string_view()),
        "sliced": pa.array(pad + texts + pad, pa.string()).slice(3, len(texts)),
        "sliced_view": pa.array(pad + texts, pa.string_view()).slice(3),
        "chunked": pa.chunked_array([texts[:cut], [], texts[cut:]], pa.string()),
        "sliced_chunked": pa.chunked_array([pad + texts[:cut], texts[cut:] + pad], pa.large_string())
        .slice(3, len(texts)),
        "table": pa.table({"values": pa.array(texts, pa.string())}),
        "sliced_table": pa.table({"values": pa.array(pad + texts, pa.string_view())}).slice(3),
    }
    if pl is not None:
        forms["polars"] = pl.Series(texts, dtype=pl.String)
    return forms


def answers(result):
    """The rows of an answer: an exported BatchResult, a pyarrow column or a polars Series."""
    if pl is not None and isinstance(result, pl.Series):
        return result.to_list()
    if isinstance(result, BatchResult):
        result = pa.array(result)
    assert isinstance(result, (pa.Array, pa.ChunkedArray))
    return result.to_pylist()


# The extension's own functions, which answer every Arrow column with a BatchResult.
core_is_valid, core_validate = _cobalis_batch.is_valid, _cobalis_batch.validate


# --- every row answers what the one-value function answers ------------------------------------

@pytest.mark.parametrize("kind", kinds(IS_VALID_KINDS + ALL_MISSING))
def test_typical_values_are_mostly_valid(kind):
    """The property below only has teeth if the columns hold valid values too."""
    assert sum(one_is_valid(kind, t) for t in POOL[kind]) >= len(POOL[kind]) // 2


@pytest.mark.parametrize("operation, kind", operations_and_kinds())
@settings(max_examples=25, deadline=None)
@given(data=st.data())
def test_every_form_answers_like_one_by_one(operation, kind, data):
    texts = data.draw(columns(kind))
    want = expected(operation, kind, texts)
    assert operation(kind, texts) == want
    assert operation(kind, iter(texts)) == want
    if pa is None:
        return
    for form, column in arrow_forms(texts, data.draw(st.integers(0, len(texts)))).items():
        assert answers(operation(kind, column)) == want, form


@needs_pyarrow
@pytest.mark.parametrize("operation, kind", operations_and_kinds())
def test_long_columns_in_uneven_chunks(operation, kind):
    """Long enough to be checked without the interpreter lock; chunk ends off byte boundaries."""
    rng = random.Random(kind)
    texts = [None if rng.random() < 0.1 else rng.choice(POOL[kind]) for _ in range(6000)]
    texts = [t[:-1] + rng.choice(DIGITS) if t and rng.random() < 0.2 else t for t in texts]
    cuts = [0, 1, 8, 300, 2301, 2302, 6000]
    chunked = pa.chunked_array([texts[a:b] for a, b in zip(cuts, cuts[1:])], pa.string_view())
    want = expected(operation, kind, texts)
    assert answers(operation(kind, chunked)) == want
    assert answers(operation(kind, pa.array(["pad"] * 5 + texts, pa.large_string()).slice(5))) == want


@pytest.mark.parametrize("kind", IDENTIFIERS)
def test_the_kinds_are_those_of_the_module(kind):
    assert (kind in VALIDATE_KINDS) == built(kind)
    assert (kind in IS_VALID_KINDS) == built(kind)


def test_check_digit_algorithms_answer_is_valid_only():
    assert IS_VALID_KINDS[-3:] == ("luhn", "verhoeff", "damm")
    assert not set(ALGORITHMS) & set(VALIDATE_KINDS)
    assert list(VALIDATE_KINDS) == [k for k in IDENTIFIERS if built(k)]


# --- the answers as Arrow columns ------------------------------------------------------------

@needs_pyarrow
def test_is_valid_answers_a_bool_column_with_nulls_kept():
    result = core_is_valid("iban", pa.array(["GB82 WEST 1234 5698 7654 32", "bad", None]))
    array = pa.array(result)
    assert array.type == pa.bool_()
    assert array.to_pylist() == [True, False, None]
    assert len(result) == 3
    assert pa.chunked_array(result).to_pylist() == [True, False, None]  # through the stream


@needs_pyarrow
def test_validate_answers_a_struct_whose_fields_are_null_on_null_rows():
    texts = ["GB82 WEST 1234 5698 7654 32", None, "GB00"]
    array = pa.array(validate("iban", pa.array(texts)))
    assert array.type == pa.struct([("is_valid", pa.bool_()), ("error", pa.string()),
                                    ("compact", pa.string()), ("formatted", pa.string())])
    assert array.is_null().to_pylist() == [False, True, False]
    # Each field carries the nulls itself, for consumers that read fields alone.
    for i, field in enumerate(FIELDS):
        assert array.field(i).to_pylist() == [None if r is None else r[field] for r in expected(validate, "iban", texts)]


@needs_polars
def test_polars_takes_the_answers():
    texts = ["DE123456789", "XI123", None]
    frame = pl.DataFrame(core_validate("vat", pl.Series(texts)))
    assert frame.columns == FIELDS
    assert frame.to_dicts()[:2] == expected(validate, "vat", texts)[:2]
    assert frame.row(2) == (None, None, None, None)
    assert pl.Series(core_is_valid("vat", pl.Series(texts))).to_list() == expected(is_valid, "vat", texts)


@pytest.mark.skipif(pa is None or duckdb is None, reason="duckdb is not installed")
def test_duckdb_relations_of_one_column():
    relation = duckdb.sql("SELECT * FROM (VALUES ('GB82WEST12345698765432'), (NULL), ('GB82')) t(iban)")
    want = [True, None, False]
    assert answers(is_valid("iban", relation)) == want
    assert answers(is_valid("iban", relation.arrow().read_all().column("iban"))) == want


@needs_pyarrow
def test_a_null_row_of_a_one_field_struct_is_a_null_value():
    texts = ["pad", "GB82WEST12345698765432", None, "GB82WEST12345698765432", "x", "GB82"] * 50
    hidden = [i % 4 == 3 for i in range(len(texts))]
    rows = pa.StructArray.from_arrays([pa.array(texts)], names=["iban"], mask=pa.array(hidden)).slice(1)
    want = [None if h else t for t, h in zip(texts, hidden)][1:]
    assert answers(is_valid("iban", rows)) == expected(is_valid, "iban", want)
    assert answers(validate("iban", pa.chunked_array([rows]))) == expected(validate, "iban", want)


@needs_pyarrow
def test_empty_and_all_null_columns():
    assert answers(is_valid("iban", pa.array([], pa.string()))) == []
    assert answers(validate("iban", pa.chunked_array([], pa.string_view()))) == []
    assert answers(is_valid("iban", pa.array([None, None]))) == [None, None]  # the null type
    assert answers(validate("iban", pa.array([None], pa.string()))) == [None]
    assert is_valid("iban", []) == [] and validate("iban", ()) == []


def test_plain_lists_answer_dicts_of_the_four_fields():
    rows = validate("iban", ["GB82 WEST 1234 5698 7654 32", None, ""])
    assert rows[1] is None
    assert all(list(row) == FIELDS for row in (rows[0], rows[2]))
    assert rows == expected(validate, "iban", ["GB82 WEST 1234 5698 7654 32", None, ""])


@needs_pyarrow
def test_the_answer_outlives_its_input_and_each_export_is_fresh():
    source = pa.array(["GB82WEST12345698765432", "x"] * 1000)
    result = core_validate("iban", source)
    del source
    first, second = pa.array(result), pa.array(result)
    del result
    gc.collect()
    assert first.to_pylist() == second.to_pylist() == expected(validate, "iban", ["GB82WEST12345698765432", "x"] * 1000)


@needs_pyarrow
@pytest.mark.parametrize("operation", [is_valid, validate])
def test_other_threads_run_while_the_rows_are_checked(operation):
    """With the lock held for the whole call, the ticking thread would stall for all of it."""
    column = pa.array(POOL["iban"] * 12_000)
    ticks, span, done = [], [], threading.Event()

    def tick():
        while not done.is_set():
            ticks.append(time.perf_counter())

    def check():
        span.append(time.perf_counter())
        operation("iban", column, threads=1)  # a core left for the ticking thread
        span.append(time.perf_counter())
        done.set()

    threads = [threading.Thread(target=tick), threading.Thread(target=check)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    inside = [t for t in ticks if span[0] <= t <= span[1]]
    longest_stall = max(b - a for a, b in zip([span[0]] + inside, inside + [span[1]]))
    assert longest_stall < (span[1] - span[0]) / 2


@needs_pyarrow
def test_threads_share_nothing():
    columns = {kind: pa.array([rng_text for rng_text in POOL[kind]] * 200) for kind in VALIDATE_KINDS}
    want = {kind: expected(validate, kind, column.to_pylist()) for kind, column in columns.items()}
    got = {}

    def run(kind):
        got[kind] = answers(validate(kind, columns[kind]))

    threads = [threading.Thread(target=run, args=(kind,)) for kind in columns]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == want


# --- errors ------------------------------------------------------------------------------------

@pytest.mark.parametrize("operation, offered", [(is_valid, IS_VALID_KINDS), (validate, VALIDATE_KINDS)])
def test_an_unknown_kind_is_a_value_error_listing_the_kinds(operation, offered):
    with pytest.raises(ValueError) as error:
        operation("ibna", ["GB82WEST12345698765432"])
    assert all(kind in str(error.value) for kind in offered)


def test_check_digit_algorithms_have_no_validate():
    with pytest.raises(ValueError, match="luhn"):
        validate("luhn", ["79927398713"])


@pytest.mark.parametrize("kind", [None, 3, b"iban"])
def test_the_kind_is_a_str(kind):
    with pytest.raises(TypeError, match="kind must be a str"):
        is_valid(kind, [])


@pytest.mark.parametrize("values, named", [(5, "int"), ("GB82WEST12345698765432", "str"), (b"x", "bytes"),
                                           (["x", 1], "values\\[1\\] is int"), ([None, b"x"], "values\\[1\\] is bytes")])
def test_values_that_are_no_column_are_a_type_error(values, named):
    for operation in (is_valid, validate):
        with pytest.raises(TypeError, match=named):
            operation("iban", values)


def test_text_that_is_not_utf8_raises_like_the_one_value_function():
    with pytest.raises(UnicodeEncodeError):
        is_valid("iban", ["\udc80"])


@needs_pyarrow
@pytest.mark.parametrize("column, type_name", [
    (lambda: pa.array([1, 2]), "int64"),
    (lambda: pa.array([b"GB82"]), "binary"),
    (lambda: pa.array([1.5]), "double"),
    (lambda: pa.array([7]).dictionary_encode(), "dictionary<values=int64, indices=int32>"),
    (lambda: pa.table({"a": pa.array([7]).dictionary_encode()}), "struct<a: dictionary<values=int64, indices=int32>>"),
    (lambda: pa.array([["GB82"]]), "list<string>"),
    (lambda: pa.table({"a": ["x"], "b": [1]}), "struct<a: string, b: int64>"),
])
def test_other_arrow_types_are_a_type_error_naming_the_type(column, type_name):
    for operation in (is_valid, validate):
        with pytest.raises(TypeError) as error:
            operation("iban", column())
        assert str(error.value).endswith(type_name)


@needs_polars
def test_a_polars_column_of_numbers_is_a_type_error():
    with pytest.raises(TypeError, match="int64"):
        is_valid("iban", pl.Series([1, 2]))


@needs_pyarrow
def test_a_failing_stream_raises_its_message_and_frees_what_it_made():
    schema = pa.schema([("iban", pa.string())])

    def batches():
        yield pa.record_batch([pa.array(["GB82WEST12345698765432"] * 1000)], schema=schema)
        raise RuntimeError("the disk went away")

    gc.collect()
    before = pa.total_allocated_bytes()
    with pytest.raises(Exception, match="the disk went away"):
        is_valid("iban", pa.RecordBatchReader.from_batches(schema, batches()))
    gc.collect()
    assert pa.total_allocated_bytes() <= before  # the batch read before the failure is gone


PRODUCER_CASES = {
    "answered": ({}, None, None),
    "chunk fails": ({"fail_at": 1}, OSError, "chunk 1 could not be read"),
    "schema refused": ({"fail_schema": True}, ValueError, "refused to describe its column"),
    "wrong type": ({"format": b"l"}, TypeError, "not int64"),
    "wrong buffers": ({"n_buffers": 2}, ValueError, "malformed Arrow array"),
}
STREAM_ONLY = {"chunk fails", "schema refused"}


@pytest.mark.parametrize("producer, case", [(CountingProducer, case) for case in PRODUCER_CASES]
                         + [(CountingArrayProducer, case) for case in PRODUCER_CASES if case not in STREAM_ONLY])
@pytest.mark.parametrize("operation", [is_valid, validate])
def test_every_struct_a_producer_hands_out_is_released_once(producer, case, operation):
    options, error, message = PRODUCER_CASES[case]
    chunks = [["GB82WEST12345698765432", None], [], ["GB82"] * 300]
    source = producer(chunks, **options)
    if error is None:
        assert answers(operation("iban", source)) == expected(operation, "iban", sum(chunks, []))
    else:
        with pytest.raises(error, match=message):
            operation("iban", source)
    assert source.made and source.all_released_once(), (source.made, source.released, source.released_twice)


def test_a_wrong_kind_takes_nothing_from_the_producer():
    source = CountingProducer([["x"]])
    with pytest.raises(ValueError):
        is_valid("nope", source)
    assert not source.made


@needs_pyarrow
def test_every_export_of_an_answer_is_released():
    before = _cobalis_batch._outstanding()
    result = core_validate("iban", pa.array(["GB82WEST12345698765432", None] * 500))
    kept = pa.array(result)
    pa.chunked_array(result)
    result.__arrow_c_array__()  # capsules never consumed
    result.__arrow_c_stream__(requested_schema=None)
    result.__arrow_c_schema__()
    if pl is not None:
        pl.DataFrame(result)
    del result
    gc.collect()
    assert _cobalis_batch._outstanding() > before  # `kept` still holds the buffers
    del kept
    gc.collect()
    assert _cobalis_batch._outstanding() == before


@needs_pyarrow
@pytest.mark.parametrize("index_type", [pa and pa.int8(), pa and pa.uint8(), pa and pa.int64()], ids=str)
def test_a_dictionary_index_outside_its_dictionary_answers_null(index_type):
    """An index no producer should hand out reads as null, never past the dictionary."""
    indices = pa.array([0, 5, None, 1] + ([-1] if pa.types.is_signed_integer(index_type) else []), index_type)
    column = pa.DictionaryArray.from_arrays(indices, pa.array(["GB82 WEST 1234 5698 7654 32", "x"]), safe=False)
    want = [True, None, None, False] + [None] * (len(indices) - 4)
    assert is_valid("iban", column).to_pylist() == want
    assert [row and row["is_valid"] for row in validate("iban", column).to_pylist()] == want
