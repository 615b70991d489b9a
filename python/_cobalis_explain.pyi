"""Where an invalid identifier breaks, and its valid neighbours one slip away."""

from collections.abc import Callable, Mapping
from typing import Any

class Explainer:
    def __init__(
        self, messages: Mapping[str, Mapping[str, str]], columns: Callable[[str, Any, bool], Any]
    ) -> None: ...
    def explain(self, kind: str, text: Any, *, strict: bool = False) -> Any: ...

def suggest(kind: str, text: str, strict: bool = False, limit: int = 5, /) -> list[str]: ...
