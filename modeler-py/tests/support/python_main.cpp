// The main of the tables library's tests: starts CPython with the engine
// stand-in first on `sys.path`, runs the tests holding the GIL, and stops
// the interpreter.
#include <Python.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  PyConfig config;
  PyConfig_InitPythonConfig(&config);
  config.install_signal_handlers = 0;
  PyStatus status = Py_InitializeFromConfig(&config);
  PyConfig_Clear(&config);
  if (PyStatus_Exception(status)) Py_ExitStatusException(status);
  PyObject* path = PySys_GetObject("path");
  PyObject* standin = PyUnicode_FromString(PLOVIK_ENGINE_STANDIN_DIR);
  if (path == nullptr || standin == nullptr || PyList_Insert(path, 0, standin) != 0) {
    PyErr_Print();
    return 2;
  }
  Py_DECREF(standin);
  int result = RUN_ALL_TESTS();
  Py_FinalizeEx();
  return result;
}
