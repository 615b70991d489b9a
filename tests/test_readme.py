"""Every example in README.md runs here, so the README cannot drift from the code.

- ```python blocks are doctests (whitespace-insensitive, so long dictionaries
  may wrap where they have a space);
- ```console blocks are transcripts: `$ cobalis ...` (optionally fed by
  `printf '...' |`) runs the command line in-process and must print exactly the
  lines below it; `$ cat FILE` writes FILE from the lines below it the first
  time, and compares them afterwards;
- the table of kinds must agree with the results and the typed error codes;
- every `cobalis ...` command in a ```sh block must parse.
"""

import doctest
import io
import pathlib
import re
import shlex
import sys
import typing

import _cobalis
import cobalis
import pytest
from cobalis import _types, cli

README = pathlib.Path(__file__).resolve().parent.parent / "README.md"
TEXT = README.read_text(encoding="utf-8")
BLOCK = re.compile(r"^```(\w+)\n(.*?)^```\n", re.M | re.S)


def blocks(language):
    found = []
    for match in BLOCK.finditer(TEXT):
        if match[1] == language:
            line = TEXT.count("\n", 0, match.start(2)) + 1
            found.append(pytest.param(match[2], line, id=f"README.md:{line}"))
    return found


def skip_unless_present(names):
    missing = sorted({name for name in names if not hasattr(cobalis, name)})
    if missing:
        pytest.skip(f"not in this build yet: {', '.join(missing)}")


@pytest.mark.parametrize("source, line", blocks("python"))
def test_python_example(source, line):
    skip_unless_present(re.findall(r"\bcobalis\.(\w+)\(", source))
    parser = doctest.DocTestParser()
    test = parser.get_doctest(source, {"cobalis": cobalis}, "README.md", str(README), line - 1)
    assert test.examples, "a python block without >>> examples"
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test, out=lambda report: pytest.fail(report, pytrace=False))
    assert runner.failures == 0


def transcript(source):
    """[(command, expected output)] from a console block."""
    steps = []
    for line in source.splitlines():
        if line.startswith("$ "):
            steps.append((line[2:], []))
        else:
            assert steps, "console output before any command"
            steps[-1][1].append(line + "\n")
    return [(command, "".join(output)) for command, output in steps]


def needed_functions(command):
    words = [word for word in shlex.split(command.split("|")[-1]) if not word.startswith("--strict")]
    if words[:1] != ["cobalis"] or len(words) < 3:
        return []
    if words[1] in ("validate", "check"):
        return ["validate_" + cli.parse_kind(words[2])]
    if words[1] == "lookup":
        return list(cli.LOOKUPS[words[2]][0])
    return []


@pytest.mark.parametrize("source, line", blocks("console"))
def test_console_example(source, line, tmp_path, monkeypatch, capsys):
    steps = transcript(source)
    skip_unless_present(name for command, _ in steps for name in needed_functions(command))
    monkeypatch.chdir(tmp_path)
    for command, expected in steps:
        words = shlex.split(command)
        if words[0] == "cat":
            path = tmp_path / words[1]
            if path.exists():
                assert path.read_text(encoding="utf-8") == expected, command
            else:
                path.write_text(expected, encoding="utf-8")
            continue
        stdin = None
        if words[0] == "printf":
            assert words[2] == "|", command
            stdin = words[1].replace("\\n", "\n").encode()
            words = words[3:]
        assert words[0] == "cobalis", command
        if stdin is not None:
            monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin), encoding="utf-8"))
        cli.main(words[1:])
        out, err = capsys.readouterr()
        assert out + err == expected, command


def table_rows():
    section = TEXT[TEXT.index("### The ten kinds"):]
    rows = []
    for line in section.splitlines()[2:]:
        if not line.startswith("|"):
            if rows:
                break
            continue
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if cells[0] in ("kind", "---"):
            continue
        rows.append(pytest.param(*cells, id=cells[0].strip("`")))
    return rows


def names(cell):
    return re.findall(r"`(\w+)`", cell)


def test_table_lists_the_ten_kinds():
    assert [row.values[0].strip("`") for row in table_rows()] == list(cli.KINDS)


@pytest.mark.parametrize("kind, call, keys, codes", table_rows())
def test_table_row_matches_the_library(kind, call, keys, codes):
    kind = kind.strip("`")
    match = re.fullmatch(r'`(validate_\w+)\("([^"]*)"\)`', call)
    assert match and match[1] == "validate_" + kind
    skip_unless_present([match[1]])
    result = getattr(_cobalis, match[1])(match[2])
    assert result["is_valid"] and result["kind"] == kind
    assert list(result)[5:] == names(keys)
    assert f">>> cobalis.{match[0].strip('`')}\n" in TEXT  # shown with its result below the table
    result_type = getattr(_types, "".join(part.title() for part in kind.split("_")) + "Result")
    error_literal = typing.get_args(result_type.__orig_bases__[0])[1]
    assert sorted(names(codes)) == sorted(typing.get_args(error_literal))


def test_shell_commands_parse():
    parser = cli.build_parser()
    commands = [
        words
        for source, _ in (param.values for param in blocks("sh"))
        for command in re.split(r"&&|\||\n", source)
        if (words := shlex.split(command))[:1] == ["cobalis"]
    ]
    assert commands
    for words in commands:
        parser.parse_args(words[1:])
