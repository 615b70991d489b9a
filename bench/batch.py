"""Values per second: whole-column checks against a Python loop over the one-value functions.

For each kind, one million typical values (mostly valid ids, half of them in
display form, the rest with a typo) are checked

* by the loop ``[is_valid_X(s) for s in xs]`` and by ``cobalis.is_valid(kind, array)``
  on the same values as a pyarrow string array, then by two threads each
  checking one half;
* likewise for ``[validate_X(s) for s in xs]`` and ``cobalis.validate``.

Each time is the best of a few runs, as the machine is shared. The answers are
taken into pyarrow (``pa.array(answer)``) inside the timed region.

    PYTHONPATH=build/dev:python python3 bench/batch.py [--rows N] [--kinds iban,vat] [--out FILE]
"""

import argparse
import random
import string
import threading
import time

import pyarrow as pa

import _cobalis
from cobalis._batch import VALIDATE_KINDS, is_valid, validate

DIGITS = string.digits
LETTERS = string.ascii_uppercase
ALNUM = DIGITS + LETTERS
TARGETS = {"is_valid": 3.0, "validate": 8.0, "threads": 1.6}

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


def typical_values(kind, rows):
    check = getattr(_cobalis, f"is_valid_{kind}")
    display = getattr(_cobalis, f"validate_{kind}")
    pool = []
    while len(pool) < 2000:
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


def best_of(repeats, run):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    return best


def in_two_threads(operation, kind, array):
    half = len(array) // 2
    halves = [array.slice(0, half), array.slice(half)]

    def run():
        threads = [threading.Thread(target=lambda part=part: pa.array(operation(kind, part))) for part in halves]
        for t in threads:
            t.start()
        for t in threads:
            t.join()

    return run


def measure(kind, rows, repeats):
    xs = typical_values(kind, rows)
    array = pa.array(xs, pa.string())
    one_is_valid = getattr(_cobalis, f"is_valid_{kind}")
    one_validate = getattr(_cobalis, f"validate_{kind}")
    line = {"kind": kind, "valid": sum(map(one_is_valid, xs)) / rows}
    for name, operation, one, loop_repeats in (("is_valid", is_valid, one_is_valid, repeats),
                                               ("validate", validate, one_validate, max(1, repeats - 1))):
        loop = best_of(loop_repeats, lambda: [one(s) for s in xs])
        column = best_of(repeats, lambda: pa.array(operation(kind, array)))
        threads = best_of(repeats, in_two_threads(operation, kind, array))
        line[name] = (rows / loop, rows / column, rows / threads)
    return line


def millions(rate):
    return f"{rate / 1e6:.2f}"


def table(lines, rows):
    head = ("| kind | valid | is_valid loop | is_valid Arrow | ratio | 2 threads | ratio "
            "| validate loop | validate Arrow | ratio | 2 threads | ratio |\n"
            "|---|---|---|---|---|---|---|---|---|---|---|---|\n")
    body = []
    for line in lines:
        cells = [line["kind"], f"{line['valid']:.0%}"]
        for name in ("is_valid", "validate"):
            loop, column, threads = line[name]
            cells += [millions(loop), millions(column), f"{column / loop:.1f}x", millions(threads),
                      f"{threads / column:.2f}x"]
        body.append("| " + " | ".join(cells) + " |")
    note = (f"\nMillions of values per second over {rows:,} values per kind (best of several runs). "
            f"Ratios: Arrow path over the loop (targets {TARGETS['is_valid']:g}x for is_valid, "
            f"{TARGETS['validate']:g}x for validate), two threads over one (target {TARGETS['threads']:g}x).\n")
    return head + "\n".join(body) + "\n" + note


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--kinds", default=",".join(VALIDATE_KINDS))
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--out", default=None, help="also write the table to this file")
    args = parser.parse_args()
    lines = []
    for kind in args.kinds.split(","):
        lines.append(measure(kind, args.rows, args.repeats))
        print(kind, "done", flush=True)
    text = table(lines, args.rows)
    print(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
