"""The cobalis command line, run in-process through main(argv) and once as
`python -m cobalis` in a subprocess.

Every `check` test runs twice: with the block reader (pyarrow), in blocks of a
few kilobytes so that files span many blocks, and row by row with the
standard library alone; both must give the same bytes.
"""

import csv
import io
import json
import os
import random
import shutil
import stat
import subprocess
import sys
import threading

import _cobalis
import pytest
from cobalis import cli
from cobalis._check import progress, run as check_run
from cobalis._check.rows import CHECK_COLUMNS
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

GB_IBAN = "GB82 WEST 1234 5698 7654 32"
NO_IBAN = "NO93 8601 1117 947"


def run(capsys, *argv, stdin=None, monkeypatch=None):
    """(exit status, stdout, stderr) of `cobalis *argv`."""
    if stdin is not None:
        monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin), encoding="utf-8"))
    status = cli.main(list(argv))
    out, err = capsys.readouterr()
    return status, out, err


def json_lines(text):
    return [json.loads(line) for line in text.splitlines()]


def iban(country, bban):
    """An IBAN with correct check digits: 98 minus MOD 97 of the rearranged text."""
    digits = "".join(str(int(c, 36)) for c in bban + country + "00")
    return f"{country}{98 - int(digits) % 97:02d}{bban}"


def needs(name):
    if not hasattr(_cobalis, name):
        pytest.skip(f"{name} is not in this build yet")


# --- validate ----------------------------------------------------------------


def test_validate_prints_each_result_as_json_in_key_order(capsys):
    status, out, err = run(capsys, "validate", "iban", GB_IBAN, NO_IBAN)
    assert (status, err) == (0, "")
    results = json_lines(out)
    assert results == [_cobalis.validate_iban(GB_IBAN), _cobalis.validate_iban(NO_IBAN)]
    assert [list(r) for r in results] == [list(_cobalis.validate_iban(GB_IBAN))] * 2


def test_validate_exits_1_when_any_value_is_invalid(capsys):
    status, out, _ = run(capsys, "validate", "iban", GB_IBAN, "GB82 WEST 1234 5698 7654 33", NO_IBAN)
    assert status == 1
    assert [r["error"] for r in json_lines(out)] == [None, "invalid_checksum", None]


@pytest.mark.parametrize("kind", cli.KINDS)
def test_validate_every_kind_agrees_with_the_library(capsys, kind):
    needs("validate_" + kind)
    values = ["", "x", GB_IBAN, "4111 1111 1111 1111", "info@example.com"]
    status, out, _ = run(capsys, "validate", kind, *values)
    expected = [getattr(_cobalis, "validate_" + kind)(v) for v in values]
    assert json_lines(out) == expected
    assert status == (0 if all(r["is_valid"] for r in expected) else 1)


def test_validate_accepts_the_hyphenated_kind_name(capsys):
    needs("validate_credit_card")
    status, out, _ = run(capsys, "validate", "credit-card", "4111-1111-1111-1111")
    assert status == 0 and json_lines(out)[0]["kind"] == "credit_card"


def test_validate_reads_values_line_by_line_from_stdin(capsys, monkeypatch):
    stdin = f"{GB_IBAN}\r\n\n{NO_IBAN}\n".encode()
    status, out, _ = run(capsys, "validate", "iban", "-", stdin=stdin, monkeypatch=monkeypatch)
    # The blank line is a value too (and an invalid one); line ends are not part of values.
    assert status == 1
    assert json_lines(out) == [_cobalis.validate_iban(v) for v in (GB_IBAN, "", NO_IBAN)]


def test_validate_stdin_all_valid_exits_0(capsys, monkeypatch):
    status, out, _ = run(capsys, "validate", "iban", "-", stdin=f"{GB_IBAN}\n{NO_IBAN}".encode(),
                         monkeypatch=monkeypatch)
    assert status == 0 and len(json_lines(out)) == 2


def test_validate_stdin_that_is_not_utf8_names_the_line(capsys, monkeypatch):
    status, _, err = run(capsys, "validate", "iban", "-", stdin=b"GB82\nGB\xff82\n", monkeypatch=monkeypatch)
    assert status == 2
    assert "standard input: line 2 is not valid UTF-8" in err


