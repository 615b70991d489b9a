// The _cobalis extension module: its function table. The calling
// convention all 28 functions share is in calling.hpp.
#include <Python.h>

#include <array>
#include <string_view>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "core/validators/bic.hpp"
#include "core/validators/credit_card.hpp"
#include "core/validators/ean.hpp"
#include "core/validators/email.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/isbn.hpp"
#include "core/validators/isin.hpp"
#include "core/validators/issn.hpp"
#include "core/validators/lei.hpp"
#include "core/validators/vat/vat.hpp"
#include "python/calling.hpp"
#include "python/convert.hpp"
#include "python/kernel_level.hpp"
#include "python/lookups.hpp"

namespace cobalis::python {
namespace {

PyObject* luhn_generate_body(PyObject*, std::string_view text) noexcept {
    return PyLong_FromLong(algorithms::luhn::generate_str(text));
}

template <PyObject* (*lookup)(std::string_view) noexcept>
PyObject* lookup_body(PyObject*, std::string_view text) noexcept {
    return lookup(text);
}

// In registration order, which is also the order of __all__.
constexpr std::array FUNCTIONS{
    Function{"is_valid_iban", "input", bool_body<validators::iban::is_valid>},
    Function{"validate_iban", "input", validate_body<validators::iban::validate, Kind::iban>},
    Function{"is_valid_bic", "input", bool_body<validators::bic::is_valid>},
    Function{"validate_bic", "input", validate_body<validators::bic::validate, Kind::bic>},
    Function{"is_valid_credit_card", "input", bool_body<validators::credit_card::is_valid>},
    Function{"validate_credit_card", "input", validate_body<validators::credit_card::validate, Kind::credit_card>},
    Function{"is_valid_isbn", "input", bool_body<validators::isbn::is_valid>},
    Function{"validate_isbn", "input", validate_body<validators::isbn::validate, Kind::isbn>},
    Function{"is_valid_issn", "input", bool_body<validators::issn::is_valid>},
    Function{"validate_issn", "input", validate_body<validators::issn::validate, Kind::issn>},
    Function{"is_valid_isin", "input", bool_body<validators::isin::is_valid>},
    Function{"validate_isin", "input", validate_body<validators::isin::validate, Kind::isin>},
    Function{"is_valid_lei", "input", bool_body<validators::lei::is_valid>},
    Function{"validate_lei", "input", validate_body<validators::lei::validate, Kind::lei>},
    Function{"is_valid_ean", "input", bool_body<validators::ean::is_valid>},
    Function{"validate_ean", "input", validate_body<validators::ean::validate, Kind::ean>},
    Function{"is_valid_vat", "input", bool_body<validators::vat::is_valid>},
    Function{"validate_vat", "input", validate_body<validators::vat::validate, Kind::vat>},
    Function{"is_valid_email", "input", bool_body<validators::email::is_valid>},
    Function{"validate_email", "input", validate_body<validators::email::validate, Kind::email>},
    Function{"luhn_validate", "input", bool_body<algorithms::luhn::validate_str>},
    Function{"luhn_generate", "input", luhn_generate_body},
    Function{"verhoeff_validate", "input", bool_body<algorithms::verhoeff::validate_str>},
    Function{"damm_validate", "input", bool_body<algorithms::damm::validate_str>},
    Function{"get_country", "alpha2", lookup_body<get_country_body>},
    Function{"get_country_by_alpha3", "alpha3", lookup_body<get_country_by_alpha3_body>},
    Function{"get_currency", "code", lookup_body<get_currency_body>},
    Function{"get_vat_rate", "country", lookup_body<get_vat_rate_body>},
};

MethodTable<FUNCTIONS> methods;

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_cobalis",
    "",       // __doc__ is the empty string
    0,        // no per-module state
    nullptr,  // functions are added by the initialiser, in table order
    nullptr, nullptr, nullptr, nullptr,
};

// The module once made. A second initialisation (a re-import, or another
// interpreter) is refused rather than handing out a second module.
PyObject* the_module = nullptr;

}  // namespace
}  // namespace cobalis::python

PyMODINIT_FUNC PyInit__cobalis(void) {
    try {
        if (!cobalis::python::kernel_level_usable()) return nullptr;
        return cobalis::python::create_module_once(cobalis::python::module_def, cobalis::python::methods.methods(),
                                                   cobalis::python::the_module);
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
