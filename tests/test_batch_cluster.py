"""Whole columns across a cluster: a Dask `distributed` cluster of two worker
processes validates a partitioned column where its partitions lie.

The client runs in a process of its own, so that the cluster's threads and
state (which outlive its closing for a while) stay out of the test process.
"""

import json
import os
import random
import subprocess
import sys

import pytest

import _cobalis

CLIENT = """
import functools, json, os, sys
import dask.dataframe as dd, pandas as pd
from distributed import Client, LocalCluster
import cobalis

ibans = json.loads(sys.stdin.read())
with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0") as cluster, \\
        Client(cluster):
    column = dd.from_pandas(pd.DataFrame({"iban": ibans}), npartitions=6)["iban"]
    checked = column.map_partitions(functools.partial(cobalis.validate, "iban", threads=1)).compute()
    where = column.map_partitions(lambda part: pd.Series(os.getpid(), index=part.index)).compute()
print(json.dumps({
    "client": os.getpid(),
    "workers": sorted(set(int(pid) for pid in where)),
    "index": checked.index.tolist(),
    "rows": {field: [None if pd.isna(v) else v for v in checked[field].tolist()] for field in checked.columns},
}))
"""


@pytest.mark.slow
def test_worker_processes_validate_a_partitioned_column():
    pytest.importorskip("distributed")
    pytest.importorskip("dask.dataframe")
    pytest.importorskip("pandas")
    rng = random.Random(11)
    pool = ["GB82 WEST 1234 5698 7654 32", "GB82 WEST 1234 5698 7654 33", "NO9386011117947", "DE89 3704", ""]
    ibans = [None if rng.random() < 0.1 else rng.choice(pool) for _ in range(3000)]
    env = {**os.environ, "PYTHONPATH": os.pathsep.join(p for p in sys.path if p)}
    done = subprocess.run([sys.executable, "-c", CLIENT], input=json.dumps(ibans), capture_output=True, text=True,
                          env=env, timeout=300)
    assert done.returncode == 0, done.stderr
    answer = json.loads(done.stdout.splitlines()[-1])
    assert answer["workers"] and answer["client"] not in answer["workers"]  # every partition ran in a worker
    assert answer["index"] == list(range(len(ibans)))
    assert list(answer["rows"]) == ["is_valid", "error", "compact", "formatted"]
    for field, got in answer["rows"].items():
        assert got == [None if t is None else _cobalis.validate_iban(t)[field] for t in ibans], field