def test_dash_must_be_the_only_value(capsys):
    status, out, err = run(capsys, "validate", "iban", GB_IBAN, "-")
    assert (status, out) == (2, "")
    assert "must be the only value" in err


# --- usage errors and help -----------------------------------------------------


def test_unknown_kind_lists_the_kinds(capsys):
    status, out, err = run(capsys, "validate", "swift", "x")
    assert (status, out) == (2, "")
    assert "unknown kind 'swift'" in err
    assert ", ".join(cli.KINDS) in err


@pytest.mark.parametrize("argv", [[], ["validate"], ["validate", "iban"], ["check", "iban", "f.csv"],
                                  ["lookup"], ["lookup", "planet", "x"], ["frobnicate"]])
def test_incomplete_or_unknown_commands_are_usage_errors(capsys, argv):
    status, out, err = run(capsys, *argv)
    assert (status, out) == (2, "")
    assert "usage: cobalis" in err


@pytest.mark.parametrize("argv", [[], ["validate"], ["check"], ["lookup"], ["lookup", "currency"],
                                  ["lookup", "vat-rate"], ["lookup", "country"]])
def test_help_explains_with_an_example(capsys, argv):
    status, out, err = run(capsys, *argv, "--help")
    assert (status, err) == (0, "")
    assert out.startswith("usage: cobalis")
    assert "example" in out
    assert "\n  cobalis " in out  # the example is a command line


def test_version(capsys):
    status, out, _ = run(capsys, "--version")
    assert status == 0 and out.split() == ["cobalis", cli.cobalis.__version__]


# --- check ---------------------------------------------------------------------


class Blocks:
    """The block reader with small blocks, counting the blocks it takes."""

    def __init__(self, module, monkeypatch):
        self.taken = 0
        self.largest = 0  # bytes in the largest block tried
        rewrite = module.rewrite

        def counting(*args):
            done = rewrite(*args)
            self.taken += done is not None
            self.largest = max(self.largest, len(args[0]))
            return done

        monkeypatch.setattr(module, "rewrite", counting)
        monkeypatch.setattr(module, "BLOCK_BYTES", 4096)


@pytest.fixture(autouse=True)
def check_path(request, monkeypatch):
    """None for tests of other commands; else "rows" or the Blocks in use."""
    mode = getattr(request, "param", None)
    if mode is None:
        return None
    blocks = check_run.arrow_blocks()
    if mode == "rows":
        monkeypatch.setattr(check_run, "arrow_blocks", lambda: None)
        return "rows"
    if blocks is None:
        pytest.skip("pyarrow is not installed")
    return Blocks(blocks, monkeypatch)


def pytest_generate_tests(metafunc):
    if metafunc.function.__name__.startswith("test_check"):
        metafunc.parametrize("check_path", ["blocks", "rows"], indirect=True)



def write_csv(path, rows, terminator="\n"):
    with open(path, "w", newline="", encoding="utf-8") as f:
        csv.writer(f, lineterminator=terminator).writerows(rows)


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.reader(f))


def appended(value):
    r = _cobalis.validate_iban(value)
    return ["true" if r["is_valid"] else "false", r["error"] or "", r["compact"], r["formatted"]]


ROWS = [
    ["id", "payee, name", "iban"],
    ["1", 'ACME "Ltd", London', GB_IBAN],
    ["2", "multi\nline", "gb82west12345698765433"],
    ["3", "Nordmann", NO_IBAN],
    ["4", "", ""],
]


def test_check_round_trip_appends_the_four_columns(capsys, tmp_path):
    source, target = tmp_path / "in.csv", tmp_path / "out.csv"
    write_csv(source, ROWS)
    status, out, err = run(capsys, "check", "iban", str(source), "--column", "iban", "--output", str(target))
    assert (status, out) == (1, "")
    assert read_csv(target) == [ROWS[0] + list(CHECK_COLUMNS)] + [row + appended(row[2]) for row in ROWS[1:]]
    assert err.splitlines() == ["4 rows: 2 valid, 2 invalid", "  invalid_checksum: 1", "  invalid_length: 1"]


