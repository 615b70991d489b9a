"""Writes the real identifiers of python-stdnum's test files into the files beside this one.

python-stdnum's doctests hold lists of numbers found in the wild (and mangled copies of them). Run
this once per stdnum release with the path of an unpacked source distribution:

    pip download --no-deps --no-binary :all: python-stdnum==2.2 && tar xzf python_stdnum-2.2.tar.gz
    python tests/data/extract_stdnum_examples.py python_stdnum-2.2

Each output file names its source in a comment at its top.
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent

# (output file, doctest file, text of the paragraph before the block, what the block holds)
BLOCKS = [
    ("stdnum_vat_valid.txt", "test_eu_vat.doctest", "These have been found online and should all be valid numbers.",
     "real VAT numbers, all valid"),
    ("stdnum_vat_bad_check.txt", "test_eu_vat.doctest", "so their check digit is wrong.",
     "real VAT numbers mangled so that their check digit is wrong"),
    ("stdnum_iban_valid.txt", "test_iban.doctest", "numbers:",
     "the sample IBANs of the IBAN registry, all valid"),
    ("stdnum_iban_bad_check.txt", "test_iban.doctest", "These all have broken checksums or are mangled:",
     "IBANs with broken check digits"),
    ("stdnum_iban_bad_layout.txt", "test_iban.doctest", "or have an unknown country code:",
     "IBANs with letters where digits belong (or the reverse), or an unknown country"),
    ("stdnum_iban_bad_national_check.txt", "test_iban.doctest", "to the country-specific validation.",
     "IBANs whose MOD 97-10 check passes but whose national check digits are wrong"),
    ("stdnum_bic_valid.txt", "test_bic.doctest", "These have been found online and should all be valid numbers.",
     "real BICs, all valid"),
    ("stdnum_isin_valid.txt", "test_isin.doctest", "These have been found online and should all be valid numbers.",
     "real ISINs, all valid"),
]


def block_after(lines, marker):
    """The numbers of the first ``numbers = '''`` block after the line ending with ``marker``."""
    start = next(i for i, line in enumerate(lines) if line.rstrip().endswith(marker))
    begin = next(i for i in range(start, len(lines)) if lines[i].startswith(">>> numbers = '''"))
    numbers = []
    for line in lines[begin + 1:]:
        if line.startswith("... '''"):
            return numbers
        text = line[len("..."):].strip()
        if text:
            numbers.append(text)
    raise ValueError(f"unterminated block after {marker!r}")


def main(source):
    tests = pathlib.Path(source) / "tests"
    version = pathlib.Path(source).name
    for output, doctest, marker, what in BLOCKS:
        numbers = block_after((tests / doctest).read_text(encoding="utf-8").splitlines(), marker)
        header = f"# {what}: {len(numbers)} lines from tests/{doctest} of {version}\n"
        (HERE / output).write_text(header + "\n".join(numbers) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main(sys.argv[1])
