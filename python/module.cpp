// The _cobalis extension module: its function table. The calling
// convention all 28 functions share is in calling.hpp; the kinds and their
// entry points are in core/kinds.hpp.
#include <Python.h>

#include <array>
#include <string_view>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "core/kinds.hpp"
#include "python/calling.hpp"
#include "python/convert.hpp"
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

// The check-digit algorithms and the reference-data lookups.
constexpr std::array OTHER_FUNCTIONS{
    Function{"luhn_validate", "input", bool_body<algorithms::luhn::validate_str>},
    Function{"luhn_generate", "input", luhn_generate_body},
    Function{"verhoeff_validate", "input", bool_body<algorithms::verhoeff::validate_str>},
    Function{"damm_validate", "input", bool_body<algorithms::damm::validate_str>},
    Function{"get_country", "alpha2", lookup_body<get_country_body>},
    Function{"get_country_by_alpha3", "alpha3", lookup_body<get_country_by_alpha3_body>},
    Function{"get_currency", "code", lookup_body<get_currency_body>},
    Function{"get_vat_rate", "country", lookup_body<get_vat_rate_body>},
};

// In registration order, which is also the order of __all__: is_valid_<kind>
// and validate_<kind> for every kind, then the others.
constexpr std::array FUNCTIONS = joined(KindFunctions<false>::FUNCTIONS, OTHER_FUNCTIONS);

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
        return cobalis::python::create_module_once(cobalis::python::module_def, cobalis::python::methods.methods(),
                                                   cobalis::python::the_module);
    } catch (...) {
        return cobalis::python::raise_internal_fault("module initialisation failed");
    }
}