def test_check_writes_to_stdout_without_output(capsys, tmp_path):
    source = tmp_path / "in.csv"
    write_csv(source, [["iban"], [GB_IBAN], [NO_IBAN]])
    status, out, err = run(capsys, "check", "iban", str(source), "-c", "iban")
    assert status == 0
    assert list(csv.reader(io.StringIO(out))) == [["iban", *CHECK_COLUMNS], [GB_IBAN, *appended(GB_IBAN)],
                                                   [NO_IBAN, *appended(NO_IBAN)]]
    assert err == "2 rows: 2 valid, 0 invalid\n"


def test_check_keeps_crlf_drops_a_bom_skips_blank_lines_and_squares_rows(capsys, tmp_path):
    source, target = tmp_path / "in.csv", tmp_path / "out.csv"
    source.write_bytes(b"\xef\xbb\xbfiban,note\r\n" + GB_IBAN.encode() + b"\r\n\r\n" + NO_IBAN.encode() + b",x,,\r\n")
    status, _, _ = run(capsys, "check", "iban", str(source), "--column", "iban", "-o", str(target))
    assert status == 0
    assert target.read_bytes().decode() == (
        "iban,note,is_valid,error,compact,formatted\r\n"
        f"{GB_IBAN},,{','.join(appended(GB_IBAN))}\r\n"
        f"{NO_IBAN},x,{','.join(appended(NO_IBAN))}\r\n"
    )


def test_check_a_large_generated_file(capsys, tmp_path):
    chance = random.Random(20240601)
    source, target = tmp_path / "big.csv", tmp_path / "big-out.csv"
    expected_valid, rows = 0, [["n", "iban"]]
    for n in range(60_000):
        value = iban("DE", "".join(chance.choice("0123456789") for _ in range(18)))
        if n % 7 == 0:  # a wrong last digit
            value = value[:-1] + str((int(value[-1]) + 1) % 10)
        else:
            expected_valid += 1
        rows.append([str(n), value])
    write_csv(source, rows)
    status, _, err = run(capsys, "check", "iban", str(source), "--column", "iban", "--output", str(target))
    assert status == 1
    assert err.splitlines() == [f"60000 rows: {expected_valid} valid, {60_000 - expected_valid} invalid",
                                f"  invalid_checksum: {60_000 - expected_valid}"]
    with open(target, newline="") as f:
        reader = csv.reader(f)
        assert next(reader) == ["n", "iban", *CHECK_COLUMNS]
        for original, written in zip(rows[1:], reader, strict=True):
            assert written[:2] == original
            assert written[2] == ("false" if int(original[0]) % 7 == 0 else "true")
            assert written[4] == ("" if written[2] == "false" else original[1])


def test_check_shows_progress_on_a_terminal(capsys, tmp_path, monkeypatch):
    source = tmp_path / "in.csv"
    write_csv(source, [["iban"]] + [[GB_IBAN]] * 10)
    monkeypatch.setattr(progress, "PROGRESS_ROWS", 2)
    monkeypatch.setattr(progress, "PROGRESS_SECONDS", 0.0)
    monkeypatch.setattr(sys.stderr, "isatty", lambda: True)
    status, _, err = run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(tmp_path / "o.csv"))
    assert status == 0
    assert "\r10 rows checked" in err
    assert err.endswith("\r\033[K10 rows: 10 valid, 0 invalid\n")  # the progress line is cleared


def test_check_without_a_terminal_prints_no_progress(capsys, tmp_path, monkeypatch):
    source = tmp_path / "in.csv"
    write_csv(source, [["iban"]] + [[GB_IBAN]] * 10)
    monkeypatch.setattr(progress, "PROGRESS_ROWS", 2)
    monkeypatch.setattr(progress, "PROGRESS_SECONDS", 0.0)
    _, _, err = run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(tmp_path / "o.csv"))
    assert "\r" not in err


def listing(directory):
    return sorted(p.name for p in directory.iterdir())


