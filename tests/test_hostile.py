"""Hostile input and resources: huge strings, a million calls, many threads,
and a second interpreter, against every registered function."""
import gc
import json
import os
import subprocess
import sys
import textwrap
import threading
import time

import _cobalis
import pytest
from conftest import PARAMETER

FUNCTIONS = list(_cobalis.__all__)

BIG = 10_000_000
SMALL = BIG // 10

# Blocks repeated to the wanted length: every byte class the validators tell
# apart, and the multi-byte characters and NULs they must never decode.
BLOCKS = {
    "digits": "0123456789",
    "letters": "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
    "separators": " \t-.",
    "non_ascii": "\u00e9\u20ac\U0001f600\u00a0",
    "nuls": "\x00",
    "mixed": "GB82 WEST-1234.5698\t7654 32 \u00e9\x00@x.de 978-0-306-40615-7 \U0001f600 _!",
}


def repeated(block, n):
    return (block * (n // len(block) + 1))[:n]


@pytest.fixture(scope="module")
def huge_inputs():
    return {name: (repeated(block, SMALL), repeated(block, BIG)) for name, block in BLOCKS.items()}


def best_time(f, text, repeat=3):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        f(text)
        best = min(best, time.perf_counter() - start)
    return best


def assert_ordinary(name, answer):
    """What any input far beyond every identifier's length must give."""
    if name.startswith("is_valid_") or name == "luhn_validate":
        assert answer is False
    elif name.startswith("validate_"):
        assert answer["is_valid"] is False and answer["compact"] == "" and answer["formatted"] == ""
        assert answer["error"] is not None and answer["kind"] == name[len("validate_"):]
    elif name == "luhn_generate":
        assert type(answer) is int and 0 <= answer <= 9
    elif name.startswith("get_"):
        assert answer is None
    else:  # verhoeff_validate, damm_validate: a long digit string may pass
        assert type(answer) is bool


@pytest.mark.parametrize("name", FUNCTIONS)
def test_ten_million_characters_get_the_ordinary_answer_in_linear_time(name, huge_inputs):
    f = getattr(_cobalis, name)
    for kind, (small, big) in huge_inputs.items():
        # The first calls also make the interpreter's cached UTF-8 form.
        answer_small, answer_big = f(small), f(big)
        assert_ordinary(name, answer_big)
        if name not in ("luhn_generate", "verhoeff_validate", "damm_validate"):
            assert answer_big == answer_small, kind
        t_small, t_big = best_time(f, small), best_time(f, big)
        assert t_big < 40 * t_small + 0.05, (kind, t_small, t_big)


# ---- references and memory ---------------------------------------------------

VALID = {
    "iban": "GB82 WEST 1234 5698 7654 32", "bic": "ABCDGB2L123", "credit_card": "4111 1111 1111 1111",
    "isbn": "0-306-40615-2", "issn": "0378-5955", "isin": "US0378331005", "lei": "ABCD00EFGHIJ12345615",
    "ean": "4006381333931", "vat": "DE123456789", "email": "info@example.com",
}
SAMPLES = list(VALID.values()) + [
    "", "x", "79927398713", "2363", "5724", "stub", "USA", "EUR", "DE", "GR",
    "GB82 WEST 1234 5698 7654 33", "\u00e9\u20ac\U0001f600", "ab\x00cd", "9" * 300, "a@b",
]


class Opaque:
    pass


def call_everything(functions, samples, opaque):
    """One round: every function on every sample and down every error path.
    Answers the number of calls made."""
    calls = 0
    for name, f in functions:
        p = PARAMETER[name]
        for s in samples:
            f(s)
        calls += len(samples)
        for bad in ((1,), (None,), (b"x",), (opaque,), ("\udc80",), (), ("a", "b")):
            try:
                f(*bad)
            except (TypeError, UnicodeEncodeError):
                pass
        for kwargs in ({p: "x"}, {"value": "x"}):
            try:
                f(**kwargs)
            except TypeError:
                pass
        try:
            f("a", **{p: "b"})
        except TypeError:
            pass
        calls += 10
    return calls


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_a_million_calls_leave_memory_and_reference_counts_where_they_were():
    functions = [(name, getattr(_cobalis, name)) for name in FUNCTIONS]
    samples = [s for s in SAMPLES]
    opaque = Opaque()
    watched = samples + [opaque, True, False, None]
    # The texts every dictionary shares: keys, error codes, kind names.
    shared = [sys.intern(t) for t in (
        "is_valid", "compact", "formatted", "error", "kind", "country", "check_digits", "bban_length",
        "bank_code", "branch", "brand", "isbn_type", "isbn10", "isbn13", "lou_prefix", "ean_type",
        "country_prefix", "local_length", "domain_length", "invalid_length", "invalid_checksum",
        "invalid_charset", "iban", "visa")]

    for _ in range(200):
        call_everything(functions, samples, opaque)
    gc.collect()
    blocks, rss = sys.getallocatedblocks(), resident_bytes()
    refs = [sys.getrefcount(o) for o in watched]
    shared_refs = [sys.getrefcount(o) for o in shared]

    calls = 0
    while calls < 1_000_000:
        calls += call_everything(functions, samples, opaque)
    gc.collect()

    after = [sys.getrefcount(o) for o in watched]
    assert after[:-3] == refs[:-3]
    # The singletons are shared with the whole interpreter: a small drift is
    # everyone else's, a leak per call would be hundreds of thousands.
    for before, now in zip(refs[-3:], after[-3:]):
        assert abs(now - before) < 1000
    for before, o in zip(shared_refs, shared):
        assert abs(sys.getrefcount(o) - before) < 100, o
    assert sys.getallocatedblocks() - blocks < 2000
    assert resident_bytes() - rss < 2 * 2**20


# ---- threads -----------------------------------------------------------------

def test_eight_threads_at_once_get_the_answers_of_one():
    work = [(name, s) for name in FUNCTIONS for s in SAMPLES]
    expected = [getattr(_cobalis, name)(s) for name, s in work]
    start = threading.Barrier(8)
    mismatches = []

    def worker(offset):
        start.wait()
        for round_ in range(150):
            for i in range(len(work)):
                j = (i + offset * 37 + round_) % len(work)
                name, s = work[j]
                if getattr(_cobalis, name)(s) != expected[j]:
                    mismatches.append((name, s))

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        threads = [threading.Thread(target=worker, args=(k,)) for k in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(interval)
    assert mismatches == []


# ---- a second interpreter ----------------------------------------------------

SECOND_INTERPRETER = textwrap.dedent("""
    import importlib, json, sys
    import _cobalis
    first = _cobalis
    report = {"api": None, "sub": None, "reimport": None}

    def attempt_in_subinterpreter():
        code = "import _cobalis"
        try:
            from concurrent import interpreters
        except ImportError:
            interpreters = None
        if interpreters is not None:
            interp = interpreters.create()
            try:
                interp.exec(code)
                return "concurrent.interpreters", "imported"
            except Exception as e:
                return "concurrent.interpreters", str(e)
            finally:
                interp.close()
        for name in ("_interpreters", "_xxsubinterpreters"):
            try:
                low = importlib.import_module(name)
            except ImportError:
                continue
            iid = low.create()
            try:
                failure = low.run_string(iid, code)
                return name, "imported" if failure is None else repr(failure)
            except Exception as e:
                return name, f"{type(e).__name__}: {e}"
            finally:
                low.destroy(iid)
        return None, None

    report["api"], report["sub"] = attempt_in_subinterpreter()
    report["sub_then_first"] = first.validate_iban("GB82 WEST 1234 5698 7654 32")["is_valid"]
    del sys.modules["_cobalis"]
    try:
        import _cobalis
        report["reimport"] = "imported"
    except ImportError as e:
        report["reimport"] = str(e)
    report["reimport_then_first"] = first.is_valid_iban("GB82WEST12345698765432")
    print(json.dumps(report))
""")


def test_a_second_interpreter_and_a_reimport_are_refused_and_the_first_module_keeps_working():
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    done = subprocess.run([sys.executable, "-c", SECOND_INTERPRETER], capture_output=True, text=True,
                          timeout=120, env=env)
    assert done.returncode == 0, done.stderr
    report = json.loads(done.stdout.strip().splitlines()[-1])
    assert "may only be initialized once per interpreter process" in report["reimport"]
    assert report["reimport_then_first"] is True
    assert report["sub_then_first"] is True
    if report["api"] is None:
        pytest.skip("this Python has no subinterpreters")
    # Refused by the module itself, or (3.12 and later, whose new interpreters are
    # isolated by default) by CPython before it, since the module is single-phase.
    assert "ImportError" in report["sub"]
    assert ("may only be initialized once per interpreter process" in report["sub"]
            or "does not support loading in subinterpreters" in report["sub"])
