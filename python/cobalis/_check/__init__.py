"""`cobalis check`: one column of a CSV file validated, every row written back
with four result columns appended.

The modules, each importing only those listed before it:

- ``errors``: the error reported as one line with exit status 2;
- ``lines``: the input decoded as UTF-8 line by line, naming a bad line;
- ``rows``: the validator, the data rows, the output row and the tally;
- ``output``: where the rows go, a file replaced only once complete;
- ``progress``: the progress line on a terminal;
- ``blocks``: many rows at a time with pyarrow, to the same bytes;
- ``run``: the whole run, blocks while they can be taken, then row by row.
"""