def test_check_missing_column_lists_the_header_and_writes_nothing(capsys, tmp_path):
    source = tmp_path / "in.csv"
    write_csv(source, ROWS)
    status, out, err = run(capsys, "check", "iban", str(source), "--column", "IBAN", "-o", str(tmp_path / "o.csv"))
    assert (status, out) == (2, "")
    assert "has no column 'IBAN'" in err and "'id', 'payee, name', 'iban'" in err
    assert listing(tmp_path) == ["in.csv"]


def test_check_not_utf8_names_the_line_and_leaves_no_file_behind(capsys, tmp_path):
    source, target = tmp_path / "in.csv", tmp_path / "out.csv"
    good = "".join(f"{n},{GB_IBAN}\n" for n in range(5000))
    source.write_bytes(b"n,iban\n" + good.encode() + b"5000,GB82 W\xe9ST\n")
    target.write_text("previous contents\n")
    target.chmod(0o640)
    status, out, err = run(capsys, "check", "iban", str(source), "--column", "iban", "-o", str(target))
    assert (status, out) == (2, "")
    assert f"{source}: line 5002 is not valid UTF-8 (byte 0xe9 at column 12)" in err
    # The previous output is untouched and no temporary file is left.
    assert target.read_text() == "previous contents\n"
    assert listing(tmp_path) == ["in.csv", "out.csv"]


def test_check_replaces_an_existing_output_keeping_its_permissions(capsys, tmp_path):
    source, target = tmp_path / "in.csv", tmp_path / "out.csv"
    write_csv(source, [["iban"], [GB_IBAN]])
    target.write_text("old\n")
    target.chmod(0o640)
    assert run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(target))[0] == 0
    assert read_csv(target)[1] == [GB_IBAN, *appended(GB_IBAN)]
    assert stat.S_IMODE(target.stat().st_mode) == 0o640
    assert listing(tmp_path) == ["in.csv", "out.csv"]


def test_check_new_output_gets_the_umask_permissions(capsys, tmp_path):
    source, target = tmp_path / "in.csv", tmp_path / "out.csv"
    write_csv(source, [["iban"], [GB_IBAN]])
    umask = os.umask(0o027)
    try:
        assert run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(target))[0] == 0
    finally:
        os.umask(umask)
    assert stat.S_IMODE(target.stat().st_mode) == 0o640


def test_check_may_overwrite_its_own_input(capsys, tmp_path):
    source = tmp_path / "in.csv"
    write_csv(source, [["iban"], [GB_IBAN]])
    assert run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(source))[0] == 0
    assert read_csv(source) == [["iban", *CHECK_COLUMNS], [GB_IBAN, *appended(GB_IBAN)]]


@pytest.mark.parametrize("content, message", [
    (None, "cannot read {source}: No such file or directory"),
    (b"", "{source} is empty: there is no header row"),
    (b"iban\n" + GB_IBAN.encode() + b",extra\n", "{source}: line 2 has 2 fields, the header has 1"),
    (b'iban\n"GB82 unterminated\n', "{source}: line 2: unexpected end of data"),
])
def test_check_unreadable_input_is_a_usage_error(capsys, tmp_path, content, message):
    source, target = tmp_path / "in.csv", tmp_path / "out.csv"
    if content is not None:
        source.write_bytes(content)
    status, out, err = run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(target))
    assert (status, out) == (2, "")
    assert err == f"cobalis check: error: {message.format(source=source)}\n"
    assert not target.exists()
    assert listing(tmp_path) == ([] if content is None else ["in.csv"])


def test_check_output_in_a_missing_directory(capsys, tmp_path):
    source = tmp_path / "in.csv"
    write_csv(source, [["iban"], [GB_IBAN]])
    target = tmp_path / "nowhere" / "out.csv"
    status, _, err = run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(target))
    assert status == 2
    assert f"cannot write {target}: No such file or directory" in err


# --- lookup ---------------------------------------------------------------------


@pytest.mark.parametrize("table, code, function", [
    ("currency", "EUR", "get_currency"), ("currency", "XDR", "get_currency"),
    ("vat-rate", "CH", "get_vat_rate"), ("country", "stub", "get_country"),
])
def test_lookup_prints_the_record(capsys, table, code, function):
    needs(function)
    status, out, err = run(capsys, "lookup", table, code)
    assert (status, err) == (0, "")
    record = getattr(_cobalis, function)(code)
    assert out == json.dumps(record, ensure_ascii=False) + "\n"
    assert list(json.loads(out)) == list(record)


