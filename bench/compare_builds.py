"""Two builds of _cobalis side by side: ns per call of every kind's two functions, in turns.

    python bench/compare_builds.py BEFORE_DIR AFTER_DIR [KIND ...]

Each directory holds a built _cobalis.abi3.so (for example a copy of the
site-packages files of an install of each tree). Both are loaded into this one
process and walked over bench/corpus in alternation, fifteen rounds, the best
of each counting, so that the machine's other work falls on both alike.
"""
from __future__ import annotations

import importlib.util
import sys
import timeit
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import corpus  # noqa: E402

KINDS = ["iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email"]
ROUNDS = 15
WALKS = 300


def load(directory: str):
    """The _cobalis built in `directory`, as a module of its own."""
    (path,) = Path(directory).glob("_cobalis.*so")
    spec = importlib.util.spec_from_file_location("_cobalis", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def main() -> None:
    before_dir, after_dir, *kinds = sys.argv[1:]
    builds = {"before": load(before_dir), "after": load(after_dir)}
    print("| kind | function | before ns | after ns | after/before |")
    print("|---|---|---:|---:|---:|")
    for kind in kinds or KINDS:
        inputs = corpus.load(kind)
        for name in ("is_valid", "validate"):
            best = dict.fromkeys(builds, float("inf"))
            for _ in range(ROUNDS):
                for tag, module in builds.items():
                    f = getattr(module, f"{name}_{kind}")
                    seconds = timeit.timeit(lambda: [f(s) for s in inputs], number=WALKS)
                    best[tag] = min(best[tag], seconds / WALKS / len(inputs) * 1e9)
            ratio = best["after"] / best["before"]
            print(f"| {kind} | {name} | {best['before']:.1f} | {best['after']:.1f} | {ratio:.2f} |")


if __name__ == "__main__":
    main()
