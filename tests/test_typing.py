"""The shipped type information, checked by mypy --strict.

tests/typing/ok.py uses every function and result key and must pass;
tests/typing/bad.py must fail on exactly the lines it marks. The package's own
modules (the command line included) are checked alongside.
"""

import os
import pathlib
import re
import subprocess
import sys
import tempfile

import cobalis
import pytest
from conftest import FUNCTION_TABLE, REGISTERED

TYPING = pathlib.Path(__file__).resolve().parent / "typing"
PACKAGE = pathlib.Path(cobalis.__file__).resolve().parent
MARKED = re.compile(r"#\s*error:\s*([\w-]+)\s*$")
REPORTED = re.compile(r"^(?P<path>[^:]+):(?P<line>\d+): error: .*\[(?P<code>[\w-]+)\]$")


@pytest.fixture(scope="module")
def mypy_errors():
    """One mypy run over both examples and the package: {(file name, line): code}."""
    pytest.importorskip("mypy", reason="mypy is in the test extra: pip install '.[test]'")
    env = dict(os.environ)
    targets = [str(TYPING / "ok.py"), str(TYPING / "bad.py")]
    if PACKAGE.parent.name not in ("site-packages", "dist-packages"):
        # A source tree: the stubs lie beside the package; check its own code too.
        env["MYPYPATH"] = str(PACKAGE.parent)
        targets.append(str(PACKAGE))
    # Kept between runs (mypy checks its own staleness), so only the first is slow.
    cache = pathlib.Path(tempfile.gettempdir()) / f"cobalis-mypy-cache-{os.getuid()}"
    command = [
        sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--no-color-output",
        "--show-error-codes", "--cache-dir", str(cache), *targets,
    ]
    run = subprocess.run(command, capture_output=True, text=True, env=env, timeout=300)
    assert run.returncode in (0, 1) and not run.stderr, run.stderr or run.stdout
    errors = {}
    for line in run.stdout.splitlines():
        match = REPORTED.match(line)
        if match:
            errors[(pathlib.Path(match["path"]).name, int(match["line"]))] = match["code"]
        else:
            assert ": note:" in line, f"unexpected mypy output: {line}"
    return errors


@pytest.mark.mypy
def test_ok_example_and_package_pass_strict(mypy_errors):
    assert {where: code for where, code in mypy_errors.items() if where[0] != "bad.py"} == {}


@pytest.mark.mypy
def test_bad_example_fails_on_the_marked_lines(mypy_errors):
    lines = (TYPING / "bad.py").read_text().splitlines()
    expected = {("bad.py", n): m[1] for n, text in enumerate(lines, 1) if (m := MARKED.search(text))}
    assert len(expected) >= 5
    assert {where: code for where, code in mypy_errors.items() if where[0] == "bad.py"} == expected


def test_ok_example_runs():
    """What ok.py states about the values holds at run time too."""
    missing = [name for name, _ in FUNCTION_TABLE if name not in REGISTERED]
    if missing:
        pytest.skip(f"not in this build yet: {', '.join(missing)}")
    env = {**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)}
    subprocess.run([sys.executable, str(TYPING / "ok.py")], check=True, timeout=60, env=env)
