"""The ``cobalis`` command line.

    cobalis validate [--strict] KIND VALUE...        one JSON result per value
    cobalis check [--strict] KIND FILE.csv --column NAME [--output OUT.csv]
    cobalis lookup currency|vat-rate|country CODE

Exit status: 0 when every value checked is valid (or the record was found),
1 when any is not (or there is no record), 2 for a usage error or an input
that cannot be read. Standard library only; `check` reads, checks and writes
whole blocks of rows at a time when pyarrow is installed, with the same
output.
"""

import argparse
import csv
import json
import os
import sys
import tempfile
import time
from collections import Counter
from collections.abc import Callable, Iterable, Iterator, Mapping, Sequence
from contextlib import contextmanager
from typing import BinaryIO, Protocol, TextIO, cast

import cobalis
import cobalis.strict

KINDS = ("iban", "bic", "credit_card", "isbn", "issn", "isin", "lei", "ean", "vat", "email")
# Columns that `check` appends to every row, in this order.
CHECK_COLUMNS = ("is_valid", "error", "compact", "formatted")

EXIT_VALID = 0
EXIT_INVALID = 1
EXIT_USAGE = 2

Validator = Callable[[str], Mapping[str, object]]
Lookup = Callable[[str], Mapping[str, object] | None]

# How often (in rows, then in seconds) `check` refreshes its progress line.
PROGRESS_ROWS = 4096
PROGRESS_SECONDS = 0.25


class UsageError(Exception):
    """Input the command cannot work with; reported as one line, exit status 2."""


# --- kinds and validators -------------------------------------------------


def parse_kind(text: str) -> str:
    """The kind named on the command line ("credit-card" is accepted for "credit_card")."""
    kind = text.strip().lower().replace("-", "_")
    if kind not in KINDS:
        raise argparse.ArgumentTypeError(f"unknown kind {text!r}; the kinds are: {', '.join(KINDS)}")
    return kind


def validator(kind: str, strict: bool = False) -> Validator:
    function = getattr(cobalis.strict if strict else cobalis, "validate_" + kind, None)
    if function is None:
        raise UsageError(f"this build of cobalis has no validator for {kind!r}")
    return cast(Validator, function)


def checked(validate: Validator, value: str, where: str) -> Mapping[str, object]:
    try:
        return validate(value)
    except UnicodeEncodeError:
        # Only reachable from argv: text that arrived as undecodable bytes.
        raise UsageError(f"{where} is not valid UTF-8 text") from None


# --- reading text line by line --------------------------------------------


class Utf8Lines:
    """Decodes a binary stream line by line, naming the line of a bad byte.

    Lines keep their terminators, as the csv module wants them. A byte-order
    mark at the very start is dropped.
    """

    def __init__(self, stream: Iterable[bytes], source: str) -> None:
        self._stream = iter(stream)
        self.source = source
        self.line = 0
        self.offset = 0  # bytes read, the byte-order mark included
        self.terminator = "\n"  # of the first line, "\r\n" or "\n"

    def resume(self, stream: BinaryIO, offset: int, line: int) -> None:
        """Goes on from byte `offset` of `stream`, the start of line `line + 1`."""
        stream.seek(offset)
        self._stream = iter(stream)
        self.offset = offset
        self.line = line

    def __iter__(self) -> Iterator[str]:
        return self

    def __next__(self) -> str:
        raw = next(self._stream)
        self.line += 1
        self.offset += len(raw)
        try:
            text = raw.decode("utf-8-sig" if self.line == 1 else "utf-8")
        except UnicodeDecodeError as error:
            # Positions count from after a byte-order mark, as an editor shows them.
            raise UsageError(
                f"{self.source}: line {self.line} is not valid UTF-8 "
                f"(byte 0x{error.object[error.start]:02x} at column {error.start + 1})"
            ) from None
        if self.line == 1 and text.endswith("\r\n"):
            self.terminator = "\r\n"
        return text


def strip_terminator(line: str) -> str:
    return line.removesuffix("\n").removesuffix("\r")


def stdin_values() -> Iterator[str]:
    """Standard input, one value per line, without the line terminators."""
    buffer = cast(BinaryIO | None, getattr(sys.stdin, "buffer", None))
    lines: Iterable[str] = sys.stdin if buffer is None else Utf8Lines(buffer, "standard input")
    for line in lines:
        yield strip_terminator(line)


# --- validate --------------------------------------------------------------


