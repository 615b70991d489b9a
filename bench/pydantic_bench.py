"""Microseconds per model: four identifier fields validated by pydantic, four ways, side by side.

The same request body (an IBAN, an e-mail address, a card number and an ISBN)
goes through ``Model.model_validate`` for models whose fields are

* ``cobalis``: the types of ``cobalis.pydantic`` (IBAN, Email, CreditCard, ISBN);
* ``str``: plain ``str``, which checks nothing: the floor;
* ``hand-written``: ``str`` with an ``AfterValidator`` that calls
  ``cobalis.validate_<kind>`` and answers its compact form, the glue users
  write today;
* ``peers``: pydantic's ``EmailStr`` (email-validator) and pydantic-extra-types'
  ``IBAN``, ``PaymentCardNumber`` and ``ISBN``;
* ``after-validator floor``: ``str`` with an ``AfterValidator`` that calls a
  built-in doing nothing (``str.__str__``): what pydantic's call of any
  validator costs, the least a type of this design can cost.

Each body is one the peers take too (their ISBN and card types take digits
only). A second body in display form (spaces and hyphens in the card number
and ISBN) is timed for the first three. The models are timed in turn, round
after round, and each keeps its best round, so that all meet the same load;
the ratios are to the ``str`` model of the same run. Time is the process's
CPU time (``time.process_time``): on a machine shared with other work, wall
time would count their turns on the cores too.

    python bench/pydantic_bench.py [--rounds 15] [--calls 20000]
    (needs pydantic, email-validator and pydantic-extra-types: pip install ".[bench]")
"""

import argparse
import platform
import sys
import time
from typing import Annotated

import pydantic
from pydantic import AfterValidator, BaseModel, EmailStr
from pydantic_extra_types.iban import IBAN as PeerIBAN
from pydantic_extra_types.isbn import ISBN as PeerISBN
from pydantic_extra_types.payment import PaymentCardNumber

import cobalis
from cobalis.pydantic import IBAN, ISBN, CreditCard, Email

BODY = {
    "iban": "GB82 WEST 1234 5698 7654 32",
    "email": "info@example.com",
    "card": "378282246310005",
    "isbn": "9780306406157",
}
DISPLAY_BODY = {**BODY, "card": "3782 822463 10005", "isbn": "978-0-306-40615-7"}


class Cobalis(BaseModel):
    iban: IBAN
    email: Email
    card: CreditCard
    isbn: ISBN


class Plain(BaseModel):
    iban: str
    email: str
    card: str
    isbn: str


def compact(validate):
    def check(value: str) -> str:
        result = validate(value)
        if not result["is_valid"]:
            raise ValueError(result["error"])
        return result["compact"]

    return AfterValidator(check)


class HandWritten(BaseModel):
    iban: Annotated[str, compact(cobalis.validate_iban)]
    email: Annotated[str, compact(cobalis.validate_email)]
    card: Annotated[str, compact(cobalis.validate_credit_card)]
    isbn: Annotated[str, compact(cobalis.validate_isbn)]


Nothing = Annotated[str, AfterValidator(str.__str__)]


class Floor(BaseModel):
    iban: Nothing
    email: Nothing
    card: Nothing
    isbn: Nothing


class Peers(BaseModel):
    iban: PeerIBAN
    email: EmailStr
    card: PaymentCardNumber
    isbn: PeerISBN


def per_call(model, body, calls):
    validate = model.model_validate
    start = time.process_time()
    for _ in range(calls):
        validate(body)
    return (time.process_time() - start) / calls


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--calls", type=int, default=20000)
    args = parser.parse_args()

    runs = [
        ("cobalis", Cobalis, BODY),
        ("str", Plain, BODY),
        ("hand-written", HandWritten, BODY),
        ("peers", Peers, BODY),
        ("after-validator floor", Floor, BODY),
        ("cobalis, display form", Cobalis, DISPLAY_BODY),
        ("str, display form", Plain, DISPLAY_BODY),
        ("hand-written, display form", HandWritten, DISPLAY_BODY),
    ]
    for _, model, body in runs:  # every model takes its body, and they agree where they should
        model.model_validate(body)
    assert Cobalis.model_validate(DISPLAY_BODY) == Cobalis.model_validate(BODY)
    assert Cobalis.model_validate(BODY).model_dump() == HandWritten.model_validate(BODY).model_dump()

    best = {name: float("inf") for name, _, _ in runs}
    for _ in range(args.rounds):
        for name, model, body in runs:
            # The peers take about thirty times as long: fewer calls keep the rounds even.
            calls = args.calls // 20 if name == "peers" else args.calls
            best[name] = min(best[name], per_call(model, body, calls))

    print(f"Python {platform.python_version()}, pydantic {pydantic.VERSION}, {platform.machine()}, "
          f"best of {args.rounds} rounds of {args.calls} calls")
    print()
    print("| model | µs per call | / str | peers / this |")
    print("|---|---:|---:|---:|")
    for name, _, _ in runs:
        floor = best["str, display form" if "display" in name else "str"]
        print(f"| {name} | {best[name] * 1e6:.2f} | {best[name] / floor:.2f}x | {best['peers'] / best[name]:.1f}x |")


if __name__ == "__main__":
    sys.exit(main())