@pytest.mark.parametrize("table, code, function, message", [
    ("currency", "XAU", "get_currency", "no currency record for currency code 'XAU'\n"),
    ("currency", "eur", "get_currency", "no currency record for currency code 'eur'; keys are case-sensitive, try 'EUR'\n"),
    ("vat-rate", "EL", "get_vat_rate", "no vat-rate record for country 'EL'\n"),
    ("country", "US", "get_country", "no country record for country code 'US' (the built-in country table holds "
                                     "only a placeholder record, so real country codes have none)\n"),
])
def test_lookup_says_when_there_is_no_record(capsys, table, code, function, message):
    needs(function)
    status, out, err = run(capsys, "lookup", table, code)
    assert (status, out, err) == (1, "", message)


def test_lookup_country_by_alpha3(capsys):
    needs("get_country_by_alpha3")
    status, out, _ = run(capsys, "lookup", "country", "stub")
    assert status == 0 and json.loads(out) == _cobalis.get_country_by_alpha3("stub")


# --- as a program -----------------------------------------------------------------


def test_python_dash_m_cobalis(tmp_path):
    env = {**os.environ, "PYTHONPATH": os.pathsep.join(p for p in sys.path if p)}
    command = [sys.executable, "-m", "cobalis", "validate", "iban", "-"]
    done = subprocess.run(command, input=f"{GB_IBAN}\nGB00\n", capture_output=True, text=True, env=env,
                          timeout=60, cwd=tmp_path)
    assert (done.returncode, done.stderr) == (1, "")
    assert json_lines(done.stdout) == [_cobalis.validate_iban(GB_IBAN), _cobalis.validate_iban("GB00")]
    usage = subprocess.run([sys.executable, "-m", "cobalis", "validate", "nope", "x"], capture_output=True,
                           text=True, env=env, timeout=60, cwd=tmp_path)
    assert usage.returncode == 2 and "unknown kind 'nope'" in usage.stderr


def test_console_script_when_installed(tmp_path):
    script = shutil.which("cobalis", path=os.path.dirname(sys.executable))
    if script is None:
        pytest.skip("the cobalis script is not installed beside this interpreter")
    done = subprocess.run([script, "validate", "iban", GB_IBAN], capture_output=True, text=True, timeout=60,
                          cwd=tmp_path)
    assert done.returncode == 0
    assert json_lines(done.stdout) == [_cobalis.validate_iban(GB_IBAN)]


def test_lookup_paths_with_a_stand_in_table(capsys, monkeypatch):
    """The lookup command's own logic, whatever tables this build has."""
    table = {"EUR": {"code": "EUR", "symbol": "€"}}
    monkeypatch.setattr(cli.cobalis, "get_currency", table.get, raising=False)
    assert run(capsys, "lookup", "currency", "EUR") == (0, '{"code": "EUR", "symbol": "€"}\n', "")
    status, out, err = run(capsys, "lookup", "currency", "eur")
    assert (status, out) == (1, "") and "try 'EUR'" in err
    monkeypatch.delattr(cli.cobalis, "get_currency")
    assert run(capsys, "lookup", "currency", "EUR") == (
        2, "", "cobalis lookup: error: this build of cobalis has no currency table\n")


def test_check_not_utf8_after_a_bom_counts_columns_after_it(capsys, tmp_path):
    source = tmp_path / "in.csv"
    source.write_bytes(b"\xef\xbb\xbfib\xffan\n")
    status, _, err = run(capsys, "check", "iban", str(source), "-c", "iban")
    assert status == 2 and err.endswith("line 1 is not valid UTF-8 (byte 0xff at column 3)\n")


def test_validate_argument_that_is_not_utf8(capsys):
    # What the interpreter makes of undecodable bytes in argv.
    status, out, err = run(capsys, "validate", "iban", GB_IBAN, "GB82\udcff")
    assert status == 2
    assert json_lines(out) == [_cobalis.validate_iban(GB_IBAN)]
    assert err == "cobalis validate: error: value 2 is not valid UTF-8 text\n"


