"""How fast and how good cobalis.explain and cobalis.suggest are, measured in one run.

    python bench/explain_bench.py [--repeat N] [--quick]

Speed: ns per call of cobalis.suggest on mistyped IBANs (target: at most
5 us), and of cobalis.explain beside validate_X of the same inputs, valid and
mistyped (target: explain at most 1.5x validate), with is_valid_X beside
them: each answers its whole dictionary, sentence included.

Quality, on the real identifiers the tests use (tests/explain_pools.py), over
every single substitution and adjacent transposition that the kind's check
detects: the share of typos whose original is among the suggestions (limit 64),
the mean list length, and the share with the original first, for swaps and
substitutions apart (target: swaps first in at least 90 %). Beside the swaps,
the share a ranking reaches knowing only the number and what it carries beyond
its rules (national rules, an ISIN's national number, a card's brand) and
ordering equals at random: for each swap, 1 / the number of swaps as little in
doubt as the original, when none is less (tests/explain_pools.py swap_ranking).
"""
from __future__ import annotations

import argparse
import gc
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))

import _cobalis  # noqa: E402
import _cobalis_explain  # noqa: E402
import _cobalis_strict  # noqa: E402

import cobalis  # noqa: E402
from explain_pools import KINDS, STRICT, pool, swap_ranking, typos  # noqa: E402


def per_call_ns(fn, args_list, repeat, **kwargs):
    """Best of `repeat` runs, ns per call, over every argument tuple."""
    best = float("inf")
    for _ in range(repeat):
        gc.disable()
        start = time.perf_counter_ns()
        for args in args_list:
            fn(*args, **kwargs)
        elapsed = time.perf_counter_ns() - start
        gc.enable()
        best = min(best, elapsed / len(args_list))
    return best


def speed(repeat):
    ibans = pool("iban")
    mistyped = [t for original in ibans for t, _ in list(typos("iban", original))[::37]]
    print(f"## Speed (ns per call, best of {repeat}; {len(mistyped)} mistyped IBANs)\n")
    suggest_ns = per_call_ns(cobalis.suggest, [("iban", t) for t in mistyped], repeat)
    print(f"- suggest, mistyped IBAN (limit 5): {suggest_ns:.0f} ns (target <= 5000): "
          f"{'met' if suggest_ns <= 5000 else 'NOT met'}")
    print("\n| kind | inputs | is_valid_X | validate_X | cobalis.explain | explain / validate |")
    print("|---|---|---|---|---|---|")
    for kind in KINDS:
        module = _cobalis_strict if STRICT.get(kind) else _cobalis
        strict = {"strict": True} if STRICT.get(kind) else {}
        valid = pool(kind)
        bad = [t for original in valid for t, _ in list(typos(kind, original))[::41]]
        for label, texts in (("valid", valid), ("mistyped", bad)):
            if not texts:
                continue
            one = [(t,) for t in texts]
            is_valid_ns = per_call_ns(getattr(module, "is_valid_" + kind), one, repeat)
            validate_ns = per_call_ns(getattr(module, "validate_" + kind), one, repeat)
            explain_ns = per_call_ns(cobalis.explain, [(kind, t) for t in texts], repeat, **strict)
            print(f"| {kind} | {label} | {is_valid_ns:.0f} | {validate_ns:.0f} | {explain_ns:.0f} | "
                  f"{explain_ns / validate_ns:.2f} |")


def quality():
    print("\n## Quality (every detected single substitution and adjacent swap of the real identifiers)\n")
    print("| kind | originals | typos | original found | mean list length | swaps first | swaps first at best "
          "| substitutions first |")
    print("|---|---|---|---|---|---|---|---|")
    for kind in KINDS:
        originals = pool(kind)
        counts = {"swap": [0, 0], "substitution": [0, 0]}
        total = found = length = 0
        best = 0.0
        for original in originals:
            for typo, how in typos(kind, original):
                got = _cobalis_explain.suggest(kind, typo, STRICT.get(kind, False), 64)
                total += 1
                found += original in got
                length += len(got)
                counts[how][0] += 1
                counts[how][1] += bool(got) and got[0] == original
                if how == "swap":
                    best += swap_ranking(kind, typo, original, got)[1]

        def share(how):
            n, first = counts[how]
            return f"{100 * first / n:.1f} % of {n}" if n else "-"

        swaps = counts["swap"][0]
        at_best = f"{100 * best / swaps:.1f} %" if swaps else "-"
        print(f"| {kind} | {len(originals)} | {total} | {100 * found / max(total, 1):.1f} % | "
              f"{length / max(total, 1):.2f} | {share('swap')} | {at_best} | {share('substitution')} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--quick", action="store_true", help="speed only")
    args = parser.parse_args()
    speed(args.repeat)
    if not args.quick:
        quality()


if __name__ == "__main__":
    main()
