"""One small module per column library, loaded only once a column of that
library is passed to ``cobalis.is_valid`` or ``cobalis.validate``.

Each has ``answer(operation, kind, values, strict, threads)``: the answer in
the library's own type, or ``NotImplemented`` for an object it leaves to the
extension (which reads any Arrow column, and any iterable).
"""
