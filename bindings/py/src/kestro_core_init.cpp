// Entry point of the `_kestro_core` extension module (multi-phase init).
#include "kestro_py/convert.hpp"
#include "kestro_py/module.hpp"

namespace {

int exec_kestro_core(PyObject* module) {
  if (!PyModule_Check(module)) {
    kestro::py::raise(kestro::py::not_an_instance(module, "module"));
    return -1;
  }
  return kestro::py::fill_kestro_module(module);
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_kestro_core)},
    {0, nullptr},
};

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT,
    "_kestro_core",
    "",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__kestro_core() { return PyModuleDef_Init(&kModuleDef); }
