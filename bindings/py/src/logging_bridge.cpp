#include "kestro_py/logging_bridge.hpp"

#include <Python.h>

#include <memory>

#include "kestro/utils/error.hpp"
#include "kestro/utils/log.hpp"
#include "kestro_py/gil.hpp"
#include "kestro_py/py_ref.hpp"

namespace kestro::py {

namespace {

int python_level(log::Level level) {
  switch (level) {
    case log::Level::Error: return 40;
    case log::Level::Warn: return 30;
    case log::Level::Info: return 20;
    case log::Level::Debug: return 10;
    case log::Level::Trace: return 5;
  }
  return 0;
}

// Log texts may carry bytes of paths that are not UTF-8.
PyRef decoded(std::string_view text) {
  return PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

// The Python logger for a target, or null with the exception cleared. The
// `logging` module is looked up on each use rather than held: the sink lives
// in a C++ static that outlives the interpreter.
PyRef python_logger(std::string_view target) {
  std::string name = python_logger_name(target);
  PyRef logging = PyRef::steal(PyImport_ImportModule("logging"));
  PyRef text = decoded(name);
  if (!logging || !text) return {};
  return PyRef::steal(PyObject_CallMethod(logging.get(), "getLogger", "O", text.get()));
}

// Records are written from whichever thread logs, so every call takes the
// GIL itself. A failure inside Python's logging is reported as unraisable and
// never reaches the code that logged.
class PythonLoggingSink : public log::Sink {
 public:
  bool enabled(log::Level level, std::string_view target) const override {
    if (!Py_IsInitialized()) return false;
    GilAcquire gil;
    PyRef logger = python_logger(target);
    PyRef answer;
    if (logger) answer = PyRef::steal(PyObject_CallMethod(logger.get(), "isEnabledFor", "i", python_level(level)));
    int truth = answer ? PyObject_IsTrue(answer.get()) : -1;
    if (truth < 0) PyErr_WriteUnraisable(nullptr);
    return truth == 1;
  }

  void write(const log::Record& record) override {
    if (!Py_IsInitialized()) return;
    GilAcquire gil;
    PyRef logger = python_logger(record.target);
    PyRef message = decoded(record.message);
    PyRef done;
    if (logger && message) {
      done = PyRef::steal(PyObject_CallMethod(logger.get(), "log", "iO", python_level(record.level), message.get()));
    }
    if (!done) PyErr_WriteUnraisable(nullptr);
  }
};

}  // namespace

std::string python_logger_name(std::string_view target) {
  std::string name;
  name.reserve(target.size());
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target.compare(i, 2, "::") == 0) {
      name += '.';
      ++i;
    } else {
      name += target[i];
    }
  }
  return name;
}

void install_logging_bridge() {
  PyRef logging = PyRef::steal(PyImport_ImportModule("logging"));
  if (!logging) {
    PyErr_Clear();
    throw InternalError("Failed to initialize python logging");
  }
  log::try_set_sink(std::make_shared<PythonLoggingSink>());
}

}  // namespace kestro::py
