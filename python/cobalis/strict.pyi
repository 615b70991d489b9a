# Type information for cobalis.strict, whose functions are taken from the
# extension modules when it is imported: the kinds with national rules from
# _cobalis_strict, the others from _cobalis.

from _cobalis import is_valid_credit_card as is_valid_credit_card
from _cobalis import is_valid_ean as is_valid_ean
from _cobalis import is_valid_email as is_valid_email
from _cobalis import is_valid_isbn as is_valid_isbn
from _cobalis import is_valid_issn as is_valid_issn
from _cobalis import validate_credit_card as validate_credit_card
from _cobalis import validate_ean as validate_ean
from _cobalis import validate_email as validate_email
from _cobalis import validate_isbn as validate_isbn
from _cobalis import validate_issn as validate_issn
from _cobalis_strict import is_valid_bic as is_valid_bic
from _cobalis_strict import is_valid_iban as is_valid_iban
from _cobalis_strict import is_valid_isin as is_valid_isin
from _cobalis_strict import is_valid_lei as is_valid_lei
from _cobalis_strict import is_valid_vat as is_valid_vat
from _cobalis_strict import validate_bic as validate_bic
from _cobalis_strict import validate_iban as validate_iban
from _cobalis_strict import validate_isin as validate_isin
from _cobalis_strict import validate_lei as validate_lei
from _cobalis_strict import validate_vat as validate_vat

__all__ = [
    "is_valid_iban",
    "validate_iban",
    "is_valid_bic",
    "validate_bic",
    "is_valid_credit_card",
    "validate_credit_card",
    "is_valid_isbn",
    "validate_isbn",
    "is_valid_issn",
    "validate_issn",
    "is_valid_isin",
    "validate_isin",
    "is_valid_lei",
    "validate_lei",
    "is_valid_ean",
    "validate_ean",
    "is_valid_vat",
    "validate_vat",
    "is_valid_email",
    "validate_email",
]
