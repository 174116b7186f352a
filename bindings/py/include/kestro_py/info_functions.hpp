// The functions that describe a project: `do_info_py_path` reads one from a
// local directory.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

namespace kestro::py {

PyMethodDef* info_py_path_method();

}  // namespace kestro::py
