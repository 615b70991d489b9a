"""Whole columns answered in the caller's own type, on every core, and through
the polars expression namespace and DuckDB's SQL functions.

Every answer is checked against the one-value functions (``cobalis`` or
``cobalis.strict``), row by row.
"""

import importlib
import os
import pickle
import random
import subprocess
import sys
import threading

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import _cobalis
from cobalis import strict as strict_functions
from cobalis._batch import FIELDS, IS_VALID_KINDS, VALIDATE_KINDS, BatchResult, is_valid, validate


def optional(name):
    try:
        return importlib.import_module(name)
    except ImportError:
        return None


pa, pl, pd, np, duckdb = (optional(name) for name in ("pyarrow", "polars", "pandas", "numpy", "duckdb"))

PLAIN = ("iban", ["GB82 WEST 1234 5698 7654 32", "GB82 WEST 1234 5698 7654 33", None, "", "NO93 8601 1117 947"])
# With national rules: the second number's check digit is wrong.
STRICT = ("vat", ["DE 136 695 976", "DE 136 695 977", None, "XI123", "ATU13585627"])


def one(operation, kind, text, strict):
    """What the one-value function answers (the four results of validate)."""
    if text is None:
        return None
    module = strict_functions if strict else _cobalis
    if operation == "is_valid":
        return getattr(module, f"is_valid_{kind}")(text)
    result = getattr(module, f"validate_{kind}")(text)
    return {field: result[field] for field in FIELDS}


def missing(value):
    return value is None or (pd is not None and value is not pd.NA and isinstance(value, float) and value != value) \
        or (pd is not None and value is pd.NA)


def plain(value):
    """A cell as a Python value: None for every kind of missing, bool for numpy's."""
    if missing(value):
        return None
    return bool(value) if np is not None and isinstance(value, np.bool_) else value


# --- the forms: (library, make the column from texts, check the answer) ------------------------

def check_list(answer, column, operation, want):
    assert type(answer) is list
    assert answer == want


def check_batch_result(answer, column, operation, want):
    assert isinstance(answer, BatchResult)
    assert pa.array(answer).to_pylist() == want


def check_arrow(chunked):
    def check(answer, column, operation, want):
        array_type = pa.BooleanArray if operation == "is_valid" else pa.StructArray
        assert type(answer) is (pa.ChunkedArray if chunked else array_type)
        assert answer.type == (pa.bool_() if operation == "is_valid" else arrow_result_type())
        assert answer.to_pylist() == want
    return check


def arrow_result_type():
    return pa.struct([("is_valid", pa.bool_()), ("error", pa.string()), ("compact", pa.string()),
                      ("formatted", pa.string())])


def check_polars(answer, column, operation, want):
    assert isinstance(answer, pl.Series)
    assert answer.name == column.name
    assert answer.dtype == (pl.Boolean if operation == "is_valid" else importlib.import_module("cobalis.polars").RESULT)
    assert answer.to_list() == want


def check_polars_frame(answer, column, operation, want):
    check_polars(answer, column.to_series(0), operation, want)


def check_numpy(answer, column, operation, want):
    assert isinstance(answer, np.ndarray) and answer.shape == column.shape
    flat = answer.ravel().tolist()
    if operation == "is_valid":
        assert answer.dtype == np.bool_
        assert flat == [bool(w) for w in want]  # a bool array answers False for None
    else:
        assert answer.dtype.names == FIELDS
        assert flat == [(False, None, None, None) if w is None else tuple(w.values()) for w in want]


def pandas_dtypes(column):
    """What pandas' own string methods give for the column: (predicates, texts)."""
    if isinstance(column.dtype, pd.CategoricalDtype):  # of text, even with no category yet (all missing)
        column = column.cat.set_categories(column.cat.categories.astype(str))
    try:
        return column.str.isdigit().dtype, column.str.upper().dtype
    except (TypeError, AttributeError, NotImplementedError):  # no string methods for Arrow string views
        return pd.ArrowDtype(pa.bool_()), pd.ArrowDtype(pa.string())


def pandas_cells(series, dtype):
    if dtype == np.bool_:
        return [bool(v) for v in series]
    return [plain(v) for v in series]


