"""COBALIS_KERNELS: each kernel level this processor runs gives the answers of the default level, and a
level it lacks, or a word that names none, stops the import of every extension module with one line."""
import json
import os
import pathlib
import random
import subprocess
import sys

import _cobalis
import _cobalis_batch
import _cobalis_strict
import pytest

from idgen import ALNUM, DIGITS, NOISE, expand_letters, luhn_check_digit, mod97

LEVELS = ("scalar", "ssse3", "avx2")
MODULES = ("_cobalis", "_cobalis_strict", "_cobalis_batch")
KINDS = _cobalis_batch.VALIDATE_KINDS
STRICT_KINDS = [k for k in KINDS if hasattr(_cobalis_strict, f"validate_{k}")]
DATA = pathlib.Path(__file__).resolve().parent / "data"

# Run in a fresh interpreter under the level being tried: each module's KERNELS (None where it has
# none), or the line its import was refused with.
IMPORTS = """
import importlib, json
answers = {}
for name in %r:
    try:
        answers[name] = getattr(importlib.import_module(name), "KERNELS", None)
    except ImportError as error:
        answers[name] = "ImportError: " + str(error)
print(json.dumps(answers))
""" % (MODULES,)

# Every kind's answers to every input, through the three modules.
ANSWERS = """
import json, sys
import _cobalis, _cobalis_batch, _cobalis_strict

def answers(texts, kinds, strict_kinds):
    out = {}
    for kind in kinds:
        for module, prefix in ((_cobalis, ""), (_cobalis_strict, "strict ")):
            if prefix and kind not in strict_kinds:
                continue
            for op in ("is_valid", "validate"):
                f = getattr(module, f"{op}_{kind}")
                out[f"{prefix}{op}_{kind}"] = [repr(f(t)) for t in texts]
        for op in ("is_valid", "validate"):
            out[f"batch {op} {kind}"] = [repr(a) for a in getattr(_cobalis_batch, op)(kind, texts)]
    return out

if __name__ == "__main__":
    texts, kinds, strict_kinds = json.load(sys.stdin)
    print(json.dumps({"level": _cobalis_batch.KERNELS, "answers": answers(texts, kinds, strict_kinds)}))
"""


def run(level, script, stdin=None):
    env = dict(os.environ, COBALIS_KERNELS=level)
    done = subprocess.run([sys.executable, "-c", script], input=stdin, env=env, capture_output=True,
                          text=True, encoding="utf-8", timeout=120)
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout)


def best_level():
    """The level the modules take when COBALIS_KERNELS is empty: the best this processor runs."""
    reported = run("", IMPORTS)
    assert reported["_cobalis"] is None and reported["_cobalis_strict"] is None, reported
    return reported["_cobalis_batch"]


BEST = best_level()
RUNS = LEVELS[:LEVELS.index(BEST) + 1]


def lines(name):
    return [line.strip() for line in (DATA / name).read_text().splitlines() if line.strip()]


