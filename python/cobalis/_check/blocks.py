"""`cobalis check`, a block of rows at a time, with pyarrow.

The row reader reads, validates and writes one row at a time with the
standard library. Here pyarrow parses blocks of several megabytes of the file
on its threads, ``cobalis.validate`` checks each block's column on every core,
and pyarrow's string kernels write the rows back, to the same bytes.

A block is taken only when writing its fields back as the standard library's
CSV writer would (quoting a field only when it holds a comma, a quote or a
line break) gives back the block itself: then the standard library's reader
would have read the same fields from it, so the output cannot differ. Blocks
that the standard library reads some other way (blank lines, short or long
rows, needless quotes, text that is not UTF-8, a stray carriage return) are
left to it: the blocks stop before the first such block, and the rows go on
one by one from there, with their own messages for whatever is wrong.
"""

from __future__ import annotations

import csv
import functools
import re
from collections.abc import Callable, Iterator
from typing import Any, BinaryIO, NamedTuple

import pyarrow as pa  # type: ignore[import-untyped]
import pyarrow.compute as pc  # type: ignore[import-untyped]
import pyarrow.csv as pa_csv  # type: ignore[import-untyped]

from cobalis._check.rows import Layout, output_row

#: Bytes read at a time; a row longer than this makes the block longer.
BLOCK_BYTES = 8 << 20
# What makes the standard library's writer quote a field.
NEEDS_QUOTES = (b",", b'"', b"\r", b"\n")

#: Validates a column of text: a struct of is_valid, error, compact, formatted per row.
ColumnCheck = Callable[[Any], Any]


class Block(NamedTuple):
    """One block checked: its output, its counts, and how far into the input it reaches."""

    text: pa.Buffer
    rows: int
    valid: int
    errors: dict[str, int]
    size: int  # bytes of input
    lines: int  # line feeds in them


def checked_blocks(stream: BinaryIO, start: int, layout: Layout, check_column: ColumnCheck) -> Iterator[Block]:
    """The blocks of rows from byte `start` of `stream` (the start of a row), until one is not for us."""
    stream.seek(start)
    pending = b""
    while True:
        more = stream.read(BLOCK_BYTES)
        block = pending + more
        if not more:
            done = rewrite(block, layout, check_column) if block else None
            if done is not None:
                yield done
            return
        cut = row_end(block)
        done = rewrite(block[:cut], layout, check_column) if cut else None
        if done is None:
            # Counting quotes misleads on a quote inside an unquoted field (12" pizza); the
            # exact row end, within BLOCK_BYTES when there is one, keeps blocks their usual size.
            exact = csv_row_end(block[:BLOCK_BYTES]) or csv_row_end(block)
            if exact != cut:
                cut = exact
                done = rewrite(block[:cut], layout, check_column) if cut else None
        if done is None and cut:
            return
        if done is not None:
            yield done
        pending = block[cut:]


def row_end(block: bytes) -> int:
    """Just past the last line feed of `block` that is outside quotes, counting quotes (0 if none is found).

    The block starts at the start of a row, so a line feed ends a row when an
    even number of quotes comes before it (a quote inside a quoted field is
    written twice), unless a field that is not quoted holds a quote. Only the
    last ROW_END_SEARCH bytes are searched: a row end is normally near.
    """
    quotes = block.count(b'"')
    end = len(block)
    while (feed := block.rfind(b"\n", 0, end)) >= 0 and len(block) - feed <= ROW_END_SEARCH:
        quotes -= block.count(b'"', feed, end)
        if quotes % 2 == 0:
            return feed + 1
        end = feed
    return 0


#: How far from its end `row_end` looks for the end of a row.
ROW_END_SEARCH = 1 << 20

# A quoted field as the standard library's reader reads one, from its opening
# quote: two quotes stand for one, and it may run to the end of the block.
QUOTED_FIELD = re.compile(rb'"[^"]*(?:""[^"]*)*(?:"|\Z)')


def csv_row_end(block: bytes) -> int:
    """Just past the last line feed of `block` outside quoted fields (0 if none), by the reader's rules.

    A quote opens a quoted field only at the start of a field; anywhere else
    it is an ordinary character.
    """
    fields = []  # (start, end) of each quoted field
    at = 0
    while (field := QUOTED_FIELD.search(block, at)) is not None:
        start = field.start()
        if start == 0 or block[start - 1] in b",\n":
            fields.append(field.span())
            at = field.end()
        else:
            at = start + 1  # a quote inside an unquoted field
    feed = block.rfind(b"\n")
    while feed >= 0:
        while fields and fields[-1][0] > feed:
            fields.pop()
        if not fields or fields[-1][1] <= feed:
            return feed + 1
        feed = block.rfind(b"\n", 0, fields[-1][0])
    return 0


class ArrowTexts:
    """A column's results, for a writer that joins fields as they are."""

    def choose(self, condition: Any, if_true: str, if_false: str) -> Any:
        return pc.if_else(condition, if_true, if_false)

    def or_empty(self, text: Any) -> Any:
        return text.fill_null("")

    def field(self, text: Any) -> Any:
        return quoted(text)


ARROW = ArrowTexts()


