"""Spark column and SQL functions, on a real engine.

A ``local[2]`` session (one per module: a JVM takes seconds to start) runs
every function over one column holding examples of every kind, near misses
and nulls, through both UDF paths (pyarrow arrays, and the pandas columns of
Spark before 4.1), and through SQL; the answers must be those of
``cobalis.is_valid`` / ``cobalis.validate`` for the same values. Then a
standalone master and worker, started from pyspark's own launcher on
127.0.0.1, run the same query from a driver in a process of its own (a
process may hold one Spark context), with executors in the worker's own
directory.
"""

import doctest
import json
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import sys
import time
import urllib.request

import pytest

pyspark = pytest.importorskip("pyspark")
if shutil.which("java") is None and not os.environ.get("JAVA_HOME"):
    pytest.skip("no Java runtime for Spark", allow_module_level=True)

from pyspark.errors import AnalysisException  # noqa: E402
from pyspark.sql import SparkSession, functions as F  # noqa: E402

import cobalis  # noqa: E402
import cobalis.spark  # noqa: E402
from cobalis._batch import IS_VALID_KINDS, VALIDATE_KINDS  # noqa: E402

pytestmark = pytest.mark.slow

README = pathlib.Path(__file__).resolve().parent.parent / "README.md"

# Valid examples of each kind (each is a near miss or noise to the others),
# ones that only the national rules reject (BE41..., AA03..., DEUTXXFF,
# DE123456789), typos, and nulls.
VALUES = [
    "GB82 WEST 1234 5698 7654 32", "GB82 WEST 1234 5698 7654 33", "NO9386011117947", "BE41 5390 0754 7035",
    "DEUTDEFF", "NEDSZAJJXXX", "DEUTXXFF",
    "4111 1111 1111 1111", "5500 0000 0000 0004",
    "978-0-306-40615-7", "0-306-40615-2", "0317-8471", "2434-561X",
    "US0378331005", "AA0378331009", "5493001KJTIIGC8Y1R12",
    "4006381333931", "73513537",
    "DE123456789", "ATU13585627", "XI123",
    "user@example.com", "a@b",
    "79927398713", "2363", "5724",
    None, "", "   ", "\u00e9", None,
]
# Every function: (operation, kind, strict).
CALLS = [
    (operation, kind, strict)
    for operation, kinds in (("is_valid", IS_VALID_KINDS), ("validate", VALIDATE_KINDS))
    for kind in kinds
    for strict in (False, True)
]


def label(operation, kind, strict):
    return f"{'strict_' if strict else ''}{operation}_{kind}"


def expected(operation, kind, strict):
    return getattr(cobalis, operation)(kind, VALUES, strict=strict)


def plain(value):
    return value.asDict() if hasattr(value, "asDict") else value


# Short-lived JVMs doing little work: the quick compiler alone starts them about
# twice as fast.
QUICK_JVM = "-XX:TieredStopAtLevel=1 -XX:+UseSerialGC"


def executor_env():
    # The executors' Python imports cobalis from where this one does.
    return os.pathsep.join(path for path in sys.path if path)


@pytest.fixture(scope="module")
def spark():
    session = (
        SparkSession.builder.master("local[2]")
        .appName("cobalis-tests")
        .config("spark.driver.host", "127.0.0.1")
        .config("spark.driver.bindAddress", "127.0.0.1")
        .config("spark.ui.enabled", "false")
        .config("spark.sql.shuffle.partitions", "2")
        .config("spark.pyspark.python", sys.executable)
        .config("spark.executorEnv.PYTHONPATH", executor_env())
        .config("spark.driver.extraJavaOptions", QUICK_JVM)
        .getOrCreate()
    )
    session.sparkContext.setLogLevel("ERROR")
    yield session
    session.stop()


@pytest.fixture(scope="module")
def frame(spark):
    # Two partitions: each task's batch answers rows of its own.
    return spark.createDataFrame(list(enumerate(VALUES)), "id int, value string").repartition(2, "id")


@pytest.fixture(scope="module", params=["arrow", "pandas"])
def answers(request, frame):
    """Every function over the column, in one query: {label: [answer per row]}."""
    if request.param == "arrow" and not cobalis.spark.ARROW_UDFS:
        pytest.skip("this Spark has no Arrow UDFs")
    saved = cobalis.spark.ARROW_UDFS
    cobalis.spark.ARROW_UDFS = request.param == "arrow"
    try:
        columns = [getattr(cobalis.spark, op)(kind, "value", strict=strict).alias(label(op, kind, strict))
                   for op, kind, strict in CALLS]
        rows = frame.select("id", *columns).orderBy("id").collect()
    finally:
        cobalis.spark.ARROW_UDFS = saved
    assert [row["id"] for row in rows] == list(range(len(VALUES)))
    return {name: [plain(row[name]) for row in rows] for name in rows[0].asDict() if name != "id"}


