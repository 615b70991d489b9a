// The _cobalis_strict extension module: strict validation of the kinds that
// have national rules beyond their international ones (those core/kinds.hpp
// marks: IBAN, BIC, ISIN and VAT numbers), with the calling convention and
// result dictionaries of _cobalis. The package's `cobalis.strict` joins these to the functions of
// the other kinds, which have nothing to add.
#include <Python.h>

#include <array>

#include "python/calling.hpp"
#include "python/convert.hpp"

namespace cobalis::python {
namespace {

// In the order of the kinds in _cobalis.
MethodTable<KindFunctions<true>::FUNCTIONS> methods;

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
        return cobalis::python::create_module_once(cobalis::python::module_def, cobalis::python::methods.methods(),
                                                   cobalis::python::the_module);
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