def sample_inputs(count=600, seed=18):
    """Valid identifiers of every kind, real and made, then regrouped, recased, padded and mutated,
    so that their lengths cross the 16- and 32-byte blocks the vector bodies read."""
    r = random.Random(seed)
    real = lines("stdnum_iban_valid.txt") + lines("stdnum_isin_valid.txt") + lines("stdnum_bic_valid.txt")
    real += lines("stdnum_vat_valid.txt")

    def digits(n):
        return "".join(r.choice(DIGITS) for _ in range(n))

    def ean(payload):
        total = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(payload))
        return payload + str(-total % 10)

    def made():
        kind = r.randrange(6)
        if kind == 0:  # a payment card
            payload = r.choice("3456") + digits(r.randint(12, 18))
            return payload + luhn_check_digit(payload)
        if kind == 1:  # an LEI
            payload = "".join(r.choice(ALNUM) for _ in range(18))
            return payload + f"{98 - mod97(payload + '00'):02d}"
        if kind == 2:  # an ISIN
            payload = r.choice(["US", "DE", "GB", "FR"]) + "".join(r.choice(ALNUM) for _ in range(9))
            return payload + luhn_check_digit(expand_letters(payload))
        if kind == 3:  # an EAN-13 or ISBN-13
            prefix = r.choice(["978", "979", ""])
            return ean(prefix + digits(12 - len(prefix)))
        if kind == 4:  # an ISSN
            payload = digits(7)
            check = -sum(int(d) * (8 - i) for i, d in enumerate(payload)) % 11
            return payload + ("X" if check == 10 else str(check))
        local = "".join(r.choice(ALNUM.lower() + ".+_") for _ in range(r.randint(1, 30)))
        return f"{local}@{''.join(r.choice(ALNUM) for _ in range(r.randint(1, 20)))}.{r.choice(['de', 'ORG'])}"

    texts = []
    for _ in range(count):
        text = r.choice(real) if r.random() < 0.5 else made()
        compact = text.replace(" ", "")
        if r.random() < 0.5:  # regrouped
            size = r.randint(2, 6)
            sep = r.choice(" -.")
            text = sep.join(compact[i:i + size] for i in range(0, len(compact), size))
        if r.random() < 0.3:
            text = text.lower() if r.random() < 0.5 else text.swapcase()
        if r.random() < 0.2:
            text = " " * r.randint(1, 20) + text + " " * r.randint(0, 3)
        for _ in range(r.choice([0, 0, 0, 1, 2])):
            i = r.randrange(len(text) + 1)
            text = text[:i] + r.choice(NOISE) + text[i + r.randint(0, 1):]
        texts.append(text)
    return texts


def test_the_level_asked_for_is_in_force():
    assert _cobalis_batch.KERNELS == (os.environ.get("COBALIS_KERNELS") or BEST)


@pytest.mark.parametrize("level", LEVELS)
def test_each_level_this_processor_runs_answers_as_the_default(level):
    if level not in RUNS:
        pytest.skip(f"this processor (or build) runs only {', '.join(RUNS)}")
    texts = sample_inputs()
    namespace = {"__name__": "answers"}
    exec(ANSWERS, namespace)
    expected = namespace["answers"](texts, KINDS, STRICT_KINDS)
    got = run(level, ANSWERS, json.dumps([texts, KINDS, STRICT_KINDS]))
    assert got["level"] == level
    assert got["answers"].keys() == expected.keys()
    for function, answers in expected.items():
        differ = [(t, a, b) for t, a, b in zip(texts, answers, got["answers"][function]) if a != b]
        assert not differ, f"{function} under COBALIS_KERNELS={level}: {differ[:3]}"


UNKNOWN = ["AVX2", "sse2", "avx512", " avx2", "scalar,avx2", "best", "\u00e9t\u00e9", "x" * 100]


@pytest.mark.parametrize("value", [*LEVELS, *UNKNOWN])
def test_a_level_not_run_here_stops_every_import(value):
    if value in RUNS:
        pytest.skip(f"this processor runs {value}")
    reported = run(value, IMPORTS)
    messages = set(reported.values())
    assert len(messages) == 1, reported
    message = messages.pop()
    assert message.startswith("ImportError: COBALIS_KERNELS=\""), message
    assert "\n" not in message and message.isascii()
    assert message.endswith(" runs " + ", ".join(RUNS)), message
    if value in LEVELS:
        assert f'COBALIS_KERNELS="{value}" is a kernel level this ' in message
    else:
        assert " is not a kernel level; " in message
        assert message.startswith(f'ImportError: COBALIS_KERNELS="{shown(value)}" is not')


def shown(value):
    """The value as the line shows it: its first 40 bytes, those outside printable ASCII as \\xNN."""
    kept = "".join(chr(b) if 0x20 <= b < 0x7f else f"\\x{b:02x}" for b in value.encode()[:40])
    return kept + ("..." if len(value.encode()) > 40 else "")