def run_validate(args: argparse.Namespace) -> int:
    validate = validator(args.kind, args.strict)
    values: Iterable[str] = args.values
    if args.values == ["-"]:
        values = stdin_values()
    elif "-" in args.values:
        raise UsageError("'-' (read values from standard input) must be the only value")
    all_valid = True
    for number, value in enumerate(values, 1):
        result = checked(validate, value, f"value {number}")
        sys.stdout.write(json.dumps(result, ensure_ascii=False) + "\n")
        if not result["is_valid"]:
            all_valid = False
    return EXIT_VALID if all_valid else EXIT_INVALID


# --- check -----------------------------------------------------------------


def new_file_mode(path: str) -> int:
    """The permissions the output gets: those of the file it replaces, else the umask's."""
    try:
        return os.stat(path).st_mode & 0o7777
    except OSError:
        umask = os.umask(0)
        os.umask(umask)
        return 0o666 & ~umask


@contextmanager
def replacing(path: str | None) -> Iterator[TextIO]:
    """A text stream for the output; a file appears at `path` only once complete.

    The rows go to a temporary file beside the target, renamed over it when the
    block ends normally and removed when it raises. Without a path the rows go
    to standard output as they come.
    """
    if path is None:
        yield sys.stdout
        return
    directory = os.path.dirname(os.path.abspath(path))
    try:
        handle, temporary = tempfile.mkstemp(dir=directory, prefix=f".{os.path.basename(path)}.", suffix=".tmp")
    except OSError as error:
        raise UsageError(f"cannot write {path}: {error.strerror}") from None
    try:
        with open(handle, "w", encoding="utf-8", newline="") as out:
            yield out
        os.chmod(temporary, new_file_mode(path))
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise


class Progress:
    """A self-overwriting "N rows" line on standard error, only when it is a terminal."""

    def __init__(self) -> None:
        self.enabled = sys.stderr.isatty()
        self.shown = False
        self.next_time = time.monotonic() + PROGRESS_SECONDS

    def update(self, rows: int) -> None:
        if rows % PROGRESS_ROWS == 0:
            self.show(rows)

    def show(self, rows: int) -> None:
        if not self.enabled:
            return
        now = time.monotonic()
        if now >= self.next_time:
            self.next_time = now + PROGRESS_SECONDS
            sys.stderr.write(f"\r{rows:,} rows checked")
            sys.stderr.flush()
            self.shown = True

    def clear(self) -> None:
        if self.shown:
            sys.stderr.write("\r\033[K")
            sys.stderr.flush()
            self.shown = False


def check_rows(
    reader: Iterator[list[str]], width: int, index: int, validate: Validator, source: Utf8Lines
) -> Iterator[tuple[list[str], Mapping[str, object]]]:
    """Each data row, squared to the header's width, with the result for its value."""
    for row in reader:
        if not row:  # a blank line
            continue
        while len(row) > width and row[-1] == "":
            row.pop()
        if len(row) > width:
            raise UsageError(f"{source.source}: line {source.line} has {len(row)} fields, the header has {width}")
        row.extend([""] * (width - len(row)))
        yield row, validate(row[index])


class Tally:
    """Rows checked so far: how many, how many valid, and how many of each error code."""

    def __init__(self) -> None:
        self.rows = 0
        self.valid = 0
        self.errors: Counter[str] = Counter()


def run_check(args: argparse.Namespace) -> int:
    validate = validator(args.kind, args.strict)
    try:
        stream = open(args.file, "rb")
    except OSError as error:
        raise UsageError(f"cannot read {args.file}: {error.strerror}") from None
    with stream:
        lines = Utf8Lines(stream, args.file)
        reader = csv.reader(lines, strict=True)
        try:
            header = next(reader, None)
            if header is None:
                raise UsageError(f"{args.file} is empty: there is no header row")
            if args.column not in header:
                names = ", ".join(repr(name) for name in header)
                raise UsageError(f"{args.file} has no column {args.column!r}; its header is: {names}")
            index = header.index(args.column)
            tally = Tally()
            progress = Progress()
            try:
                with replacing(args.output) as out:
                    writer = csv.writer(out, lineterminator=lines.terminator)
                    writer.writerow([*header, *CHECK_COLUMNS])
                    blocks = arrow_blocks()
                    if blocks is not None:
                        # Leaves `lines` where the rows the blocks could not take begin (at the end when none).
                        blocks.check(stream, lines, out, len(header), index, args, tally, progress)
                    for row, result in check_rows(reader, len(header), index, validate, lines):
                        tally.rows += 1
                        code = result["error"]
                        if result["is_valid"]:
                            tally.valid += 1
                        else:
                            tally.errors[str(code)] += 1
                        is_valid = "true" if result["is_valid"] else "false"
                        writer.writerow([*row, is_valid, code or "", result["compact"], result["formatted"]])
                        progress.update(tally.rows)
            finally:
                progress.clear()
        except csv.Error as error:
            raise UsageError(f"{args.file}: line {lines.line}: {error}") from None
    print_summary(tally.rows, tally.valid, tally.errors)
    return EXIT_VALID if tally.valid == tally.rows else EXIT_INVALID


