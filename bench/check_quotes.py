"""`cobalis check` on a file with a stray quote, against the same file without it.

A quote inside an unquoted field (``O"Brien``, ``12" pizza``) is an ordinary
character to the CSV reader. The block reader must find its block boundaries
by the same rule, or it reads the rest of the file as one block. Two files of
``--rows`` rows (id, name, IBAN; one IBAN in seven with a wrong check digit)
differ only in one name near the start, ``O"Brien`` in the second. Each is
checked by ``python -m cobalis check iban FILE -c iban -o /dev/null``,
alternately, ``--repeats`` times; the table gives the best wall time and the
largest peak memory (maximum resident set size of the process) of each.

    PYTHONPATH=python python3 bench/check_quotes.py [--rows 3000000] [--repeats 3] [--before TREE]

``--before TREE`` adds the same runs with the package found under TREE (for
instance an export of an earlier commit's ``python/``), in the same
alternation.
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile
import time


def write_files(directory: str, rows: int) -> tuple[str, str]:
    chance = random.Random(20260101)
    plain, stray = os.path.join(directory, "plain.csv"), os.path.join(directory, "stray.csv")
    with open(plain, "w", newline="") as a, open(stray, "w", newline="") as b:
        for out in (a, b):
            out.write("id,name,iban\n")
        for start in range(0, rows, 100_000):
            lines = []
            for n in range(start, min(rows, start + 100_000)):
                bban = f"{chance.randrange(10**18):018d}"
                digits = int("".join(str(int(c, 36)) for c in bban + "DE00"))
                check = 98 - digits % 97 if n % 7 else (98 - digits % 97 + 1) % 100
                lines.append(f"{n},name {n},DE{check:02d}{bban}\n")
            text = "".join(lines)
            a.write(text)
            b.write(text.replace("10,name 10,", '10,O"Brien,', 1) if start == 0 else text)
    return plain, stray


def run(path: str, tree: str) -> tuple[float, int]:
    """Wall seconds and peak memory in MB of one check of `path` with the package under `tree`."""
    env = {**os.environ, "PYTHONPATH": tree}
    command = [sys.executable, "-m", "cobalis", "check", "iban", path, "-c", "iban", "-o", os.devnull]
    start = time.perf_counter()
    child = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode not in (0, 1):
        raise SystemExit(f"{command} ended with status {child.returncode}")
    return elapsed, usage.ru_maxrss // 1024


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=3_000_000)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--before", metavar="TREE", help="also run the package under TREE")
    args = parser.parse_args()
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "python")
    trees = [("this tree", os.path.abspath(here))] + ([("before", args.before)] if args.before else [])
    with tempfile.TemporaryDirectory() as directory:
        files = dict(zip(("without", "with"), write_files(directory, args.rows)))
        size = os.path.getsize(files["with"]) / 1e6
        best: dict[tuple[str, str], tuple[float, int]] = {}
        for _ in range(args.repeats):
            for tree_name, tree in trees:
                for file_name, path in files.items():
                    seconds, megabytes = run(path, tree)
                    old = best.get((tree_name, file_name), (float("inf"), 0))
                    best[(tree_name, file_name)] = (min(old[0], seconds), max(old[1], megabytes))
    print(f"{args.rows:,} rows, {size:.0f} MB; best of {args.repeats}\n")
    print("| package | stray quote | seconds | peak MB | time vs without |")
    print("|---|---|---:|---:|---:|")
    for tree_name, _ in trees:
        base = best[(tree_name, "without")][0]
        for file_name in files:
            seconds, megabytes = best[(tree_name, file_name)]
            print(f"| {tree_name} | {file_name} | {seconds:.2f} | {megabytes} | {seconds / base:.2f}x |")


if __name__ == "__main__":
    main()
