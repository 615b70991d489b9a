"""The ``cobalis`` command line.

    cobalis validate [--strict] KIND VALUE...        one JSON result per value
    cobalis explain [--strict] [--limit N] KIND VALUE...   why each value is invalid, and what it probably was
    cobalis check [--strict] [--explain] KIND FILE.csv --column NAME [--output OUT.csv]
    cobalis lookup currency|vat-rate|country CODE

Exit status: 0 when every value checked is valid (or the record was found),
1 when any is not (or there is no record), 2 for a usage error or an input
that cannot be read. Standard library only; `check` reads, checks and writes
whole blocks of rows at a time when pyarrow is installed, with the same
output.
"""

import argparse
import codecs
import json
import os
import sys
from collections.abc import Callable, Iterable, Iterator, Mapping, Sequence
from typing import BinaryIO, cast

import cobalis
from cobalis._batch import VALIDATE_KINDS
from cobalis._check.errors import UsageError
from cobalis._check.lines import Utf8Lines, strip_terminator
from cobalis._check.rows import Validator, validator
from cobalis._check.run import check_file

# The identifier kinds, in the library's order.
KINDS = VALIDATE_KINDS

EXIT_VALID = 0
EXIT_INVALID = 1
EXIT_USAGE = 2
EXIT_PIPE = 128 + 13  # what a shell reports for a program killed by SIGPIPE: the reader went away

Lookup = Callable[[str], Mapping[str, object] | None]


# --- kinds and validators -------------------------------------------------


def parse_kind(text: str) -> str:
    """The kind named on the command line ("credit-card" is accepted for "credit_card")."""
    kind = text.strip().lower().replace("-", "_")
    if kind not in KINDS:
        raise argparse.ArgumentTypeError(f"unknown kind {text!r}; the kinds are: {', '.join(KINDS)}")
    return kind


def checked(validate: Validator, value: str, where: str) -> Mapping[str, object]:
    try:
        return validate(value)
    except UnicodeEncodeError:
        # Only reachable from argv: text that arrived as undecodable bytes.
        raise UsageError(f"{where} is not valid UTF-8 text") from None


# --- values from standard input -------------------------------------------


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


# --- explain ---------------------------------------------------------------


def run_explain(args: argparse.Namespace) -> int:
    values: Iterable[str] = args.values
    if args.values == ["-"]:
        values = stdin_values()
    elif "-" in args.values:
        raise UsageError("'-' (read values from standard input) must be the only value")
    if args.limit < 0:
        raise UsageError("--limit must not be negative")
    all_valid = True
    for number, value in enumerate(values, 1):
        try:
            explained = cobalis.explain(args.kind, value, strict=args.strict)
            suggestions = cobalis.suggest(args.kind, value, strict=args.strict, limit=args.limit)
        except UnicodeEncodeError:
            raise UsageError(f"value {number} is not valid UTF-8 text") from None
        line = {"value": value, **explained, "suggestions": suggestions}
        sys.stdout.write(json.dumps(line, ensure_ascii=False) + "\n")
        if explained["error"] is not None:
            all_valid = False
    return EXIT_VALID if all_valid else EXIT_INVALID


# --- check -----------------------------------------------------------------


def run_check(args: argparse.Namespace) -> int:
    tally = check_file(args.file, args.column, args.kind, strict=args.strict, output=args.output, prefix=args.prefix,
                       explain=args.explain)
    sys.stderr.write(tally.summary())
    return EXIT_VALID if tally.valid == tally.rows else EXIT_INVALID


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
    _, key, note = LOOKUPS[args.table]
    try:
        record = find(args.code)
    except UnicodeEncodeError:
        # Text that arrived as undecodable bytes.
        raise UsageError(f"the {key} is not valid UTF-8 text") from None
    if record is None:
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

