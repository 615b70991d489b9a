"""The one error the command line reports as a line of text, with exit status 2."""


class UsageError(Exception):
    """Input the command cannot work with; reported as one line, exit status 2."""
