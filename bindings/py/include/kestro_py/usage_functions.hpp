// The functions that create a project and edit its usages:
// `do_init_py_local_file`, `do_add_py`, `do_add_usage_py`,
// `do_set_usage_constraint_py` and `do_remove_py`.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

namespace kestro::py {

PyMethodDef* init_py_local_file_method();
PyMethodDef* add_py_method();
PyMethodDef* add_usage_py_method();
PyMethodDef* set_usage_constraint_py_method();
PyMethodDef* remove_py_method();

}  // namespace kestro::py
