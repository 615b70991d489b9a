"""Where `check` writes its rows: standard output, or a file replaced only once complete."""

import os
import sys
import tempfile
from collections.abc import Iterator
from contextlib import contextmanager
from typing import TextIO

from cobalis._check.errors import UsageError


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