@pytest.mark.parametrize("operation, kind, strict", CALLS, ids=[label(*call) for call in CALLS])
def test_answers_equal_the_column_path(answers, operation, kind, strict):
    assert answers[label(operation, kind, strict)] == expected(operation, kind, strict)
    if kind in ("iban", "bic", "isin", "vat"):  # the values tell strict from plain here
        assert expected(operation, kind, strict) != expected(operation, kind, not strict)


def test_sql_functions(spark, frame):
    names = cobalis.spark.register(spark)
    calls = [call for call in CALLS if not call[2] or call[1] in VALIDATE_KINDS]
    assert names == [label(*call) for call in sorted(calls, key=lambda call: (call[2], call[0] != "is_valid"))]
    frame.createOrReplaceTempView("cobalis_values")
    rows = spark.sql(f"SELECT {', '.join(f'{name}(value) AS {name}' for name in names)} "
                     "FROM cobalis_values ORDER BY id").collect()
    for operation, kind, strict in calls:
        name = label(operation, kind, strict)
        assert [plain(row[name]) for row in rows] == expected(operation, kind, strict), name
    assert rows[0].__fields__ == names
    schema = spark.sql("SELECT validate_iban('x') AS r, is_valid_luhn('x') AS b").schema
    assert schema["r"].dataType == cobalis.spark.RESULT and schema["b"].dataType.simpleString() == "boolean"


def test_filter_and_with_column(frame):
    named = frame.select(cobalis.spark.is_valid("iban", "value"), cobalis.spark.validate("vat", F.upper("value"), strict=True))
    assert named.columns == ["is_valid_iban(value)", "strict_validate_vat(upper(value))"]  # as SQL names them
    checked = frame.withColumn("ok", cobalis.spark.is_valid("iban", F.col("value")))
    assert checked.schema["ok"].dataType.simpleString() == "boolean"
    kept = checked.filter(cobalis.spark.is_valid("iban", frame.value, strict=True)).orderBy("id")
    assert [row.value for row in kept.collect()] == [
        value for value, ok in zip(VALUES, cobalis.is_valid("iban", VALUES, strict=True)) if ok
    ]


@pytest.mark.parametrize("call, error, message", [
    (lambda: cobalis.spark.is_valid("pan", "value"), ValueError, "unknown kind 'pan'"),
    (lambda: cobalis.spark.validate("luhn", "value"), ValueError, "for is_valid only"),
    (lambda: cobalis.spark.is_valid("iban", 3), TypeError, "a Column or a column name, not int"),
    (lambda: cobalis.spark.validate(None, "value"), TypeError, "kind must be a str"),
], ids=["unknown-kind", "algorithm-validate", "not-a-column", "kind-not-str"])
def test_bad_arguments_raise_at_the_call(call, error, message):
    with pytest.raises(error, match=message):
        call()


@pytest.mark.skipif(not hasattr(F, "collate"), reason="Spark before 4.0 checks the type in the executor")
def test_a_column_not_of_strings_fails_analysis_on_the_driver(frame):
    # Raised by select itself, before any job: the query does not analyse.
    with pytest.raises(AnalysisException, match=r'requires the "STRING" type, however "id" has the type "INT"'):
        frame.select(cobalis.spark.validate("iban", "id"))


def test_readme_example(spark):
    # README's Spark block (```pycon: test_readme runs ```python blocks, each on
    # its own, and a session start is too slow for that), on this session.
    text = README.read_text(encoding="utf-8")
    block = re.search(r"^```pycon\n(>>> from pyspark.*?)^```\n", text, re.M | re.S)
    assert block, "no Spark example in README.md"
    line = text.count("\n", 0, block.start(1))
    test = doctest.DocTestParser().get_doctest(block[1], {"cobalis": cobalis}, "README.md", str(README), line)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE | doctest.ELLIPSIS)
    runner.run(test, out=lambda report: pytest.fail(report, pytrace=False))
    assert runner.failures == 0 and test.examples


# --- a standalone cluster on this machine -----------------------------------------------------