def check_pandas(answer, column, operation, want):
    booleans, texts = pandas_dtypes(column)
    can_miss = booleans != np.bool_
    if operation == "is_valid":
        assert isinstance(answer, pd.Series)
        assert answer.index.equals(column.index) and answer.name == column.name
        assert answer.dtype == booleans
        assert pandas_cells(answer, booleans) == [w if can_miss else bool(w) for w in want]
        return
    assert isinstance(answer, pd.DataFrame) and list(answer.columns) == list(FIELDS)
    assert answer.index.equals(column.index)
    assert answer["is_valid"].dtype == booleans
    assert all(answer[field].dtype == texts for field in FIELDS[1:])
    got = zip(pandas_cells(answer["is_valid"], booleans), *(pandas_cells(answer[f], texts) for f in FIELDS[1:]))
    assert [list(row) for row in got] == [
        [None if can_miss else False, None, None, None] if w is None else list(w.values()) for w in want
    ]


def check_pandas_frame(answer, column, operation, want):
    check_pandas(answer, column.iloc[:, 0], operation, want)


def pandas_form(dtype, nan=False):
    def make(texts):
        values = [float("nan") if nan and t is None else t for t in texts]
        return pd.Series(values, dtype=dtype, index=range(10, 10 + len(texts)), name="ids")
    return make


def with_missing(*markers):
    """The texts with each None written as the markers in turn (NaN, pd.NA, ...)."""
    def write(texts):
        return [markers[i % len(markers)] if t is None else t for i, t in enumerate(texts)]
    return write


def duckdb_enum(texts):
    members = ", ".join("'" + t.replace("'", "''") + "'" for t in dict.fromkeys([*(t for t in texts if t is not None), "-"]))
    return duckdb.sql(f"SELECT CAST(unnest($1::VARCHAR[]) AS ENUM({members})) AS ids", params=[texts])


