"""Values per second: whole-column checks on one core and on every core, against a Python loop.

For each kind, one million typical values (mostly valid ids, 40 % of them in
display form, 15 % with a typo) as a pyarrow string array are checked

* by the loop ``[is_valid_X(s) for s in xs]`` (likewise ``validate_X``),
* by ``cobalis.is_valid(kind, array, threads=1)``: one core,
* by ``cobalis.is_valid(kind, array)``: every core the process may use, in one call,

and the same for ``cobalis.validate``. The answer arrives as a pyarrow array
inside the timed region. One and all cores are timed alternately, best of
``--repeats`` runs each, so that both see the same load.

The machine may be shared: wall-clock speed-up then shows the other
processes as much as this code. Beside it the table gives what does not
depend on them so much:

* ``work``: CPU seconds of the all-cores call over those of the one-core
  call, the extra work that splitting costs (1.00 would be none);
* ``serial``: the part of the all-cores call that ran on one thread (reading
  the column, sizing the answer, the Python call and the import of the
  answer), measured with ``_cobalis_batch._last_call()``;
* ``idle``: the speed-up these two predict on idle cores,
  ``cpu1 / (serial + (cpuN - serial) / N)``.

With ``--distinct D``, the same column drawn from D distinct values is
checked as a dictionary-encoded array (``dictionary_encode()``: each distinct
value checked once, each row taking its answer by index) and as the plain
string array, alternately in one run, on one core and on every core.

    PYTHONPATH=build/dev:python python3 bench/batch.py [--rows N] [--kinds iban,vat,email] [--out FILE]
    PYTHONPATH=build/dev:python python3 bench/batch.py --distinct 1000 [--rows N] [--kinds iban]
"""

import argparse
import os
import random
import string
import time

import pyarrow as pa

import _cobalis
import _cobalis_batch
from cobalis._batch import VALIDATE_KINDS, is_valid, validate

DIGITS = string.digits
LETTERS = string.ascii_uppercase
ALNUM = DIGITS + LETTERS
# Speed-up of every core over one, per core.
TARGET_PER_CORE = 0.85

rng = random.Random(1)


def pick(alphabet, n):
    return "".join(rng.choice(alphabet) for _ in range(n))


# kind -> () -> (template with one "{}", candidates for the check characters)
SHAPES = {
    "iban": lambda: (rng.choice(["GB{}WEST" + pick(DIGITS, 14), "DE{}" + pick(DIGITS, 18),
                                 "FR{}" + pick(DIGITS, 10) + pick(ALNUM, 11) + pick(DIGITS, 2)]),
                     [f"{c:02d}" for c in range(100)]),
    "bic": lambda: (pick(LETTERS, 4) + rng.choice(["DE", "GB", "FR"]) + pick(ALNUM, 2) + "{}", ["", "XXX"]),
    "credit_card": lambda: ("4" + pick(DIGITS, 14) + "{}", DIGITS),
    "isbn": lambda: ("978" + pick(DIGITS, 9) + "{}", DIGITS),
    "issn": lambda: (pick(DIGITS, 7) + "{}", DIGITS + "X"),
    "isin": lambda: (rng.choice(["US", "DE", "GB"]) + pick(ALNUM, 9) + "{}", DIGITS),
    "lei": lambda: (pick(ALNUM, 18) + "{}", [f"{c:02d}" for c in range(100)]),
    "ean": lambda: (pick(DIGITS, 12) + "{}", DIGITS),
    "vat": lambda: (rng.choice(["DE", "ATU", "IT", "FI", "PL"]) + pick(DIGITS, 7) + "{}", DIGITS),
    "email": lambda: (pick(string.ascii_lowercase, 8) + "." + pick(string.ascii_lowercase, 5) + "@"
                      + rng.choice(["example.com", "mail.example.co.uk"]) + "{}", [""]),
}


def typical_values(kind, rows, distinct=2000):
    check = getattr(_cobalis, f"is_valid_{kind}")
    display = getattr(_cobalis, f"validate_{kind}")
    pool = []
    while len(pool) < distinct:
        template, candidates = SHAPES[kind]()
        value = next((v for v in (template.format(c) for c in candidates) if check(v)), template.format(candidates[0]))
        roll = rng.random()
        if roll < 0.4:
            value = display(value)["formatted"] or value
        elif roll < 0.55:
            i = rng.randrange(len(value))
            value = value[:i] + rng.choice(DIGITS) + value[i + 1:]
        pool.append(value)
    return [rng.choice(pool) for _ in range(rows)]


class Timing:
    """Best wall and CPU seconds of one way of calling, and the serial seconds of its best run."""

    def __init__(self):
        self.wall = self.cpu = float("inf")
        self.serial = 0.0

    def run(self, call):
        cpu, start = time.process_time(), time.perf_counter()
        answer = call()
        wall, cpu = time.perf_counter() - start, time.process_time() - cpu
        del answer  # freeing it is no part of the call
        if wall < self.wall:
            inside = _cobalis_batch._last_call()
            self.wall = wall
            self.serial = wall - inside["parallel_seconds"] if inside["parallel_seconds"] else wall
        self.cpu = min(self.cpu, cpu)