class CheckBlocks(Protocol):
    def check(
        self, stream: BinaryIO, lines: Utf8Lines, out: TextIO, width: int, index: int, args: argparse.Namespace,
        tally: Tally, progress: Progress,
    ) -> None: ...


def arrow_blocks() -> CheckBlocks | None:
    """The block-at-a-time reader of `check`, when pyarrow is installed."""
    try:
        from cobalis import _check_blocks
    except ImportError:
        return None
    return _check_blocks


def print_summary(rows: int, valid: int, errors: Counter[str]) -> None:
    lines = [f"{rows} {'row' if rows == 1 else 'rows'}: {valid} valid, {rows - valid} invalid"]
    for code, count in sorted(errors.items(), key=lambda item: (-item[1], item[0])):
        lines.append(f"  {code}: {count}")
    sys.stderr.write("\n".join(lines) + "\n")


# --- lookup ----------------------------------------------------------------


# table -> (functions tried in turn, what the key is, what to add when nothing is found)
LOOKUPS: dict[str, tuple[tuple[str, ...], str, str]] = {
    "currency": (("get_currency",), "currency code", ""),
    "vat-rate": (("get_vat_rate",), "country", ""),
    "country": (
        ("get_country", "get_country_by_alpha3"),
        "country code",
        " (the built-in country table holds only a placeholder record, so real country codes have none)",
    ),
}


def lookup_function(table: str) -> Lookup:
    functions: list[Lookup] = []
    for name in LOOKUPS[table][0]:
        function = getattr(cobalis, name, None)
        if function is None:
            raise UsageError(f"this build of cobalis has no {table} table")
        functions.append(cast(Lookup, function))

    def find(code: str) -> Mapping[str, object] | None:
        for function in functions:
            record = function(code)
            if record is not None:
                return record
        return None

    return find


def run_lookup(args: argparse.Namespace) -> int:
    find = lookup_function(args.table)
    record = find(args.code)
    if record is None:
        _, key, note = LOOKUPS[args.table]
        hint = ""
        if args.code != args.code.upper() and find(args.code.upper()) is not None:
            hint = f"; keys are case-sensitive, try {args.code.upper()!r}"
        sys.stderr.write(f"no {args.table} record for {key} {args.code!r}{note}{hint}\n")
        return EXIT_INVALID
    sys.stdout.write(json.dumps(record, ensure_ascii=False) + "\n")
    return EXIT_VALID


# --- the parser ------------------------------------------------------------

KIND_HELP = "one of: " + ", ".join(KINDS)

STRICT_HELP = (
    "also check the national rules and the standards' letter (IBAN check digits 02-98, account "
    "layout and national check digits, VAT national check digits, BIC and ISIN country codes, "
    "digit check characters of ISIN and LEI), as cobalis.strict does"
)

MAIN_EPILOG = """\
examples:
  cobalis validate iban "GB82 WEST 1234 5698 7654 32"
  cobalis validate isbn 0-306-40615-2 978-0-306-40615-7
  cut -d, -f3 payments.csv | cobalis validate iban -
  cobalis check vat suppliers.csv --column vat_number --output checked.csv
  cobalis validate --strict vat "DE 136 695 976"
  cobalis lookup currency EUR

exit status: 0 all valid (or record found), 1 some invalid (or no record), 2 usage error"""

VALIDATE_EPILOG = """\
Prints one JSON object per value, on its own line, with the keys in the order
the library gives them. Exit status 0 when every value is valid, 1 when any is
not.

examples:
  cobalis validate iban "GB82 WEST 1234 5698 7654 32"
  cobalis validate email alice@example.com bob@
  printf '4111111111111111\\n4111111111111112\\n' | cobalis validate credit_card -"""

