// The kernel level as the extension modules see it. Each module's initialiser
// asks `kernel_level_usable` first, so that a COBALIS_KERNELS the kernels
// cannot obey stops the import with the core's line rather than running on
// another level than the one asked for; `add_kernel_level` gives a module
// the level in force as its KERNELS attribute ("scalar", "ssse3" or "avx2").
//
// Header-only, so that every module that includes it has it.
#pragma once

#include <Python.h>

#include "core/kernels/dispatch.hpp"

namespace cobalis::python {

// False, with an ImportError set, when COBALIS_KERNELS was refused.
inline bool kernel_level_usable() noexcept {
    const char* const problem = kernels::level_problem();
    if (problem == nullptr) return true;
    PyErr_SetString(PyExc_ImportError, problem);
    return false;
}

// False, with an exception set, when the attribute could not be added.
inline bool add_kernel_level(PyObject* module) noexcept {
    return PyModule_AddStringConstant(module, "KERNELS", kernels::level_name(kernels::chosen_level())) == 0;
}

}  // namespace cobalis::python
