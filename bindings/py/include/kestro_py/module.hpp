// The package manager's Python module body. `_kestro_core` runs it from its
// exec slot; `_plovik_ext` runs it on its `project` submodule.
#pragma once

#include <Python.h>

namespace kestro::py {

// Adds the package manager's functions and constants to `module`.
// Returns 0, or -1 with a Python exception set.
int fill_kestro_module(PyObject* module);

}  // namespace kestro::py