exit status: 0 all valid (or record found), 1 some invalid (or no record), 2 usage error,
141 the reader of the output went away (as with | head)"""

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
formatted; --prefix puts a prefix before those four names. A header that names
the column twice, or that already has one of the appended columns, is refused.

With --output the result is written under a temporary name beside OUT.csv and
renamed into place only when complete (through a symbolic link: its target is
replaced, keeping its permissions); a FIFO or a device such as /dev/stdout is
written directly, and a directory is refused. Without --output, or with "-",
the rows go to standard output. A summary (rows, valid, count per error code)
goes to standard error. The input must be UTF-8 (a byte-order mark is allowed);
the output is UTF-8, whatever the locale, with the input's line endings. Blank
lines are skipped. Exit status 0 when every value is valid, 1 when any is not,
2 for an input or output that cannot be used.

example:
  cobalis check iban payments.csv --column iban --output checked.csv"""

EXPLAIN_EPILOG = """\
Prints one JSON object per value: value, error, position, expected, message
and suggestions (all null, and no suggestions, for a valid value). Exit
status 0 when every value is valid, 1 otherwise.

examples:
  cobalis explain iban "GB82 WEST 1234 5698 7645 32"
  cobalis explain --strict vat DE136695977"""

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

    explain = commands.add_parser(
        "explain",
        help="say why values are invalid and what they probably were",
        description="For each VALUE: the error code, the place of the character to blame, the check characters "
        "the rest implies, a sentence, and the valid identifiers one typing slip away (one character replaced or "
        "two neighbours swapped), most plausible first.",
        epilog=EXPLAIN_EPILOG,
        formatter_class=formatter,
    )
    explain.add_argument("--strict", action="store_true", help=STRICT_HELP)
    explain.add_argument("--limit", type=int, default=5, metavar="N", help="at most N suggestions per value (default 5)")
    explain.add_argument("kind", metavar="KIND", type=parse_kind, help=KIND_HELP)
    explain.add_argument(
        "values", metavar="VALUE", nargs="+", help="a value to explain, or - alone to read one value per line from standard input"
    )
    explain.set_defaults(run=run_explain)

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
    check.add_argument(
        "--output", "-o", metavar="OUT.csv", help="where to write the result (default, or -: standard output)"
    )
    check.add_argument(
        "--prefix", default="", metavar="TEXT",
        help="put TEXT before the names of the appended columns: --prefix iban_ gives iban_is_valid, iban_error, "
        "iban_compact and iban_formatted (for a file that already has such columns)",
    )
    check.add_argument(
        "--explain", action="store_true",
        help="also append position (of the character to blame, from 0), expected (the check characters the rest "
        "implies) and suggestions (valid identifiers one typing slip away, separated by spaces)",
    )
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
    utf8_stdout()
    parser = build_parser()
    try:
        args = parser.parse_args(argv)
    except SystemExit as exit:  # argparse has printed the help, the version or its error
        return exit.code if isinstance(exit.code, int) else EXIT_USAGE
    command = f"cobalis {args.command}"
    try:
        status = cast(int, args.run(args))
        sys.stdout.flush()  # here, where a closed pipe can still be told apart
        return status
    except BrokenPipeError:
        silence_stdout()
        return EXIT_PIPE
    except KeyboardInterrupt:
        sys.stderr.write("\n")
        return 130
    except (UsageError, OSError) as error:
        sys.stderr.write(f"{command}: error: {error}\n")
    except Exception as error:  # a fault of our own: still one line, not a traceback
        sys.stderr.write(f"{command}: error: {type(error).__name__}: {error}\n")
    return EXIT_USAGE


def utf8_stdout() -> None:
    """Standard output in UTF-8, whatever the locale or PYTHONIOENCODING say."""
    reconfigure = getattr(sys.stdout, "reconfigure", None)
    if reconfigure is not None and codecs.lookup(sys.stdout.encoding or "ascii").name != "utf-8":
        reconfigure(encoding="utf-8")


def silence_stdout() -> None:
    """After a reader closed the pipe: send what Python still flushes to /dev/null."""
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
    except (OSError, ValueError):
        pass
