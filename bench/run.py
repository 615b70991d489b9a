"""How fast _cobalis answers, beside a bare call, a Python dict and its peers.

    PYTHONPATH=build/dev python bench/run.py [--repeat N] [--core build/bench/core_bench]

For every kind, on the typical inputs of bench/corpus/<kind>.txt (valid and
invalid alike), it prints ns per call of is_valid_X and validate_X, of len(s)
(the floor: a bare call of a builtin on the same string), of a Python dict
display with the keys validate_X returns, and of the closest function of each
peer (python-stdnum, schwifty, validators, email-validator; `pip install
".[bench]"`), all measured in this one run, then the ratios and the targets:
is_valid_X within 2x len(s), validate_X no slower than the dict display,
is_valid_X at least 30x faster than the fastest peer; and, for the kinds with
national rules, cobalis.strict's is_valid_X and validate_X beside the plain
ones (strict is_valid_X within 1.2x the plain one for iban and vat). With
--core it also runs
the C++ core benchmark (built with -DCOBALIS_BUILD_BENCHMARKS=ON) and adds its
table: validations per second and ns per input byte, without Python.
"""
from __future__ import annotations

import argparse
import datetime
import gc
import json
import platform
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import _cobalis  # noqa: E402
import corpus  # noqa: E402

try:
    from cobalis import strict
except ImportError:  # an extension built without the package beside it
    strict = None

FLOOR_TARGET = 2.0
PEER_TARGET = 30.0
STRICT_TARGET = 1.2  # strict.is_valid_X over is_valid_X, for the kinds below
STRICT_TARGET_KINDS = ("iban", "vat")
TIMES = 20  # the corpus is walked this many times per measurement


# ---- peers -------------------------------------------------------------------

def accepts(make):
    """A predicate from a peer function that raises on invalid input."""
    def predicate(s):
        try:
            make(s)
            return True
        except Exception:
            return False
    return predicate


def truthy(check):
    """A predicate from a peer function that answers True or a falsy failure."""
    return lambda s: check(s) is True


def load_peers():
    peers = {}

    def add(kind, label, function):
        peers.setdefault(kind, {})[label] = function

    try:
        from stdnum import bic, damm, ean, iban, isbn, isin, issn, lei, luhn, verhoeff
        from stdnum.eu import vat
        for kind, module in (("iban", iban), ("bic", bic), ("credit_card", luhn), ("isbn", isbn), ("issn", issn),
                             ("isin", isin), ("lei", lei), ("ean", ean), ("vat", vat), ("luhn_validate", luhn),
                             ("verhoeff_validate", verhoeff), ("damm_validate", damm)):
            add(kind, "python-stdnum", module.is_valid)
        add("luhn_generate", "python-stdnum", accepts(luhn.calc_check_digit))
    except ImportError:
        pass
    try:
        import schwifty
        add("iban", "schwifty", accepts(schwifty.IBAN))
        add("bic", "schwifty", accepts(schwifty.BIC))
    except ImportError:
        pass
    try:
        import validators
        add("iban", "validators", truthy(validators.iban))
        add("credit_card", "validators", truthy(validators.card_number))
        add("isin", "validators", truthy(validators.isin))
        add("email", "validators", truthy(validators.email))
    except ImportError:
        pass
    try:
        import email_validator
        add("email", "email-validator",
            accepts(lambda s: email_validator.validate_email(s, check_deliverability=False)))
    except ImportError:
        pass
    return peers


PEER_NAMES = ["python-stdnum", "schwifty", "validators", "email-validator"]


# ---- timing ------------------------------------------------------------------

def loop(f, pairs):
    for ok, s in pairs:
        f(s)


def measure(runs, pairs, repeat):
    """ns per input of each named run over `pairs`: the best of `repeat` walks,
    taken in turns so that a disturbance of the machine hits all of them alike."""
    best = {label: float("inf") for label in runs}
    gc.collect()
    gc.disable()  # as timeit does: reference counting frees every answer anyway
    try:
        for _ in range(repeat):
            for label, run in runs.items():
                start = time.perf_counter_ns()
                run(pairs)
                best[label] = min(best[label], time.perf_counter_ns() - start)
    finally:
        gc.enable()
    return {label: t / len(pairs) for label, t in best.items()}