CHECK_EPILOG = """\
Reads the CSV file row by row, or with pyarrow installed a block of rows at a
time on every core (any size; memory use stays bounded), validates the named
column and writes every row back with four columns appended:
is_valid ("true" or "false"), error (empty for a valid value), compact and
formatted. With --output the result is written under a temporary name beside
OUT.csv and renamed into place only when complete; without it the rows go to
standard output. A summary (rows, valid, count per error code) goes to standard
error. The input must be UTF-8 (a byte-order mark is allowed); the output is
UTF-8 with the input's line endings. Blank lines are skipped. Exit status 0
when every value is valid, 1 when any is not.

example:
  cobalis check iban payments.csv --column iban --output checked.csv"""

LOOKUP_EPILOG = """\
Prints the record as one JSON object, or says there is none (exit status 1).
Keys are matched exactly: EUR finds the euro, eur does not.

examples:
  cobalis lookup currency EUR
  cobalis lookup vat-rate DE
  cobalis lookup country stub"""


def build_parser() -> argparse.ArgumentParser:
    formatter = argparse.RawDescriptionHelpFormatter
    parser = argparse.ArgumentParser(
        prog="cobalis",
        description="Validate business and financial identifiers (syntax and check digits only; "
        "nothing is looked up in any register).",
        epilog=MAIN_EPILOG,
        formatter_class=formatter,
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {cobalis.__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    validate = commands.add_parser(
        "validate",
        help="validate values given as arguments or on standard input",
        description="Validate each VALUE as an identifier of the given KIND.",
        epilog=VALIDATE_EPILOG,
        formatter_class=formatter,
    )
    validate.add_argument("--strict", action="store_true", help=STRICT_HELP)
    validate.add_argument("kind", metavar="KIND", type=parse_kind, help=KIND_HELP)
    validate.add_argument(
        "values", metavar="VALUE", nargs="+", help="a value to validate, or - alone to read one value per line from standard input"
    )
    validate.set_defaults(run=run_validate)

    check = commands.add_parser(
        "check",
        help="validate one column of a CSV file",
        description="Validate the column NAME of a CSV file as identifiers of the given KIND.",
        epilog=CHECK_EPILOG,
        formatter_class=formatter,
    )
    check.add_argument("--strict", action="store_true", help=STRICT_HELP)
    check.add_argument("kind", metavar="KIND", type=parse_kind, help=KIND_HELP)
    check.add_argument("file", metavar="FILE.csv", help="the CSV file to read; its first row is the header")
    check.add_argument("--column", "-c", metavar="NAME", required=True, help="the header of the column to validate")
    check.add_argument("--output", "-o", metavar="OUT.csv", help="where to write the result (default: standard output)")
    check.set_defaults(run=run_check)

    lookup = commands.add_parser(
        "lookup",
        help="look up a currency, a VAT rate or a country",
        description="Look a code up in the built-in reference tables.",
        epilog=LOOKUP_EPILOG,
        formatter_class=formatter,
    )
    tables = lookup.add_subparsers(dest="table", metavar="TABLE", required=True)
    for table, helptext, metavar, key, example, note in (
        ("currency", "a currency by its three-letter code", "CODE", "a currency code such as EUR", "EUR", ""),
        ("vat-rate", "the standard and reduced VAT rates of a country", "CC", "a country code such as DE", "DE", ""),
        (
            "country", "a country by its two- or three-letter code", "CC", "a country code", "stub",
            "The country table ships a single placeholder record, under the key \"stub\";\n"
            "real country codes have no record.\n\n",
        ),
    ):
        sub = tables.add_parser(
            table,
            help=helptext,
            description=f"Look up {helptext}.",
            epilog=f"{note}example:\n  cobalis lookup {table} {example}",
            formatter_class=formatter,
        )
        sub.add_argument("code", metavar=metavar, help=f"{key} (matched exactly, case included)")
    lookup.set_defaults(run=run_lookup)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line with `argv` (default: sys.argv[1:]); answers the exit status."""
    parser = build_parser()
    try:
        args = parser.parse_args(argv)
    except SystemExit as exit:  # argparse has printed the help, the version or its error
        return exit.code if isinstance(exit.code, int) else EXIT_USAGE
    command = f"cobalis {args.command}"
    try:
        return cast(int, args.run(args))
    except UsageError as error:
        sys.stderr.write(f"{command}: error: {error}\n")
    except OSError as error:
        if isinstance(error, BrokenPipeError):
            silence_stdout()
            return EXIT_INVALID
        sys.stderr.write(f"{command}: error: {error}\n")
    except KeyboardInterrupt:
        sys.stderr.write("\n")
        return 130
    return EXIT_USAGE


def silence_stdout() -> None:
    """After a reader closed the pipe: send what Python still flushes to /dev/null."""
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
    except (OSError, ValueError):
        pass
