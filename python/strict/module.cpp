// The _cobalis_strict extension module: strict validation of the kinds that
// have national rules beyond their international ones (IBAN, BIC, ISIN and
// VAT numbers), with the calling convention and result dictionaries of
// _cobalis. The package's `cobalis.strict` joins these to the functions of
// the other kinds, which have nothing to add.
#include <Python.h>

#include <array>

#include "core/validators/bic.hpp"
#include "core/validators/iban.hpp"
#include "core/validators/isin.hpp"
#include "core/validators/vat/vat.hpp"
#include "python/calling.hpp"
#include "python/convert.hpp"
#include "python/kernel_level.hpp"

namespace cobalis::python {
namespace {

namespace v = validators;

// In the order of the kinds in _cobalis.
constexpr std::array FUNCTIONS{
    Function{"is_valid_iban", "input", bool_body<v::iban::is_valid_strict>},
    Function{"validate_iban", "input", validate_body<v::iban::validate_strict, Kind::iban>},
    Function{"is_valid_bic", "input", bool_body<v::bic::is_valid_strict>},
    Function{"validate_bic", "input", validate_body<v::bic::validate_strict, Kind::bic>},
    Function{"is_valid_isin", "input", bool_body<v::isin::is_valid_strict>},
    Function{"validate_isin", "input", validate_body<v::isin::validate_strict, Kind::isin>},
    Function{"is_valid_vat", "input", bool_body<v::vat::is_valid_strict>},
    Function{"validate_vat", "input", validate_body<v::vat::validate_strict, Kind::vat>},
};

MethodTable<FUNCTIONS> methods;

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_cobalis_strict",
    "",
    0,
    nullptr,  // functions are added by the initialiser, in table order
    nullptr, nullptr, nullptr, nullptr,
};

PyObject* the_module = nullptr;

}  // namespace
}  // namespace cobalis::python

PyMODINIT_FUNC PyInit__cobalis_strict(void) {
    try {
        if (!cobalis::python::kernel_level_usable()) return nullptr;
        return cobalis::python::create_module_once(cobalis::python::module_def, cobalis::python::methods.methods(),
                                                   cobalis::python::the_module);
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
