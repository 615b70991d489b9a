"""The rows of `check`: the validator, the input rows, the output row, the tally.

The output row is the input row with four columns appended. The row reader
builds it for one value at a time, the block reader for a whole column at a
time; both spell it with `output_row`, each with its own `Texts`.
"""

import csv
from collections import Counter
from collections.abc import Callable, Iterator, Mapping, Sequence
from typing import Any, NamedTuple, Protocol, TypeVar, cast

import cobalis
import cobalis.strict
from cobalis._check.errors import UsageError
from cobalis._check.lines import Utf8Lines

# Columns that `check` appends to every row, in this order.
CHECK_COLUMNS = ("is_valid", "error", "compact", "formatted")
# Columns that `check --explain` appends after those: the place of the character to blame (counted from 0), the
# check characters the rest implies, and the valid identifiers one slip away, separated by spaces.
EXPLAIN_COLUMNS = ("position", "expected", "suggestions")

Validator = Callable[[str], Mapping[str, object]]


def validator(kind: str, strict: bool = False) -> Validator:
    """`validate_<kind>` of cobalis, or of cobalis.strict."""
    function = getattr(cobalis.strict if strict else cobalis, "validate_" + kind, None)
    if function is None:
        raise UsageError(f"this build of cobalis has no validator for {kind!r}")
    return cast(Validator, function)


class Layout(NamedTuple):
    """The shape of the input: fields per row (the header's), the checked column's place, the line end."""

    width: int
    column: int
    terminator: str


def csv_rows(lines: Utf8Lines) -> Iterator[list[str]]:
    """The rows the standard library reads from `lines`; its errors name the line."""
    reader = csv.reader(lines, strict=True)
    while True:
        try:
            row = next(reader)
        except StopIteration:
            return
        except csv.Error as error:
            raise UsageError(f"{lines.source}: line {lines.line}: {error}") from None
        yield row


def data_rows(rows: Iterator[list[str]], width: int, lines: Utf8Lines) -> Iterator[list[str]]:
    """Each row squared to the header's `width`: blank lines skipped, empty trailing fields dropped or added."""
    for row in rows:
        if not row:  # a blank line
            continue
        while len(row) > width and row[-1] == "":
            row.pop()
        if len(row) > width:
            raise UsageError(f"{lines.source}: line {lines.line} has {len(row)} fields, the header has {width}")
        row.extend([""] * (width - len(row)))
        yield row


T = TypeVar("T")


class Texts(Protocol[T]):
    """How one reader spells the results: one value's (`PLAIN`) or a column's."""

    def choose(self, condition: T, if_true: str, if_false: str) -> T: ...

    def or_empty(self, text: T) -> T: ...

    def field(self, text: T) -> T:
        """A text of the result as the reader's writer takes it (quoted, if it quotes nothing itself)."""
        ...


def output_row(fields: Sequence[T], is_valid: T, error: T, compact: T, formatted: T, texts: Texts[T]) -> list[T]:
    """The parts of an output row: the input row's fields, then the four results as text.

    "true" or "false"; the error code, empty for a valid value; the compact and
    the formatted text, empty for an invalid value.
    """
    return [*fields, texts.choose(is_valid, "true", "false"), texts.or_empty(error), texts.field(compact),
            texts.field(formatted)]


class PlainTexts:
    """One value's results, for the standard library's writer (which quotes)."""

    def choose(self, condition: Any, if_true: str, if_false: str) -> Any:
        return if_true if condition else if_false

    def or_empty(self, text: Any) -> Any:
        return text or ""

    def field(self, text: Any) -> Any:
        return text


PLAIN = PlainTexts()


class Tally:
    """Rows checked so far: how many, how many valid, and how many of each error code."""

    def __init__(self) -> None:
        self.rows = 0
        self.valid = 0
        self.errors: Counter[str] = Counter()

    def count(self, result: Mapping[str, object]) -> None:
        """Counts one row's result."""
        self.rows += 1
        if result["is_valid"]:
            self.valid += 1
        else:
            self.errors[str(result["error"])] += 1

    def add(self, rows: int, valid: int, errors: Mapping[str, int]) -> None:
        """Counts a block of rows."""
        self.rows += rows
        self.valid += valid
        self.errors.update(errors)

    def summary(self) -> str:
        """Rows, valid and invalid, then the count of each error code, most frequent first."""
        lines = [f"{self.rows} {'row' if self.rows == 1 else 'rows'}: {self.valid} valid, {self.rows - self.valid} invalid"]
        for code, count in sorted(self.errors.items(), key=lambda item: (-item[1], item[0])):
            lines.append(f"  {code}: {count}")
        return "\n".join(lines) + "\n"