def calls(f):
    return lambda pairs: loop(f, pairs)


def dict_builder(kind, answers):
    """A loop of the same shape as `loop` whose body is a dict display with the
    keys validate_<kind> gives, valid or invalid. The values are at hand (the
    input itself for texts, constants otherwise): only the dict is built."""
    valid = next((d for d in answers if d["is_valid"]), None)
    invalid = next((d for d in answers if not d["is_valid"]), None)

    def display(d):
        if d is None:
            return "None"
        items = []
        for key, value in d.items():
            items.append(f"{key!r}: {'s' if isinstance(value, str) and len(value) > 4 else repr(value)}")
        return "{" + ", ".join(items) + "}"

    source = (f"def build(pairs):\n"
              f"    for ok, s in pairs:\n"
              f"        if ok:\n"
              f"            {display(valid)}\n"
              f"        else:\n"
              f"            {display(invalid)}\n")
    namespace = {}
    exec(source, namespace)
    return namespace["build"]


# ---- the machine -------------------------------------------------------------

def cpu_model():
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            if line.startswith("Model name:"):
                return line.split(":", 1)[1].strip()
    except (OSError, subprocess.CalledProcessError):
        pass
    return platform.processor() or "unknown"


def core_table(binary):
    """The C++ core benchmark's results as a markdown table."""
    out = subprocess.run([binary, "--benchmark_format=json", "--benchmark_min_time=0.5"], capture_output=True,
                         text=True, check=True).stdout
    results = {b["name"]: b for b in json.loads(out)["benchmarks"]}
    lines = ["| kind | fast path: validations/s | ns/call | ns/byte | validate: validations/s | ns/call | ns/byte |",
             "|---|---:|---:|---:|---:|---:|---:|"]
    names = sorted({name.split("/")[0] for name in results},
                   key=lambda k: (corpus.KINDS.index(k) if k in corpus.KINDS else len(corpus.KINDS), k))
    for kind in names:
        fast = results.get(f"{kind}/is_valid") or results.get(f"{kind}/validate_str")
        full = results.get(f"{kind}/validate")
        if kind == "luhn":
            fast, full = results[f"{kind}/validate_str"], results[f"{kind}/generate_str"]
        cells = []
        for b in (fast, full):
            if b is None:
                cells += ["—", "—", "—"]
            else:
                cells += [f"{b['validations/s'] / 1e6:.1f} M", f"{b['per_call'] * 1e9:.1f}",
                          f"{b['per_byte'] * 1e9:.2f}"]
        label = {"luhn": "luhn (validate_str; generate_str)", "verhoeff": "verhoeff (validate_str)",
                 "damm": "damm (validate_str)"}.get(kind, kind)
        lines.append(f"| {label} | " + " | ".join(cells) + " |")
    return "\n".join(lines)


# ---- the run -----------------------------------------------------------------

def fmt(ns):
    return f"{ns:,.0f}" if ns >= 100 else f"{ns:.1f}"