CLIENT = """
import json, os, sys
from pyspark.sql import SparkSession, functions as F
import cobalis.spark

request = json.loads(sys.stdin.read())
spark = (
    SparkSession.builder.master(request["master"]).appName("cobalis-cluster-test")
    .config("spark.driver.host", "127.0.0.1").config("spark.driver.bindAddress", "127.0.0.1")
    .config("spark.ui.enabled", "false").config("spark.executor.memory", "512m").config("spark.cores.max", "2")
    .config("spark.pyspark.python", sys.executable)
    .config("spark.executorEnv.PYTHONPATH", request["pythonpath"])
    .config("spark.driver.extraJavaOptions", request["jvm"]).config("spark.executor.extraJavaOptions", request["jvm"])
    .getOrCreate()
)
frame = spark.createDataFrame(list(enumerate(request["values"])), "id int, value string").repartition(2, "id")
columns = [getattr(cobalis.spark, op)(kind, "value", strict=strict).alias(f"c{i}")
           for i, (op, kind, strict) in enumerate(request["calls"])]
where = F.udf(lambda _: os.getcwd(), "string")("id").alias("where")
rows = frame.select("id", where, *columns).orderBy("id").collect()
answers = [[r[f"c{i}"].asDict() if hasattr(r[f"c{i}"], "asDict") else r[f"c{i}"] for r in rows]
           for i in range(len(request["calls"]))]
print(json.dumps({"client": os.getcwd(), "where": sorted({r["where"] for r in rows}), "answers": answers}))
spark.stop()
"""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(ready, seconds, what, logs):
    deadline = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > deadline:
            pytest.fail(f"{what} within {seconds} s; logs:\n" + "\n".join(p.read_text()[-3000:] for p in logs))
        time.sleep(0.25)


def listening(port):
    with socket.socket() as probe:
        probe.settimeout(1)
        return probe.connect_ex(("127.0.0.1", port)) == 0


def alive_workers(ui_port):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{ui_port}/json/", timeout=2) as response:
            return json.load(response).get("aliveworkers", 0)
    except OSError:
        return 0


def stop(process):
    # spark-class execs the JVM in a session of its own; a worker's executors
    # are in the worker's process group.
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait(timeout=30)


@pytest.fixture
def standalone(tmp_path):
    """(master URL, the worker's directory) of a master and a worker of two cores on 127.0.0.1."""
    home = pathlib.Path(pyspark.__file__).resolve().parent
    (tmp_path / "conf").mkdir()
    env = {**os.environ, "SPARK_HOME": str(home), "SPARK_LOCAL_IP": "127.0.0.1",
           "SPARK_CONF_DIR": str(tmp_path / "conf"), "SPARK_LOG_DIR": str(tmp_path),
           "SPARK_DAEMON_JAVA_OPTS": QUICK_JVM, "SPARK_DAEMON_MEMORY": "256m"}
    port, ui_port = free_port(), free_port()
    commands = {
        "master": ["org.apache.spark.deploy.master.Master", "--host", "127.0.0.1", "--port", str(port),
                   "--webui-port", str(ui_port)],
        "worker": ["org.apache.spark.deploy.worker.Worker", "--host", "127.0.0.1", "--webui-port", str(free_port()),
                   "--cores", "2", "--memory", "1g", "--work-dir", str(tmp_path / "work"),
                   f"spark://127.0.0.1:{port}"],
    }
    processes, logs = [], []
    try:
        for name, arguments in commands.items():
            logs.append(tmp_path / f"{name}.log")
            with open(logs[-1], "wb") as log:
                processes.append(subprocess.Popen(["bash", str(home / "bin" / "spark-class"), *arguments], env=env,
                                                  stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                                  start_new_session=True, cwd=tmp_path))
            if name == "master":
                wait_for(lambda: listening(port), 90, "the master listening", logs)
        wait_for(lambda: alive_workers(ui_port) >= 1, 90, "the worker registered", logs)
        yield f"spark://127.0.0.1:{port}", tmp_path / "work", logs
    finally:
        for process in reversed(processes):
            stop(process)


def test_standalone_cluster_runs_every_function(standalone):
    master, work, logs = standalone
    request = {"master": master, "pythonpath": executor_env(), "values": VALUES, "calls": CALLS,
               "jvm": QUICK_JVM}
    done = subprocess.run([sys.executable, "-c", CLIENT], input=json.dumps(request), capture_output=True,
                          text=True, timeout=240, cwd=work.parent)
    assert done.returncode == 0, done.stderr[-5000:] + "\n".join(p.read_text()[-3000:] for p in logs)
    answer = json.loads(done.stdout.splitlines()[-1])
    # The rows were answered by Python workers of the worker's executors, in its directory.
    assert answer["where"] and all(pathlib.Path(where).is_relative_to(work) for where in answer["where"])
    for (operation, kind, strict), got in zip(CALLS, answer["answers"]):
        assert got == expected(operation, kind, strict), label(operation, kind, strict)
