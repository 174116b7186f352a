#include "kestro_py/module.hpp"

namespace kestro::py {

namespace {
constexpr const char* kDefaultEnvName = ".kestro";
}

int fill_kestro_module(PyObject* module) {
  if (PyModule_AddStringConstant(module, "DEFAULT_ENV_NAME", kDefaultEnvName) < 0) return -1;
  return 0;
}

}  // namespace kestro::py