def measure(kind, rows, repeats, cores):
    xs = typical_values(kind, rows)
    array = pa.array(xs, pa.string())
    one_is_valid = getattr(_cobalis, f"is_valid_{kind}")
    one_validate = getattr(_cobalis, f"validate_{kind}")
    line = {"kind": kind, "valid": sum(map(one_is_valid, xs)) / rows}
    for name, operation, one in (("is_valid", is_valid, one_is_valid), ("validate", validate, one_validate)):
        loop = Timing()
        loop.run(lambda: [one(s) for s in xs])
        single, every = Timing(), Timing()
        for _ in range(repeats):  # alternately, so that both meet the same load
            single.run(lambda: operation(kind, array, threads=1))
            every.run(lambda: operation(kind, array))
        assert _cobalis_batch._last_call()["threads"] == cores
        line[name] = (loop, single, every)
    return line


def millions(seconds, rows):
    return f"{rows / seconds / 1e6:.2f}"


def table(lines, rows, cores):
    head = ("| kind | op | loop | 1 core | all cores | speed-up | target | work | serial | idle |\n"
            "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n")
    body = []
    for line in lines:
        for name in ("is_valid", "validate"):
            loop, single, every = line[name]
            idle = single.cpu / (every.serial + (every.cpu - every.serial) / cores)
            body.append("| " + " | ".join([
                line["kind"] if name == "is_valid" else "", name, millions(loop.wall, rows), millions(single.wall, rows),
                millions(every.wall, rows), f"{single.wall / every.wall:.2f}x", f"{TARGET_PER_CORE * cores:.2f}x",
                f"{every.cpu / single.cpu:.2f}", f"{every.serial * 1e3:.2f} ms ({every.serial / every.wall:.1%})",
                f"{idle:.2f}x",
            ]) + " |")
    note = (f"\nMillions of values per second over {rows:,} values per kind, best of several runs, on {cores} cores "
            f"(load average {os.getloadavg()[0]:.2f} at the end). Speed-up: all cores over one, in one call each "
            f"(target {TARGET_PER_CORE:g} x cores). Work: CPU time of the all-cores call over the one-core call. "
            "Serial: time of the all-cores call outside its parallel part. Idle: the speed-up that work and serial "
            "predict on idle cores.\n")
    return head + "\n".join(body) + "\n" + note


def measure_dictionary(kind, rows, distinct, repeats, cores):
    """Plain and dictionary-encoded forms of one column, timed alternately."""
    plain = pa.array(typical_values(kind, rows, distinct), pa.string())
    encoded = plain.dictionary_encode()
    lines = []
    for name, operation in (("is_valid", is_valid), ("validate", validate)):
        assert operation(kind, encoded).equals(operation(kind, plain))
        for threads in (1, None):
            timings = {"plain": Timing(), "dictionary": Timing()}
            for _ in range(repeats):
                timings["plain"].run(lambda: operation(kind, plain, threads=threads))
                timings["dictionary"].run(lambda: operation(kind, encoded, threads=threads))
            lines.append((kind, name, threads or cores, timings["plain"].wall, timings["dictionary"].wall))
    return lines


def dictionary_table(lines, rows, distinct):
    head = ("| kind | op | threads | plain | dictionary | dictionary over plain |\n"
            "|---|---|---:|---:|---:|---:|\n")
    body = [f"| {kind} | {name} | {threads} | {millions(plain, rows)} | {millions(encoded, rows)} | "
            f"{plain / encoded:.1f}x |" for kind, name, threads, plain, encoded in lines]
    note = (f"\nMillions of values per second over {rows:,} values drawn from {distinct:,} distinct ones, best of "
            "several runs, the two forms timed alternately in one run (load average "
            f"{os.getloadavg()[0]:.2f} at the end).\n")
    return head + "\n".join(body) + "\n" + note


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--kinds", default="iban,vat,email", help=f"any of {','.join(VALIDATE_KINDS)}")
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--out", default=None, help="also write the table to this file")
    parser.add_argument("--distinct", type=int, default=None,
                        help="time a column of this many distinct values, dictionary-encoded against plain")
    args = parser.parse_args()
    cores = len(os.sched_getaffinity(0))
    print(f"{cores} cores; load average {os.getloadavg()[0]:.2f} at the start", flush=True)
    if args.distinct:
        found = [line for kind in args.kinds.split(",")
                 for line in measure_dictionary(kind, args.rows, args.distinct, args.repeats, cores)]
        text = dictionary_table(found, args.rows, args.distinct)
        print(text)
        if args.out:
            with open(args.out, "w") as f:
                f.write(text)
        return
    lines = []
    for kind in args.kinds.split(","):
        lines.append(measure(kind, args.rows, args.repeats, cores))
        print(kind, "done", flush=True)
    text = table(lines, args.rows, cores)
    print(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
