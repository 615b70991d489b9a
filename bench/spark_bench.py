"""cobalis.spark against what Spark users write instead, in one local session.

Two million typical IBANs (bench/batch.py's mix: mostly valid, 40 % in
display form, 15 % with a typo) are cached in memory in a ``local[2]``
session, in --partitions partitions; each query counts the rows an
expression finds true (``count_if``), so that every row is evaluated and
nothing but a number comes back to the driver:

* ``rlike``: Spark's own regular expression for the shape of an IBAN (no
  check digits), and ``rlike start`` for its first four characters only, the
  floor of any per-row work in the JVM;
* ``arrow noop`` / ``pandas noop``: a UDF that answers whether each row is
  not null (one vectorised call per batch), the cost of moving the column to
  Python and back;
* ``is_valid`` / ``validate``: ``cobalis.spark.is_valid("iban", ...)`` and
  ``cobalis.spark.validate("iban", ...)["is_valid"]``;
* ``stdnum``: a ``pandas_udf`` calling python-stdnum's ``iban.is_valid`` per
  row (run once: it is slow).

The fast queries are run in turn, --repeats rounds, best of each, so that all
meet the same load.

    python bench/spark_bench.py [--rows N] [--partitions N] [--repeats N] [--out FILE]
"""

from __future__ import annotations

import argparse
import os
import platform
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import pyarrow as pa  # noqa: E402
from batch import typical_values  # noqa: E402

os.environ.setdefault("PYSPARK_PYTHON", sys.executable)

import pandas as pd  # noqa: E402
import pyspark  # noqa: E402
from pyspark.sql import SparkSession, functions as F  # noqa: E402

import cobalis  # noqa: E402
import cobalis.spark  # noqa: E402

IBAN_SHAPE = r"^[A-Z]{2}[0-9]{2}[A-Z0-9 ]{11,40}$"
IBAN_START = r"^[A-Z]{2}[0-9]{2}"


def arrow_noop(values: pa.Array) -> pa.Array:
    return values.is_valid()  # true where not null, by Arrow's own kernel


def pandas_noop(values: pd.Series) -> pd.Series:
    return values.notna()


def stdnum_is_valid(values: pd.Series) -> pd.Series:
    from stdnum import iban

    return values.map(lambda value: iban.is_valid(value) if isinstance(value, str) else None)


def session(partitions: int) -> SparkSession:
    return (
        SparkSession.builder.master("local[2]")
        .appName("cobalis-spark-bench")
        .config("spark.driver.host", "127.0.0.1")
        .config("spark.driver.bindAddress", "127.0.0.1")
        .config("spark.ui.enabled", "false")
        .config("spark.sql.shuffle.partitions", str(partitions))
        .config("spark.pyspark.python", sys.executable)
        .getOrCreate()
    )


def best(timings: dict[str, float], name: str, run) -> None:
    start = time.perf_counter()
    run()
    timings[name] = min(timings.get(name, float("inf")), time.perf_counter() - start)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=2_000_000)
    parser.add_argument("--partitions", type=int, default=4)
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--out", help="append the table to this file too")
    args = parser.parse_args()

    started = time.perf_counter()
    spark = session(args.partitions)
    spark.sparkContext.setLogLevel("ERROR")
    start_seconds = time.perf_counter() - started

    values = typical_values("iban", args.rows)
    frame = spark.createDataFrame(pd.DataFrame({"iban": pd.Series(values, dtype=object)}), "iban string")
    frame = frame.repartition(args.partitions).cache()
    frame.count()
    column = F.col("iban")
    expected = sum(cobalis.is_valid("iban", pa.array(values, pa.string())).to_pylist())

    queries = {
        "rlike": column.rlike(IBAN_SHAPE),
        "rlike start": column.rlike(IBAN_START),
        "arrow noop": F.arrow_udf(arrow_noop, "boolean")(column) if hasattr(F, "arrow_udf") else None,
        "pandas noop": F.pandas_udf(pandas_noop, "boolean")(column),
        "is_valid": cobalis.spark.is_valid("iban", column),
        "validate": cobalis.spark.validate("iban", column)["is_valid"],
    }
    queries = {name: expression for name, expression in queries.items() if expression is not None}

    def count(expression):
        return frame.select(F.count_if(expression)).collect()[0][0]

    for name in ("is_valid", "validate"):
        found = count(queries[name])
        assert found == expected, (name, found, expected)
    timings: dict[str, float] = {}
    for _ in range(args.repeats):
        for name, expression in queries.items():
            best(timings, name, lambda: count(expression))
    best(timings, "stdnum", lambda: count(F.pandas_udf(stdnum_is_valid, "boolean")(column)))
    spark.stop()

    lines = [
        f"pyspark {pyspark.__version__}, Python {platform.python_version()}, pandas {pd.__version__}, "
        f"pyarrow {pa.__version__}, `local[2]`, {args.rows:,} rows in {args.partitions} cached partitions, "
        f"best of {args.repeats} (stdnum: one run); session start {start_seconds:.1f} s",
        "",
        "| query | seconds | over rlike | over is_valid |",
        "|---|---:|---:|---:|",
    ]
    for name, seconds in timings.items():
        over = f"{seconds / timings['rlike']:.2f}x | {seconds / timings['is_valid']:.2f}x"
        lines.append(f"| {name} | {seconds:.2f} | {over} |")
    text = "\n".join(lines)
    print(text)
    if args.out:
        with open(args.out, "a", encoding="utf-8") as out:
            out.write(text + "\n")


if __name__ == "__main__":
    main()
