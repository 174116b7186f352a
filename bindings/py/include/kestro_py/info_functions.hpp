// The functions that describe a project: `do_info_py_path` reads one from a
// local directory.
#pragma once

#include <Python.h>

namespace kestro::py {

PyMethodDef* info_py_path_method();

}  // namespace kestro::py
