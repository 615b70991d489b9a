"""Whole columns across a cluster: a Dask `distributed` cluster of two worker
processes validates a partitioned column where its partitions lie."""

import functools
import os
import random

import pytest

import _cobalis
import cobalis


@pytest.mark.slow
def test_worker_processes_validate_a_partitioned_column():
    distributed = pytest.importorskip("distributed")
    dd = pytest.importorskip("dask.dataframe")
    pd = pytest.importorskip("pandas")
    rng = random.Random(11)
    pool = ["GB82 WEST 1234 5698 7654 32", "GB82 WEST 1234 5698 7654 33", "NO9386011117947", "DE89 3704", ""]
    ibans = [None if rng.random() < 0.1 else rng.choice(pool) for _ in range(3000)]
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0") \
            as cluster, distributed.Client(cluster):
        column = dd.from_pandas(pd.DataFrame({"iban": ibans}), npartitions=6)["iban"]
        checked = column.map_partitions(functools.partial(cobalis.validate, "iban", threads=1)).compute()
        where = column.map_partitions(lambda part: pd.Series(os.getpid(), index=part.index)).compute()
    assert set(where) and os.getpid() not in set(where)  # every partition ran in a worker process
    assert checked.index.tolist() == list(range(len(ibans)))
    for field in ("is_valid", "error", "compact", "formatted"):
        got = [None if pd.isna(v) else v for v in checked[field]]
        assert got == [None if t is None else _cobalis.validate_iban(t)[field] for t in ibans], field
