"""Hypothesis strategy shared by the identifier tests: valid ids with one slip of the pen."""
from hypothesis import strategies as st

OPERATIONS = ("replace", "insert", "delete", "swap")


def mutations(ids, alphabet):
    """Strings from `ids` with one character replaced, inserted, deleted, or swapped with its neighbour."""

    @st.composite
    def mutated(draw):
        s = draw(ids)
        i = draw(st.integers(0, len(s) - 1))
        c = draw(st.sampled_from(alphabet))
        op = draw(st.sampled_from(OPERATIONS))
        if op == "replace":
            return s[:i] + c + s[i + 1:]
        if op == "insert":
            return s[:i] + c + s[i:]
        if op == "delete":
            return s[:i] + s[i + 1:]
        if i + 1 == len(s):
            return s
        return s[:i] + s[i + 1] + s[i] + s[i + 2:]

    return mutated()
