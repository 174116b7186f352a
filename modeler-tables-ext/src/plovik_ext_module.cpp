// Entry point of the `_plovik_ext` extension module (multi-phase init). The
// package manager is carried as its `project` submodule.
#include <Python.h>

#include "kestro_py/module.hpp"

namespace {

int add_project_submodule(PyObject* module) {
  const char* parent = PyModule_GetName(module);
  if (parent == nullptr) return -1;
  PyObject* name = PyUnicode_FromFormat("%s.project", parent);
  if (name == nullptr) return -1;
  PyObject* sub = PyModule_NewObject(name);
  Py_DECREF(name);
  if (sub == nullptr) return -1;
  if (kestro::py::fill_kestro_module(sub) < 0 || PyModule_AddObjectRef(module, "project", sub) < 0) {
    Py_DECREF(sub);
    return -1;
  }
  Py_DECREF(sub);
  return 0;
}

int exec_plovik_ext(PyObject* module) { return add_project_submodule(module); }

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_plovik_ext)},
    {0, nullptr},
};

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT,
    "_plovik_ext",
    "Tables and matrices of SysML v2 models.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__plovik_ext() { return PyModuleDef_Init(&kModuleDef); }
