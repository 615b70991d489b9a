"""Text read line by line from bytes, as UTF-8, naming the line of a bad byte."""

from collections.abc import Iterable, Iterator
from typing import BinaryIO

from cobalis._check.errors import UsageError


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
