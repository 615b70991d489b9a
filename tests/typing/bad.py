# Must fail `mypy --strict`, on exactly the lines whose trailing comment names
# the mypy error code expected there (tests/test_typing.py compares them).
import cobalis

result = cobalis.validate_iban("GB82 WEST 1234 5698 7654 32")
length: str = result["bban_length"]  # error: assignment
brand = cobalis.validate_iban("x")["brand"]  # error: typeddict-item
code: str = cobalis.validate_email("a@b.c")["error"]  # error: assignment
check: str = cobalis.luhn_generate("7992739871")  # error: assignment
valid: int = cobalis.validate_bic("ABCDGB2L")["branch"]  # error: assignment
currency = cobalis.get_currency("EUR")
name: str = currency["name"]  # error: index
if cobalis.validate_vat("DE123456789")["error"] == "invalid_checksum":  # error: comparison-overlap
    pass
cobalis.validate_lei(123)  # error: arg-type
if cobalis.strict.validate_bic("DEUTDEFF")["error"] == "invalid_checksum":  # error: comparison-overlap
    pass

from cobalis.pydantic import IBAN, Identifier  # noqa: E402
from pydantic import BaseModel  # noqa: E402


class Payment(BaseModel):
    iban: IBAN


marker = Identifier("leii")  # error: arg-type
number: int = Payment(iban="GB82 WEST 1234 5698 7654 32").iban  # error: assignment
explained = cobalis.explain("isnb", "0-306-40615-3")  # error: call-overload
where: str = cobalis.explain("isbn", "0-306-40615-3")["position"]  # error: assignment