# --- check: the block reader and the row reader give the same bytes -----------------------


def test_check_blocks_are_taken_until_one_the_standard_library_reads_differently(capsys, tmp_path, check_path):
    source = tmp_path / "in.csv"
    rows = "".join(f'{n},"x, {n}",{GB_IBAN if n % 3 else NO_IBAN}\r\n' for n in range(1000))
    source.write_bytes(("n,note,iban\r\n" + rows + "\r\n" + rows).encode())  # a blank line half way
    status, out, err = run(capsys, "check", "iban", str(source), "-c", "iban")
    assert status == 0 and err == "2000 rows: 2000 valid, 0 invalid\n"
    lines = out.split("\r\n")
    assert lines[1] == f'0,"x, 0",{NO_IBAN},{",".join(appended(NO_IBAN))}' and len(lines) == 2002
    if check_path != "rows":
        assert 0 < check_path.taken < 20  # the first half in blocks, then row by row


def test_check_strict_uses_the_national_rules(capsys, tmp_path, check_path):
    needs("validate_vat")
    import cobalis.strict

    values = ["DE 136 695 976", "DE 136 695 977", "ATU13585627", "XI123"]
    source = tmp_path / "in.csv"
    write_csv(source, [["vat"]] + [[v] for v in values])
    status, out, _ = run(capsys, "check", "--strict", "vat", str(source), "-c", "vat")
    results = [cobalis.strict.validate_vat(v) for v in values]
    assert list(csv.reader(io.StringIO(out)))[1:] == [
        [v, "true" if r["is_valid"] else "false", r["error"] or "", r["compact"], r["formatted"]]
        for v, r in zip(values, results)
    ]
    assert status == (0 if all(r["is_valid"] for r in results) else 1)


# Text that reads differently, or not at all: every kind of thing the block reader must leave alone.
DAMAGE = [b"\n", b"\r\n", b'"', b'x"y', b'12" pizza', b",", b"\xff", b"\xe9", b"\xed\xa0\x80", b"\r", b"\x00", b",,", b' "x"', b'"a""b",', b"\n\n"]
FIELDS = st.one_of(st.text(alphabet='aB1 ,"\n-é', max_size=6),
                   st.sampled_from([GB_IBAN, NO_IBAN, "gb82 west", "a\r\nb", "c\rd"]))


@st.composite
def csv_files(draw):
    width = draw(st.integers(1, 3))
    terminator = draw(st.sampled_from(["\n", "\r\n"]))
    rows = draw(st.lists(st.lists(FIELDS, min_size=width, max_size=width), max_size=15))
    text = io.StringIO()
    csv.writer(text, lineterminator=terminator).writerows([[f"c{i}" for i in range(width)]] + rows)
    data = text.getvalue().encode()
    header = data.index(terminator.encode()) + len(terminator)
    for _ in range(draw(st.sampled_from([0, 0, 1, 2]))):
        at = draw(st.integers(header, len(data)))
        data = data[:at] + draw(st.sampled_from(DAMAGE)) + data[at:]
    if draw(st.booleans()):
        data = data.rstrip(b"\r\n")
    if draw(st.booleans()):
        data = b"\xef\xbb\xbf" + data
    return data, f"c{draw(st.integers(0, width - 1))}"


