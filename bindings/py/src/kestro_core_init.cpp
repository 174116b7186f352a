// Entry point of the `_kestro_core` extension module (multi-phase init).
#include "kestro_py/module.hpp"

namespace {

int exec_kestro_core(PyObject* module) { return kestro::py::fill_kestro_module(module); }

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_kestro_core)},
    {0, nullptr},
};

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT,
    "_kestro_core",
    "Package manager for SysML v2 / KerML interchange projects.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__kestro_core() { return PyModuleDef_Init(&kModuleDef); }
