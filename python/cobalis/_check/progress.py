"""The "N rows checked" line `check` keeps up to date on a terminal."""

import sys
import time
from types import TracebackType

# How often (in rows, then in seconds) the line is refreshed.
PROGRESS_ROWS = 4096
PROGRESS_SECONDS = 0.25


class Progress:
    """A self-overwriting "N rows" line on standard error, only when it is a terminal.

    As a context manager, it clears the line at the end.
    """

    def __init__(self) -> None:
        self.enabled = sys.stderr.isatty()
        self.shown = False
        self.next_time = time.monotonic() + PROGRESS_SECONDS

    def __enter__(self) -> "Progress":
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None, trace: TracebackType | None) -> None:
        self.clear()

    def update(self, rows: int) -> None:
        """After each row: shows the count now and then."""
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