@settings(max_examples=80, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(csv_file=csv_files(), block_bytes=st.sampled_from([16, 64, 1 << 20]))
def test_blocks_and_rows_give_the_same_bytes(capsys, tmp_path, monkeypatch, csv_file, block_bytes):
    blocks = check_run.arrow_blocks()
    if blocks is None:
        pytest.skip("pyarrow is not installed")
    data, column = csv_file
    source = tmp_path / "in.csv"
    source.write_bytes(data)
    argv = ["check", "iban", str(source), "-c", column]
    with monkeypatch.context() as patch:
        patch.setattr(blocks, "BLOCK_BYTES", block_bytes)
        in_blocks = run(capsys, *argv)
    with monkeypatch.context() as patch:
        patch.setattr(check_run, "arrow_blocks", lambda: None)
        by_rows = run(capsys, *argv)
    assert in_blocks == by_rows


def test_check_output_is_utf8_whatever_the_encoding_of_stdout(capsys, tmp_path, monkeypatch, check_path):
    source = tmp_path / "in.csv"
    write_csv(source, [["name", "iban"], ["Müller", GB_IBAN]])
    for encoding in ("latin-1", "ascii"):
        stdout = io.TextIOWrapper(io.BytesIO(), encoding=encoding, newline="")
        monkeypatch.setattr(sys, "stdout", stdout)
        assert cli.main(["check", "iban", str(source), "-c", "iban"]) == 0
        stdout.flush()
        assert stdout.buffer.getvalue().decode().splitlines()[1] == f"Müller,{GB_IBAN},{','.join(appended(GB_IBAN))}"
    if check_path != "rows":
        assert check_path.taken == 2


# --- check: files the command takes or refuses, and where its output goes -------------------

STRAY_QUOTES = "n,name,iban\n" + "".join(
    f"{n},{name},{GB_IBAN if n % 4 else NO_IBAN}\n"
    for n in range(2000)
    for name in [{3: 'O"Brien', 10: '"ACME ""Ltd"""', 11: '"a, ""b"""', 1500: '12" pizza'}.get(n, f"name {n}")]
)


def expected_output(text, column, prefix=""):
    """What `check` writes for the CSV `text`: the standard library's reading of it, with the results."""
    header, *rows = csv.reader(io.StringIO(text, newline=""))
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow([*header, *(prefix + name for name in CHECK_COLUMNS)])
    writer.writerows(row + appended(row[header.index(column)]) for row in rows if row)
    return out.getvalue()


@pytest.mark.parametrize("content, argv, status, err", [
    (STRAY_QUOTES, ["-c", "iban"], 0, "2000 rows: 2000 valid, 0 invalid\n"),
    (STRAY_QUOTES, ["-c", "iban", "-o", "-"], 0, "2000 rows: 2000 valid, 0 invalid\n"),
    (f"iban,is_valid,error\n{GB_IBAN},x,y\n", ["-c", "iban", "--prefix", "iban_"], 0, "1 row: 1 valid, 0 invalid\n"),
    (f"iban,n,iban\n{GB_IBAN},1,x\n", ["-c", "iban"], 2,
     "cobalis check: error: {source} has 2 columns named 'iban' (columns 1, 3); the column to check must be named once\n"),
    (f"iban,is_valid,error\n{GB_IBAN},x,y\n", ["-c", "iban"], 2,
     "cobalis check: error: {source} already has the columns 'is_valid', 'error' that the results would add; "
     "name the results apart with --prefix\n"),
    (f"iban,x_error\n{GB_IBAN},x\n", ["-c", "iban", "--prefix", "x_"], 2,
     "cobalis check: error: {source} already has the column 'x_error' that the results would add; "
     "name the results apart with --prefix\n"),
], ids=["stray quotes", "dash", "prefix", "column twice", "results repeated", "prefixed result repeated"])
def test_check_files_and_options(capsys, tmp_path, check_path, content, argv, status, err):
    source = tmp_path / "in.csv"
    source.write_text(content, encoding="utf-8")
    result = run(capsys, "check", "iban", str(source), *argv)
    prefix = argv[argv.index("--prefix") + 1] if "--prefix" in argv else ""
    out = expected_output(content, "iban", prefix) if status != 2 else ""
    assert result == (status, out, err.format(source=source))
    if check_path != "rows" and content is STRAY_QUOTES:
        # The quotes inside unquoted fields neither stop the blocks nor make one block of the rest of the file.
        assert check_path.taken > 10 and check_path.largest <= 2 * 4096


def test_lookup_text_that_is_not_utf8_is_a_usage_error(capsys):
    # What the interpreter makes of the byte 0xff in argv.
    assert run(capsys, "lookup", "vat-rate", "\udcff") == (
        2, "", "cobalis lookup: error: the country is not valid UTF-8 text\n")


@pytest.mark.parametrize("kind", ["link", "dangling link", "fifo", "directory"])
def test_check_output_targets(capsys, tmp_path, check_path, kind):
    source, real = tmp_path / "in.csv", tmp_path / "real.csv"
    write_csv(source, [["iban"], [GB_IBAN]])
    expected = expected_output(source.read_text(), "iban")
    target, before = tmp_path / "out.csv", ["in.csv", "out.csv"]
    received = []
    if kind == "link":
        real.write_text("old\n")
        real.chmod(0o640)
        target.symlink_to(real)
        before.append("real.csv")
    elif kind == "dangling link":
        target.symlink_to(real)
    elif kind == "fifo":
        os.mkfifo(target)
        reader = threading.Thread(target=lambda: received.append(target.read_text()), daemon=True)
        reader.start()
    else:
        target.mkdir()
    status, out, err = run(capsys, "check", "iban", str(source), "-c", "iban", "-o", str(target))
    if kind == "directory":
        assert (status, out, err) == (2, "", f"cobalis check: error: cannot write {target}: it is a directory\n")
        return
    assert (status, out) == (0, "")
    if kind == "fifo":
        reader.join(timeout=60)
        if not received:  # the FIFO was never written: let the reader go
            os.close(os.open(target, os.O_WRONLY | os.O_NONBLOCK))
        assert received == [expected]
    else:  # the link stays, its target is replaced whole
        assert target.is_symlink() and real.read_text() == expected
        assert stat.S_IMODE(real.stat().st_mode) == (0o640 if kind == "link" else 0o666 & ~current_umask())
    assert listing(tmp_path) == sorted(set(before) | {"real.csv"} if kind != "fifo" else before)


def current_umask():
    umask = os.umask(0)
    os.umask(umask)
    return umask


def python_m_cobalis(argv, cwd, extra_env=(), **options):
    env = {**os.environ, "PYTHONPATH": os.pathsep.join(p for p in sys.path if p), **dict(extra_env)}
    return subprocess.Popen([sys.executable, "-m", "cobalis", *argv], env=env, cwd=cwd,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, **options)


@pytest.mark.parametrize("env, argv, status, err", [
    ({"PYTHONIOENCODING": "ascii"}, ["check", "iban", "in.csv", "-c", "iban"], 0, b"1 row: 1 valid, 0 invalid\n"),
    ({"PYTHONIOENCODING": "latin-1", "LC_ALL": "C"}, ["check", "iban", "in.csv", "-c", "iban"], 0,
     b"1 row: 1 valid, 0 invalid\n"),
    # /dev/stdout through a link of our own, so that a fault replaces the link, not the system's file.
    ({}, ["check", "iban", "in.csv", "-c", "iban", "-o", "stdout-link"], 0, b"1 row: 1 valid, 0 invalid\n"),
    ({}, ["lookup", "vat-rate", b"\xff"], 2, b"cobalis lookup: error: the country is not valid UTF-8 text\n"),
    ({}, ["lookup", "currency", b"\xffUR"], 2, b"cobalis lookup: error: the currency code is not valid UTF-8 text\n"),
])
def test_as_a_program_output_is_utf8_and_errors_are_one_line(tmp_path, env, argv, status, err):
    write_csv(tmp_path / "in.csv", [["name", "iban"], ["Müller", GB_IBAN]])
    (tmp_path / "stdout-link").symlink_to("/dev/stdout")
    done = python_m_cobalis(argv, tmp_path, env)
    out, got = done.communicate(timeout=60)
    assert (done.returncode, got) == (status, err)
    if status == 0:
        assert out.decode("utf-8") == expected_output((tmp_path / "in.csv").read_text(encoding="utf-8"), "iban")


@pytest.mark.parametrize("argv", [["check", "iban", "in.csv", "-c", "iban"], ["validate", "iban", "-"]])
def test_a_closed_pipe_ends_quietly_with_status_141(tmp_path, argv):
    write_csv(tmp_path / "in.csv", [["iban"]] + [[GB_IBAN]] * 50_000)
    done = python_m_cobalis(argv, tmp_path, stdin=open(tmp_path / "in.csv", "rb"))
    done.stdout.readline()
    done.stdout.close()  # as `| head -1` does
    assert done.wait(timeout=60) == 141
    assert done.stderr.read() == b""
