// Entry point of the `_plovik_ext` extension module (multi-phase init). The
// package manager is carried as its `project` submodule.
#include <Python.h>

#include "kestro_py/module.hpp"
#include "kestro_py/py_ref.hpp"

namespace {

using kestro::py::PyRef;

constexpr const char* kProjectModuleName = "plovik._plovik_ext.project";

// A fresh module filled with the package manager's functions, added under the
// last component of its name. It is an attribute only: it is not entered in
// `sys.modules`.
int add_project_submodule(PyObject* module) {
  PyRef project = PyRef::steal(PyModule_New(kProjectModuleName));
  if (!project || kestro::py::fill_kestro_module(project.get()) < 0) return -1;
  PyRef name = PyRef::steal(PyUnicode_FromString("project"));
  if (!name) return -1;
  return kestro::py::add_to_module(module, name.get(), project.get());
}

int exec_plovik_ext(PyObject* module) { return add_project_submodule(module); }

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_plovik_ext)},
    {0, nullptr},
};

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT,
    "_plovik_ext",
    "",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__plovik_ext() { return PyModuleDef_Init(&kModuleDef); }
