// The package manager's Python module body. `_kestro_core` runs it from its
// exec slot; `_plovik_ext` runs it on its `project` submodule.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

namespace kestro::py {

// Adds the package manager's functions, then `DEFAULT_ENV_NAME`, to `module`.
// Returns 0, or -1 with a Python exception set; what was added before a
// failure stays.
int fill_kestro_module(PyObject* module);

// Appends `name` to the module's `__all__` (made as an empty list when
// missing; anything but a list fails with TypeError), then sets the
// attribute. Returns 0, or -1 with a Python exception set.
int add_to_module(PyObject* module, PyObject* name, PyObject* value);

}  // namespace kestro::py