def forms():
    found = [
        pytest.param("list", list, check_list, id="list"),
        pytest.param("tuple", tuple, check_list, id="tuple"),
        pytest.param("generator", lambda texts: (t for t in texts), check_list, id="generator"),
        pytest.param("list", with_missing(float("nan")), check_list, id="list-nan"),
    ]
    if pa is not None:
        def dictionary(texts, index=pa.int32(), values=pa.string()):
            encoded = pa.array(texts, values).dictionary_encode()
            return pa.DictionaryArray.from_arrays(encoded.indices.cast(index), encoded.dictionary)

        found += [
            pytest.param("pyarrow", pa.array, check_arrow(chunked=False), id="pyarrow-array"),
            pytest.param("pyarrow", lambda texts: pa.chunked_array([texts[:2], texts[2:]], pa.large_string()),
                         check_arrow(chunked=True), id="pyarrow-chunked"),
            pytest.param("pyarrow", lambda texts: pa.table({"ids": texts}), check_batch_result, id="pyarrow-table"),
            pytest.param("pyarrow", dictionary, check_arrow(chunked=False), id="pyarrow-dictionary"),
            pytest.param("pyarrow", lambda texts: pa.chunked_array(
                [dictionary(texts[:2], pa.int16(), pa.large_string()), dictionary(texts[2:], pa.int16(), pa.large_string())]),
                check_arrow(chunked=True), id="pyarrow-dictionary-chunked"),
            pytest.param("pyarrow", lambda texts: pa.table({"ids": dictionary(texts, pa.uint64(), pa.string_view())}), check_batch_result,
                         id="pyarrow-table-dictionary"),
        ]
    if duckdb is not None and pa is not None:
        found += [
            pytest.param("duckdb", lambda texts: duckdb.sql("SELECT unnest($1::VARCHAR[]) AS ids", params=[texts]),
                         check_batch_result, id="duckdb-relation"),
            pytest.param("duckdb", duckdb_enum, check_batch_result, id="duckdb-enum"),
        ]
    if pl is not None:
        found += [
            pytest.param("polars", lambda texts: pl.Series("ids", texts), check_polars, id="polars"),
            pytest.param("polars", lambda texts: pl.Series("ids", texts, pl.Categorical), check_polars,
                         id="polars-categorical"),
            pytest.param("polars", lambda texts: pl.DataFrame({"ids": texts}), check_polars_frame, id="polars-frame"),
            pytest.param("polars", lambda texts: pl.DataFrame({"ids": pl.Series(texts, dtype=pl.Categorical)}),
                         check_polars_frame, id="polars-frame-categorical"),
        ]
    if np is not None:
        found += [
            pytest.param("numpy", np.array, check_numpy, id="numpy-str"),  # (given no None)
            pytest.param("numpy", lambda texts: np.array(texts, dtype=object), check_numpy, id="numpy-object"),
            pytest.param("numpy", lambda texts: np.array(texts, dtype=np.dtypes.StringDType(na_object=None)),
                         check_numpy, id="numpy-stringdtype"),
            pytest.param("numpy", lambda texts: np.array(with_missing(np.nan)(texts),
                                                         dtype=np.dtypes.StringDType(na_object=np.nan)),
                         check_numpy, id="numpy-stringdtype-nan"),
        ]
    if pd is not None:
        dtypes = {"object": object, "str": "str", "string": "string", "string-python": pd.StringDtype("python"),
                  "str-python": pd.StringDtype("python", na_value=float("nan")), "category": "category"}
        if pa is not None:
            dtypes.update({"arrow-string": pd.ArrowDtype(pa.string()),
                           "arrow-large_string": pd.ArrowDtype(pa.large_string()),
                           "arrow-string_view": pd.ArrowDtype(pa.string_view()),
                           "arrow-dictionary": pd.ArrowDtype(pa.dictionary(pa.int8(), pa.string()))})
        found += [pytest.param("pandas", pandas_form(dtype), check_pandas, id=f"pandas-{name}")
                  for name, dtype in dtypes.items()]
        found += [
            pytest.param("pandas", pandas_form(object, nan=True), check_pandas, id="pandas-object-nan"),
            pytest.param("pandas", lambda texts: pandas_form(object)(with_missing(None, float("nan"), pd.NA)(texts)),
                         check_pandas, id="pandas-object-every-missing"),
            pytest.param("pandas", lambda texts: pandas_form(object)(texts).to_frame(), check_pandas_frame,
                         id="pandas-frame"),
            pytest.param("pandas", lambda texts: pandas_form("string")(texts).to_frame(), check_pandas_frame,
                         id="pandas-frame-string"),
            pytest.param("pandas", pd.Index, check_list, id="pandas-index"),
            pytest.param("pandas", lambda texts: pd.Index(texts, dtype=object), check_list, id="pandas-index-object"),
            pytest.param("pandas", lambda texts: pd.array(texts, dtype="string"), check_list, id="pandas-array-string"),
        ]
        if np is not None:
            found += [pytest.param("numpy", lambda texts: np.array(with_missing(np.nan, pd.NA)(texts), dtype=object),
                                   check_numpy, id="numpy-object-nan-na")]
    return found


@pytest.mark.parametrize("strict", [False, True], ids=["plain", "strict"])
@pytest.mark.parametrize("operation", ["is_valid", "validate"])
@pytest.mark.parametrize("library, make, check", forms())
def test_the_answer_comes_in_the_columns_own_type(library, make, check, operation, strict):
    kind, texts = STRICT if strict else PLAIN
    if make is getattr(np, "array", None):  # a str array holds no None
        texts = [t for t in texts if t is not None]
    want = [one(operation, kind, t, strict) for t in texts]
    function = is_valid if operation == "is_valid" else validate
    column = make(texts)
    shown = make(texts)  # the check looks at a fresh copy: generators are used up
    check(function(kind, column, strict=strict), shown, operation, want)


TEXTS = st.lists(st.one_of(
    st.none(),
    st.sampled_from(["GB82 WEST 1234 5698 7654 32", "GB82WEST12345698765433", "NO9386011117947", "", " ", "Ä"]),
    st.text(st.characters(blacklist_categories=("Cs",)), max_size=24),
), min_size=1, max_size=12)


