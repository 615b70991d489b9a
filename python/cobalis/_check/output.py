"""Where `check` writes its rows.

Standard output (no path, or "-"); a file that is not a regular file (a FIFO,
/dev/stdout) written as it is; a regular file, or a new one, replaced only
once complete, through symbolic links (the link stays, its target is
replaced). A directory is refused before anything is read.
"""

import os
import stat
import sys
import tempfile
from collections.abc import Iterator
from contextlib import contextmanager
from typing import NamedTuple, TextIO

from cobalis._check.errors import UsageError


class Target(NamedTuple):
    """Where the rows go: `path` None for standard output; `replace` for a file made whole beside it."""

    name: str  # as given, for messages
    path: str | None
    replace: bool


def output_target(name: str | None) -> Target:
    """Where the rows named `name` on the command line go; refuses a directory."""
    if name is None or name == "-":
        return Target("standard output", None, False)
    try:
        mode: int | None = os.stat(name).st_mode  # through symbolic links
    except OSError:
        mode = None  # a new file, or an error reported when it is made
    if mode is not None and stat.S_ISDIR(mode):
        raise UsageError(f"cannot write {name}: it is a directory")
    if mode is not None and not stat.S_ISREG(mode):
        return Target(name, name, False)  # a FIFO, a terminal, /dev/stdout: written as it is
    # A link's target is what gets replaced, beside it, keeping the link.
    return Target(name, os.path.realpath(name), True)


def new_file_mode(path: str) -> int:
    """The permissions the output gets: those of the file it replaces, else the umask's."""
    try:
        return os.stat(path).st_mode & 0o7777
    except OSError:
        umask = os.umask(0)
        os.umask(umask)
        return 0o666 & ~umask


@contextmanager
def writing(target: Target) -> Iterator[TextIO]:
    """A UTF-8 text stream for the rows of `target`."""
    if target.path is None:
        yield sys.stdout
    elif target.replace:
        with replacing(target) as out:
            yield out
    else:
        try:
            out = open(target.path, "w", encoding="utf-8", newline="")
        except OSError as error:
            raise UsageError(f"cannot write {target.name}: {error.strerror}") from None
        with out:
            yield out


@contextmanager
def replacing(target: Target) -> Iterator[TextIO]:
    """A file that appears at the target's path only once complete.

    The rows go to a temporary file beside it, renamed over it when the block
    ends normally and removed when it raises.
    """
    assert target.path is not None
    directory, base = os.path.split(target.path)
    try:
        handle, temporary = tempfile.mkstemp(dir=directory, prefix=f".{base}.", suffix=".tmp")
    except OSError as error:
        raise UsageError(f"cannot write {target.name}: {error.strerror}") from None
    try:
        with open(handle, "w", encoding="utf-8", newline="") as out:
            yield out
        os.chmod(temporary, new_file_mode(target.path))
        os.replace(temporary, target.path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise
