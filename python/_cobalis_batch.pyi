# Type information for the _cobalis_batch extension module: whole columns
# checked in one call. The documented entry points are cobalis.is_valid and
# cobalis.validate (cobalis/_batch.py), which answer in the column's own type;
# these answer an Arrow column with a BatchResult and an iterable with a list.

from collections.abc import Callable, Iterable
from typing import final, overload

from cobalis._batch import ArrowColumn, BatchRow

@final
class BatchResult:
    """An Arrow column of answers, exported through the Arrow PyCapsule interface."""

    def __arrow_c_schema__(self) -> object: ...
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...
    def __len__(self) -> int: ...

@final
class Compact:
    """One kind's validator for frameworks that call one per value (cobalis.pydantic).

    Called with a str, it answers the compact form of a valid identifier; for an
    invalid one it raises the exception that ``error(kind, code)`` returns.
    """

    def __new__(cls, kind: str, error: Callable[[str, str], BaseException], *, strict: bool = False) -> Compact: ...
    def __call__(self, text: str, /) -> str: ...
    def compact(self, text: str, /) -> str: ...
    def formatted(self, text: str, /) -> str: ...
    @property
    def kind(self) -> str: ...
    @property
    def strict(self) -> bool: ...

IS_VALID_KINDS: tuple[str, ...]
VALIDATE_KINDS: tuple[str, ...]
# Per identifier kind: its name, its result's detail keys in their order, and
# whether strict validation adds national rules.
KINDS: tuple[tuple[str, tuple[str, ...], bool], ...]
KERNELS: str  # the kernel level in force: "scalar", "ssse3" or "avx2"

@overload
def is_valid(kind: str, values: ArrowColumn, *, strict: bool = False, threads: int | None = None) -> BatchResult: ...
@overload
def is_valid(
    kind: str, values: Iterable[str | None], *, strict: bool = False, threads: int | None = None
) -> list[bool | None]: ...
@overload
def validate(kind: str, values: ArrowColumn, *, strict: bool = False, threads: int | None = None) -> BatchResult: ...
@overload
def validate(
    kind: str, values: Iterable[str | None], *, strict: bool = False, threads: int | None = None
) -> list[BatchRow | None]: ...
def _outstanding() -> int: ...
def _last_call() -> dict[str, float]: ...