@settings(max_examples=15, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(texts=TEXTS, strict=st.booleans())
@pytest.mark.parametrize("operation", ["is_valid", "validate"])
@pytest.mark.parametrize("library, make, check", forms())
def test_every_form_answers_as_the_one_value_functions(library, make, check, operation, texts, strict):
    """Random texts, repeated and missing, in every form: the answers are those of the one-value functions."""
    kind = "vat" if strict else "iban"
    if make is getattr(np, "array", None):  # a str array holds no None
        texts = [t for t in texts if t is not None] or [""]
    want = [one(operation, kind, t, strict) for t in texts]
    function = is_valid if operation == "is_valid" else validate
    check(function(kind, make(texts), strict=strict), make(texts), operation, want)


def all_missing_forms():
    found = [pytest.param(lambda n: [float("nan")] * n, check_list, id="list-nan")]
    if pd is not None:
        found += [pytest.param(lambda n: pd.Series([float("nan")] * n, name="ids"), None, id="pandas-float"),
                  pytest.param(lambda n: pd.Series([None] * n, dtype="Int64", name="ids"), None, id="pandas-Int64"),
                  pytest.param(lambda n: pd.DataFrame({"ids": [float("nan")] * n}), None, id="pandas-frame-float")]
    if np is not None:
        found.append(pytest.param(lambda n: np.full(n, np.nan), check_numpy, id="numpy-float"))
    if pl is not None:
        found.append(pytest.param(lambda n: pl.Series("ids", [None, float("nan")] * (n // 2), pl.Float64),
                                  check_polars, id="polars-float"))
    return found


@pytest.mark.parametrize("operation", ["is_valid", "validate"])
@pytest.mark.parametrize("make, check", all_missing_forms())
def test_a_column_of_nothing_but_missing_values_answers_missing(make, check, operation):
    """An empty CSV column reads as float NaN: every row answers missing, whatever its type."""
    function = is_valid if operation == "is_valid" else validate
    answer = function("iban", make(4))
    if check is not None:
        check(answer, make(4), operation, [None] * 4)
        return
    column = answer if operation == "is_valid" else answer["compact"]
    assert isinstance(column, pd.Series) and column.dtype == object and list(column.index) == [0, 1, 2, 3]
    assert column.isna().all() and (operation == "is_valid" or list(answer.columns) == list(FIELDS))


def mixed_forms():
    found = [pytest.param(list, id="list")]
    if np is not None:
        found.append(pytest.param(lambda values: np.array(values, dtype=object), id="numpy-object"))
    if pd is not None:
        found += [pytest.param(lambda values: pd.Series(values, dtype=object), id="pandas-object"),
                  pytest.param(lambda values: pd.DataFrame({"ids": pd.Series(values, dtype=object)}),
                               id="pandas-frame"),
                  pytest.param(lambda values: pd.Index(values, dtype=object), id="pandas-index")]
    return found


@pytest.mark.parametrize("second, type_name", [(7, "int"), (b"GB82", "bytes"), (2.5, "float")])
@pytest.mark.parametrize("make", mixed_forms())
def test_a_value_of_another_type_is_named_with_its_position_on_every_path(make, second, type_name):
    for function in (is_valid, validate):
        with pytest.raises(TypeError, match=rf"values\[2\] is {type_name}, not str or None$"):
            function("iban", make(["GB82 WEST 1234 5698 7654 32", None, second]))


@pytest.mark.skipif(pa is None, reason="pyarrow is not installed")
@pytest.mark.parametrize("operation", ["is_valid", "validate"])
def test_the_answer_object_is_a_sequence_and_pickles_as_its_arrow_array(operation):
    kind, texts = PLAIN
    function = is_valid if operation == "is_valid" else validate
    answer = function(kind, pa.table({"ids": texts}))
    want = [one(operation, kind, t, False) for t in texts]
    assert isinstance(answer, BatchResult) and len(answer) == len(want)
    assert list(answer) == want and [answer[i] for i in range(-len(want), 0)] == want
    with pytest.raises(IndexError):
        answer[len(want)]
    back = pickle.loads(pickle.dumps(answer))
    assert isinstance(back, pa.Array) and back.equals(pa.array(answer))
    if pd is not None:  # a sequence of the right length is stored as one value per row
        frame = pd.DataFrame({"ids": texts})
        frame["answer"] = answer
        assert [plain(v) for v in frame["answer"]] == want


@pytest.mark.skipif(pd is None, reason="pandas is not installed")
@pytest.mark.parametrize("dtype", [object, pd and pd.StringDtype("python"), "category"], ids=str)
@pytest.mark.parametrize("operation", ["is_valid", "validate"])
def test_pandas_without_pyarrow_answers_the_same(monkeypatch, dtype, operation):
    from cobalis._adapters import pandas as adapter

    kind, texts = PLAIN
    function = is_valid if operation == "is_valid" else validate
    with_arrow = function(kind, pandas_form(dtype)(texts))
    monkeypatch.setattr(adapter, "pa", None)
    without = function(kind, pandas_form(dtype)(texts))
    check_pandas(without, pandas_form(dtype)(texts), operation, [one(operation, kind, t, False) for t in texts])
    assert type(without) is type(with_arrow)
    (pd.testing.assert_series_equal if operation == "is_valid" else pd.testing.assert_frame_equal)(without, with_arrow)


@pytest.mark.parametrize("library, code", [
    ("", "cobalis.is_valid('iban', ['x']); cobalis.validate('iban', iter(['x']))"),
    ("polars", "import polars as pl, cobalis.polars; cobalis.validate('iban', pl.Series(['x'])); "
               "pl.LazyFrame({'a': ['x']}).select(pl.col('a').cobalis.is_valid('iban')).collect()"),
])
def test_no_other_column_library_is_imported(library, code):
    if library and optional(library) is None:
        pytest.skip(f"{library} is not installed")
    others = {"pandas", "polars", "pyarrow", "numpy"} - {library}
    code = f"import sys, cobalis; {code}; print(sorted({others!r} & set(sys.modules)))"
    env = {**os.environ, "PYTHONPATH": os.pathsep.join(p for p in sys.path if p)}
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, timeout=60)
    assert (done.returncode, done.stdout) == (0, "[]\n"), done.stderr


# --- every core in one call ------------------------------------------------------------------

def long_column(kind, rows, seed):
    rng = random.Random(seed)
    pool = {
        "iban": ["GB82 WEST 1234 5698 7654 32", "NO9386011117947", "DE89370400440532013000", "GB82WEST1234569876543"],
        "email": ["Info@Example.COM", "a@b", "user.name@mail.example.co.uk", "x@@y"],
        "bic": ["DEUTDEFF", "deut de ff 500", "NEDSZAJJXXX", "DEUT"],
    }[kind]
    return [None if rng.random() < 0.05 else rng.choice(pool) + ("" if rng.random() < 0.9 else "9")
            for _ in range(rows)]


@pytest.mark.skipif(pa is None, reason="pyarrow is not installed")
@pytest.mark.parametrize("kind", ["iban", "email", "bic"])
@pytest.mark.parametrize("operation", ["is_valid", "validate"])
def test_the_split_changes_nothing(kind, operation):
    """Long enough to be split (pieces of unequal size, across chunk ends), whatever the thread count."""
    texts = long_column(kind, 40_001, kind)
    want = [one(operation, kind, t, False) for t in texts]
    function = is_valid if operation == "is_valid" else validate
    cuts = [0, 3, 20_000, 20_001, 33_333, 40_001]
    chunked = pa.chunked_array([texts[a:b] for a, b in zip(cuts, cuts[1:])], pa.string_view())
    for threads in (1, 2, 3, 8, None):
        assert function(kind, chunked, threads=threads).to_pylist() == want, threads
    assert function(kind, pa.array(texts), threads=5).to_pylist() == want


@pytest.mark.skipif(pa is None, reason="pyarrow is not installed")
def test_a_long_column_is_checked_on_several_threads():
    """The call's own threads show in /proc while it runs (another Python thread looks)."""
    column = pa.array(long_column("iban", 400_000, 1))
    tasks = os.path.join("/proc", str(os.getpid()), "task")
    if not os.path.isdir(tasks):
        pytest.skip("no /proc here")
    seen, done = [], threading.Event()

    def look():
        while not done.is_set():
            seen.append(len(os.listdir(tasks)))

    watcher = threading.Thread(target=look)
    watcher.start()
    before = len(os.listdir(tasks))  # this thread and the watcher
    try:
        for _ in range(3):
            validate("iban", column, threads=4)
    finally:
        done.set()
        watcher.join()
    assert max(seen) >= before + 3  # three helpers beside the calling thread


@pytest.mark.parametrize("threads, error", [(0, ValueError), (-2, ValueError), (1.5, TypeError), ("2", TypeError),
                                            (True, TypeError)])
def test_threads_is_none_or_a_positive_int(threads, error):
    with pytest.raises(error, match="threads"):
        is_valid("iban", ["x"], threads=threads)


def test_a_huge_thread_count_is_capped():
    assert is_valid("iban", ["GB82 WEST 1234 5698 7654 32"], threads=10**30) == [True]


# --- polars expressions ------------------------------------------------------------------------

@pytest.mark.skipif(pl is None, reason="polars is not installed")
@pytest.mark.parametrize("lazy", [False, True], ids=["eager", "lazy"])
@pytest.mark.parametrize("strict", [False, True], ids=["plain", "strict"])
def test_polars_expressions(lazy, strict):
    import cobalis.polars  # noqa: F401  (registers the namespace)

    kind, texts = STRICT if strict else PLAIN
    frame = pl.DataFrame({"ids": texts, "n": range(len(texts))})
    if lazy:
        frame = frame.lazy()
    column = pl.col("ids").cobalis
    out = frame.with_columns(ok=column.is_valid(kind, strict=strict), result=column.validate(kind, strict=strict))
    out = out.collect() if lazy else out
    assert out["ok"].to_list() == [one("is_valid", kind, t, strict) for t in texts]
    assert out["result"].to_list() == [one("validate", kind, t, strict) for t in texts]
    assert out.schema["result"] == cobalis.polars.RESULT


@pytest.mark.skipif(pl is None, reason="polars is not installed")
def test_polars_expression_with_an_unknown_kind_fails_when_built():
    import cobalis.polars  # noqa: F401

    with pytest.raises(ValueError, match="unknown kind 'ibna'"):
        pl.col("x").cobalis.is_valid("ibna")
    with pytest.raises(ValueError, match="unknown kind 'luhn'"):
        pl.col("x").cobalis.validate("luhn")


# --- DuckDB ------------------------------------------------------------------------------------

@pytest.fixture(scope="module")
def database():
    if duckdb is None or pa is None:
        pytest.skip("duckdb and pyarrow are not installed")
    import cobalis.duckdb

    connection = duckdb.connect()
    names = cobalis.duckdb.register(connection)
    yield connection, names
    connection.close()


def test_duckdb_functions_are_registered_for_every_kind(database):
    _, names = database
    assert names == ([f"is_valid_{k}" for k in IS_VALID_KINDS] + [f"validate_{k}" for k in VALIDATE_KINDS]
                     + [f"strict_is_valid_{k}" for k in VALIDATE_KINDS] + [f"strict_validate_{k}" for k in VALIDATE_KINDS])


@pytest.mark.parametrize("strict", [False, True], ids=["plain", "strict"])
def test_duckdb_functions_over_several_vectors(database, strict):
    connection, _ = database
    kind, texts = STRICT if strict else PLAIN
    column = texts * 1000  # DuckDB hands vectors of 2048 rows
    prefix = "strict_" if strict else ""
    rows = connection.sql(f"SELECT {prefix}is_valid_{kind}(v), {prefix}validate_{kind}(v) "
                          "FROM unnest($1::VARCHAR[]) WITH ORDINALITY t(v, i) ORDER BY i", params=[column]).fetchall()
    assert rows == [(one("is_valid", kind, t, strict), one("validate", kind, t, strict)) for t in column]


def test_duckdb_register_again_replaces_the_functions(database):
    import cobalis.duckdb

    connection, names = database
    assert cobalis.duckdb.register(connection) == names
    assert connection.sql("SELECT is_valid_iban('GB82 WEST 1234 5698 7654 32'), "
                          "strict_validate_vat('DE 136 695 977').error").fetchall() == [(True, "invalid_checksum")]


def test_duckdb_where_clause_and_check_digits(database):
    connection, _ = database
    found = connection.sql("SELECT v FROM (VALUES ('79927398713'), ('79927398710'), (NULL)) t(v) "
                           "WHERE NOT is_valid_luhn(v)").fetchall()
    assert found == [("79927398710",)]
    assert connection.sql("SELECT validate_iban(NULL), is_valid_damm(NULL)").fetchall() == [(None, None)]
