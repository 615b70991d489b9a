"""One run of `cobalis check`: read the header, then blocks of rows while they
can be taken (with pyarrow), then the rest row by row; write every row with
its four results; count them."""

import codecs
import csv
import functools
from contextlib import ExitStack
from types import ModuleType
from typing import BinaryIO, TextIO, cast

from cobalis._batch import core
from cobalis._check.errors import UsageError
from cobalis._check.lines import Utf8Lines
from cobalis._check.output import output_target, writing
from cobalis._check.progress import Progress
import cobalis
from cobalis._check.rows import (
    CHECK_COLUMNS,
    EXPLAIN_COLUMNS,
    PLAIN,
    Layout,
    Tally,
    csv_rows,
    data_rows,
    output_row,
    validator,
)
from cobalis._types import Kind


def arrow_blocks() -> ModuleType | None:
    """The block reader, when pyarrow is installed."""
    try:
        from cobalis._check import blocks
    except ImportError:
        return None
    return blocks


def check_file(
    path: str, column: str, kind: str, *, strict: bool = False, output: str | None = None, prefix: str = "",
    explain: bool = False,
) -> Tally:
    """Checks the column `column` of the CSV file `path`; the rows go to `output` (None or "-": standard output).

    The appended columns are named `prefix` followed by the names in CHECK_COLUMNS, and with `explain` those in
    EXPLAIN_COLUMNS (whose rows are read one at a time).
    """
    validate = validator(kind, strict)
    target = output_target(output)
    with ExitStack() as stack:
        try:
            stream = stack.enter_context(open(path, "rb"))
        except OSError as error:
            raise UsageError(f"cannot read {path}: {error.strerror}") from None
        lines = Utf8Lines(stream, path)
        rows = csv_rows(lines)
        header = next(rows, None)
        if header is None:
            raise UsageError(f"{path} is empty: there is no header row")
        appended = [prefix + name for name in CHECK_COLUMNS + (EXPLAIN_COLUMNS if explain else ())]
        layout = Layout(len(header), column_index(path, header, column, appended), lines.terminator)
        out = stack.enter_context(writing(target))
        progress = stack.enter_context(Progress())
        tally = Tally()
        writer = csv.writer(out, lineterminator=layout.terminator)
        writer.writerow([*header, *appended])
        blocks, binary = arrow_blocks(), utf8_bytes(out)
        if blocks is not None and binary is not None and stream.seekable() and not explain:
            offset, line = lines.offset, lines.line
            check_column = functools.partial(core("validate"), kind, strict=strict)
            for block in blocks.checked_blocks(stream, offset, layout, check_column):
                out.flush()  # what went through `out` (the header) goes first
                binary.write(block.text)
                tally.add(block.rows, block.valid, block.errors)
                progress.show(tally.rows)
                offset, line = offset + block.size, line + block.lines
            lines.resume(stream, offset, line)  # the rows go on where the blocks stopped
        for row in data_rows(rows, layout.width, lines):
            value = row[layout.column]
            result = validate(value)
            written = output_row(row, result["is_valid"], result["error"], result["compact"], result["formatted"],
                                 PLAIN)
            if explain and result["is_valid"]:
                written += ["", "", ""]  # a valid value has nothing to explain and no suggestion
            elif explain:
                explained = cobalis.explain(cast(Kind, kind), value, strict=strict)
                position = explained["position"]
                suggestions = cobalis.suggest(cast(Kind, kind), value, strict=strict)
                written += ["" if position is None else str(position), explained["expected"] or "",
                            " ".join(suggestions)]
            writer.writerow(written)
            tally.count(result)
            progress.update(tally.rows)
    return tally


def column_index(path: str, header: list[str], column: str, appended: list[str]) -> int:
    """Where `column` is in `header`, once; refuses a header the appended columns would repeat."""
    places = [place for place, name in enumerate(header, 1) if name == column]
    if not places:
        names = ", ".join(repr(name) for name in header)
        raise UsageError(f"{path} has no column {column!r}; its header is: {names}")
    if len(places) > 1:
        raise UsageError(f"{path} has {len(places)} columns named {column!r} (columns "
                         f"{', '.join(map(str, places))}); the column to check must be named once")
    repeated = [name for name in appended if name in header]
    if repeated:
        names = ", ".join(repr(name) for name in repeated)
        raise UsageError(f"{path} already has the column{'s' if len(repeated) > 1 else ''} {names} that the "
                         "results would add; name the results apart with --prefix")
    return places[0] - 1


def utf8_bytes(out: TextIO) -> BinaryIO | None:
    """The binary stream under `out`, when `out` writes UTF-8 to it: blocks are written there as bytes."""
    binary: BinaryIO | None = getattr(out, "buffer", None)
    if binary is None or codecs.lookup(getattr(out, "encoding", "") or "ascii").name != "utf-8":
        return None
    return binary
