// Helpers of the tables library's tests: Python source run in `__main__`.
#pragma once

#include <Python.h>
#include <gtest/gtest.h>

#include <string>

#include "plovik/api/engine_classes.hpp"

namespace plovik::testing {

// Runs `source` in `__main__`'s globals, as statements (Py_file_input) or
// one expression (Py_eval_input); fails the test when it raises.
inline api::ObjectRef run_in_main(const std::string& source, int start) {
  PyObject* globals = PyModule_GetDict(PyImport_AddModule("__main__"));
  PyObject* result = PyRun_String(source.c_str(), start, globals, globals);
  if (result == nullptr) {
    PyErr_Print();
    ADD_FAILURE() << "python failed: " << source;
  }
  return api::ObjectRef::steal(result);
}

inline void run_python(const std::string& source) { run_in_main(source, Py_file_input); }

// The value of `expression` evaluated in `__main__`'s globals.
inline api::ObjectRef eval_python(const std::string& expression) { return run_in_main(expression, Py_eval_input); }

// "<exception class>: <text>" of an engine error, as Python would show it.
inline std::string shown(const api::EngineError& error) {
  error.raise();
  api::ObjectRef raised = api::ObjectRef::steal(PyErr_GetRaisedException());
  api::ObjectRef text = api::ObjectRef::steal(PyObject_Str(raised.get()));
  return std::string(Py_TYPE(raised.get())->tp_name) + ": " + PyUnicode_AsUTF8(text.get());
}

}  // namespace plovik::testing