def rewrite(block: bytes, layout: Layout, check_column: ColumnCheck) -> Block | None:
    """The block's rows written back with the four results, or None when the block is not for us."""
    if b"\0" in block or (b"\r" in block and block.count(b"\r") != block.count(b"\r\n")):
        return None
    width, terminator = layout.width, layout.terminator
    names = [str(i) for i in range(width)]
    try:
        table = pa_csv.read_csv(
            pa.py_buffer(block),
            read_options=pa_csv.ReadOptions(column_names=names),
            parse_options=pa_csv.ParseOptions(newlines_in_values=True, ignore_empty_lines=False),
            convert_options=pa_csv.ConvertOptions(
                column_types={name: pa.string() for name in names},
                strings_can_be_null=False,
                quoted_strings_can_be_null=False,
            ),
        )
    except (pa.ArrowInvalid, pa.ArrowTypeError):
        return None
    if width == 1 and pc.any(pc.equal(table.column(0), "")).as_py():
        return None  # a lone empty field is a blank line to the standard library, skipped
    # Without a quote in the block no field holds a comma or a line break either.
    columns = [table.column(i) for i in range(width)]
    fields = pc.binary_join_element_wise(*(map(quoted, columns) if b'"' in block else columns), ",")
    expected = pa.py_buffer(block if block.endswith(b"\n") else block + terminator.encode())
    written = pc.binary_join_element_wise(fields, terminator, "")
    if not text_of(written).equals(expected):
        # A field the writer quotes may stand unquoted in the file (12" pizza): row by row, either form will do.
        if b'"' not in block:
            return None
        read = pc.binary_join_element_wise(
            pc.binary_join_element_wise(*(quoted(column, reading=True) for column in columns), ","), terminator, ""
        )
        if not rows_are_either(expected, written, read):
            return None
    if (pc.max(pc.binary_length(fields)).as_py() or 0) > csv.field_size_limit():
        return None  # the standard library refuses a field that long (and this row is longer still)
    results = pa.chunked_array(check_column(table.column(layout.column))).combine_chunks()
    is_valid, error, compact, formatted = (results.field(i) for i in range(4))
    row = pc.binary_join_element_wise(*output_row([fields], is_valid, error, compact, formatted, ARROW), ",")
    counts = pc.value_counts(error.drop_null())
    return Block(
        text_of(pc.binary_join_element_wise(row, terminator, "")),
        len(table),
        pc.sum(is_valid).as_py() or 0,
        dict(zip(counts.field("values").to_pylist(), counts.field("counts").to_pylist())),
        len(block),
        block.count(b"\n"),
    )


def quoted(column: Any, *, reading: bool = False) -> Any:
    """The column as the standard library's writer writes its fields.

    With `reading`, as its reader may find them instead: a quote that does not
    start a field is an ordinary character there, so a field that holds one but
    no comma or line break may stand unquoted.
    """
    chunks = column.chunks if isinstance(column, pa.ChunkedArray) else [column]
    texts = [text.to_pybytes() for chunk in chunks if len(chunk) and (text := chunk.buffers()[2]) is not None]
    marks = [mark.decode() for mark in NEEDS_QUOTES if any(mark in text for text in texts)]
    if not marks:
        return column
    tests = [pc.match_substring(column, mark) for mark in marks if not (reading and mark == '"')]
    if reading and '"' in marks:
        tests.append(pc.starts_with(column, '"'))
    needs = functools.reduce(pc.or_, tests)
    return pc.if_else(needs, pc.binary_join_element_wise('"', pc.replace_substring(column, '"', '""'), '"', ""), column)


def rows_are_either(expected: pa.Buffer, written: Any, read: Any) -> bool:
    """Whether each row of `expected` is the same row of `written` or of `read` (rows with their line ends).

    A row holds as many line feeds in either form, so the line feeds of
    `expected` tell where each of its rows ends.
    """
    written, read = (
        (rows.combine_chunks() if isinstance(rows, pa.ChunkedArray) else rows).cast(pa.large_string())
        for rows in (written, read)
    )
    feeds_per_row = pc.count_substring(written, "\n")
    data = pa.Array.from_buffers(pa.uint8(), expected.size, [None, expected])
    feeds = pc.indices_nonzero(pc.equal(data, ord("\n")))
    if len(written) == 0 or (pc.sum(feeds_per_row).as_py() or 0) != len(feeds):
        return False
    ends = pc.add(pc.take(feeds, pc.subtract(pc.cumulative_sum(feeds_per_row), 1)), 1).cast(pa.int64())
    offsets = pa.concat_arrays([pa.array([0], pa.int64()), ends])
    rows = pa.Array.from_buffers(pa.large_string(), len(written), [None, offsets.buffers()[1], expected])
    return bool(pc.all(pc.or_(pc.equal(rows, written), pc.equal(rows, read))).as_py())


def text_of(column: Any) -> pa.Buffer:
    """The texts of a string column laid end to end, without a copy where they already are."""
    array = column.combine_chunks() if isinstance(column, pa.ChunkedArray) else column
    if len(array) == 0:
        return pa.py_buffer(b"")
    size = 8 if pa.types.is_large_string(array.type) else 4
    offsets = array.buffers()[1]

    def offset(row: int) -> int:
        return int.from_bytes(offsets.slice((array.offset + row) * size, size).to_pybytes(), "little")

    first, last = offset(0), offset(len(array))
    return array.buffers()[2].slice(first, last - first)
