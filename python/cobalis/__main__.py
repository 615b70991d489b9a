"""``python -m cobalis``: the same command line as the ``cobalis`` script."""

from cobalis.cli import main

if __name__ == "__main__":
    raise SystemExit(main())
