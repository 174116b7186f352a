#include "kestro_py/module.hpp"

#include <array>

#include "kestro_py/info_functions.hpp"
#include "kestro_py/internal_failure.hpp"
#include "kestro_py/py_errors.hpp"
#include "kestro_py/py_ref.hpp"
#include "kestro_py/records.hpp"
#include "kestro_py/usage_functions.hpp"

namespace kestro::py {

namespace {

constexpr const char* kDefaultEnvName = ".kestro";

// The module's functions in the order they are added (and listed in
// `__all__`).
constexpr std::array kFunctions = {
    register_errors_method,
    init_py_local_file_method,
    info_py_path_method,
    model_roundtrip_method,
    add_py_method,
    add_usage_py_method,
    set_usage_constraint_py_method,
    remove_py_method,
};

PyRef all_list(PyObject* module) {
  PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (all) {
    if (PyList_Check(all.get())) return all;
    PyErr_SetString(PyExc_TypeError, "`__all__` must be a list");
    return {};
  }
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return {};
  PyErr_Clear();
  all = PyRef::steal(PyList_New(0));
  if (all && PyObject_SetAttrString(module, "__all__", all.get()) < 0) return {};
  return all;
}

int add_function(PyObject* module, PyObject* module_name, PyMethodDef* def) {
  PyRef function = PyRef::steal(PyCMethod_New(def, module, module_name, nullptr));
  if (!function) return -1;
  PyRef name = PyRef::steal(PyObject_GetAttrString(function.get(), "__name__"));
  if (!name) return -1;
  if (!PyUnicode_Check(name.get())) {
    PyErr_SetString(PyExc_TypeError, "a function's `__name__` must be a str");
    return -1;
  }
  return add_to_module(module, name.get(), function.get());
}

}  // namespace

int add_to_module(PyObject* module, PyObject* name, PyObject* value) {
  PyRef all = all_list(module);
  if (!all) return -1;
  if (PyList_Append(all.get(), name) < 0) {
    set_internal_failure("could not append __name__ to __all__");
    return -1;
  }
  return PyObject_SetAttr(module, name, value);
}

int fill_kestro_module(PyObject* module) {
  return contain_internal_failures(
      [&] {
        PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
        if (!module_name) return -1;
        for (auto method : kFunctions) {
          if (add_function(module, module_name.get(), method()) < 0) return -1;
        }
        PyRef name = PyRef::steal(PyUnicode_FromString("DEFAULT_ENV_NAME"));
        PyRef value = PyRef::steal(PyUnicode_FromString(kDefaultEnvName));
        if (!name || !value) return -1;
        return add_to_module(module, name.get(), value.get());
      },
      -1);
}

}  // namespace kestro::py