def ratio(x):
    return f"{x:.2f}" if x < 10 else f"{x:,.0f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--core", metavar="BINARY", help="also run this core_bench and print its table")
    parser.add_argument("--repeat", type=int, default=15, help="walks per measurement; the best counts")
    args = parser.parse_args()
    repeat = args.repeat

    peers = load_peers()
    print("## Python calls\n")
    print(f"Measured {datetime.date.today().isoformat()} on {cpu_model()}, "
          f"Python {platform.python_version()} ({platform.machine()}), one run; "
          f"ns per call, best of {repeat} walks over each corpus.\n")

    # Warm the interpreter, the caches and the clock before anything counts.
    warm = [(True, s) for kind in corpus.KINDS for s in corpus.load(kind)] * TIMES
    measure({"len": calls(len), **{name: calls(getattr(_cobalis, name)) for name in _cobalis.__all__}}, warm, 3)
    del warm

    rows, peer_rows, strict_rows, misses, skipped = [], [], [], [], []
    for kind in corpus.KINDS:
        if not hasattr(_cobalis, f"is_valid_{kind}"):
            skipped.append(kind)
            continue
        is_valid = getattr(_cobalis, f"is_valid_{kind}")
        validate = getattr(_cobalis, f"validate_{kind}")
        inputs = corpus.load(kind)
        answers = [validate(s) for s in inputs]
        pairs = [(d["is_valid"], s) for d, s in zip(answers, inputs)] * TIMES
        valid_share = sum(d["is_valid"] for d in answers) / len(answers)

        runs = {"len": calls(len), "is_valid": calls(is_valid), "validate": calls(validate),
                "dict": dict_builder(kind, answers)}
        strict_is_valid = getattr(strict, f"is_valid_{kind}", is_valid)
        has_strict = strict_is_valid is not is_valid
        if has_strict:
            runs["strict_is_valid"] = calls(strict_is_valid)
            runs["strict_validate"] = calls(getattr(strict, f"validate_{kind}"))
        ours = measure(runs, pairs, repeat)
        floor, t_fast, t_full, t_dict = ours["len"], ours["is_valid"], ours["validate"], ours["dict"]
        peer_times = measure({label: calls(f) for label, f in peers.get(kind, {}).items()}, pairs,
                             max(2, repeat // 3))
        fastest = min(peer_times.values()) if peer_times else None

        rows.append((kind, len(inputs), valid_share, floor, t_fast, t_full, t_dict))
        if has_strict:
            strict_share = sum(strict_is_valid(s) for s in inputs) / len(inputs)
            t_strict_fast, t_strict_full = ours["strict_is_valid"], ours["strict_validate"]
            strict_rows.append((kind, strict_share, t_fast, t_strict_fast, t_full, t_strict_full))
            if kind in STRICT_TARGET_KINDS and t_strict_fast > STRICT_TARGET * t_fast:
                misses.append(f"strict.is_valid_{kind}: {ratio(t_strict_fast / t_fast)}x is_valid_{kind} "
                              f"(target {STRICT_TARGET}x)")
        peer_rows.append((kind, t_fast, t_full, peer_times, fastest))
        if t_fast > FLOOR_TARGET * floor:
            misses.append(f"is_valid_{kind}: {ratio(t_fast / floor)}x len(s) (target {FLOOR_TARGET}x)")
        if t_full > t_dict:
            misses.append(f"validate_{kind}: {ratio(t_full / t_dict)}x the Python dict display (target 1x)")
        if fastest is not None and fastest < PEER_TARGET * t_fast:
            misses.append(f"is_valid_{kind}: {ratio(fastest / t_fast)}x faster than the fastest peer "
                          f"(target {PEER_TARGET:.0f}x)")

    # The check-digit functions, beside the floor and python-stdnum.
    digit_inputs = [s for s in corpus.load("credit_card")]
    digit_inputs = [s.replace(" ", "").replace("-", "") for s in digit_inputs if s]
    extra_rows = []
    for name in ("luhn_validate", "luhn_generate", "verhoeff_validate", "damm_validate"):
        if not hasattr(_cobalis, name):
            skipped.append(name)
            continue
        pairs = [(True, s) for s in digit_inputs] * TIMES
        ours = measure({"len": calls(len), "f": calls(getattr(_cobalis, name))}, pairs, repeat)
        floor, t = ours["len"], ours["f"]
        peer_times = measure({label: calls(g) for label, g in peers.get(name, {}).items()}, pairs,
                             max(2, repeat // 3))
        extra_rows.append((name, floor, t, peer_times))

    lookups = {"get_country": ["stub", "US", "DE", ""], "get_country_by_alpha3": ["stub", "USA", "DEU"],
               "get_currency": ["EUR", "USD", "JPY", "XXX", "eur", ""], "get_vat_rate": ["DE", "FR", "CH", "XX", ""]}
    lookup_rows = []
    for name, keys in lookups.items():
        if not hasattr(_cobalis, name):
            skipped.append(name)
            continue
        pairs = [(True, s) for s in keys] * (TIMES * 10)
        ours = measure({"len": calls(len), "f": calls(getattr(_cobalis, name))}, pairs, repeat)
        lookup_rows.append((name, ours["len"], ours["f"]))

    print("| kind | inputs (valid) | len(s) | is_valid_X | × len | validate_X | × len | dict display | "
          "validate / dict |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    for kind, n, share, floor, t_fast, t_full, t_dict in rows:
        print(f"| {kind} | {n} ({share:.0%}) | {fmt(floor)} | {fmt(t_fast)} | {ratio(t_fast / floor)} | "
              f"{fmt(t_full)} | {ratio(t_full / floor)} | {fmt(t_dict)} | {ratio(t_full / t_dict)} |")

    if strict_rows:
        print("\n## Strict validation\n")
        print("cobalis.strict beside the plain functions, measured in the same walks.\n")
        print("| kind | valid (strict) | is_valid_X | strict.is_valid_X | strict / plain | validate_X | "
              "strict.validate_X | strict / plain |")
        print("|---|---|---:|---:|---:|---:|---:|---:|")
        for kind, share, t_fast, t_strict_fast, t_full, t_strict_full in strict_rows:
            print(f"| {kind} | {share:.0%} | {fmt(t_fast)} | {fmt(t_strict_fast)} | {ratio(t_strict_fast / t_fast)} | "
                  f"{fmt(t_full)} | {fmt(t_strict_full)} | {ratio(t_strict_full / t_full)} |")

    print("\n## Beside the peers\n")
    print("ns per call on the same inputs; the ratio is the fastest peer's time over ours.\n")
    print("| kind | is_valid_X | validate_X | " + " | ".join(PEER_NAMES) +
          " | fastest peer / is_valid_X | fastest peer / validate_X |")
    print("|---|---:|---:|" + "---:|" * len(PEER_NAMES) + "---:|---:|")
    for kind, t_fast, t_full, peer_times, fastest in peer_rows:
        cells = " | ".join(fmt(peer_times[p]) if p in peer_times else "—" for p in PEER_NAMES)
        speedups = (f"{ratio(fastest / t_fast)} | {ratio(fastest / t_full)}" if fastest else "— | —")
        print(f"| {kind} | {fmt(t_fast)} | {fmt(t_full)} | {cells} | {speedups} |")

    if extra_rows:
        print("\n## Check digits and lookups\n")
        print("| function | len(s) | ours | × len | python-stdnum | stdnum / ours |")
        print("|---|---:|---:|---:|---:|---:|")
        for name, floor, t, peer_times in extra_rows:
            peer = peer_times.get("python-stdnum")
            print(f"| {name} | {fmt(floor)} | {fmt(t)} | {ratio(t / floor)} | "
                  f"{fmt(peer) if peer else '—'} | {ratio(peer / t) if peer else '—'} |")
        for name, floor, t in lookup_rows:
            print(f"| {name} | {fmt(floor)} | {fmt(t)} | {ratio(t / floor)} | — | — |")

    if args.core:
        print("\n## The core alone (C++, no Python)\n")
        print("Google Benchmark over the same corpora; a fast path answers a bool, validate builds the "
              "whole result.\n")
        print(core_table(args.core))

    print("\n## Targets\n")
    print(f"is_valid_X within {FLOOR_TARGET}× len(s); validate_X no slower than the dict display; "
          f"is_valid_X at least {PEER_TARGET:.0f}× faster than the fastest peer; strict.is_valid_X within "
          f"{STRICT_TARGET}× is_valid_X for {' and '.join(STRICT_TARGET_KINDS)}.\n")
    if misses:
        for miss in misses:
            print(f"- missed: {miss}")
    else:
        print("- all met")
    if skipped:
        print(f"- not in this build, skipped: {', '.join(skipped)}")


if __name__ == "__main__":
    main()
