// Scoped control of the GIL.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

namespace kestro::py {

// Releases the GIL held by this thread for the guard's lifetime. While it is
// released no Python object may be touched (PyRef and PyException included).
class GilRelease {
 public:
  GilRelease() noexcept : state_(PyEval_SaveThread()) {}
  ~GilRelease() { PyEval_RestoreThread(state_); }
  GilRelease(const GilRelease&) = delete;
  GilRelease& operator=(const GilRelease&) = delete;

 private:
  PyThreadState* state_;
};

// Holds the GIL for the guard's lifetime, whether or not this thread held it
// before (a released work section, or a thread Python never saw).
class GilAcquire {
 public:
  GilAcquire() noexcept : state_(PyGILState_Ensure()) {}
  ~GilAcquire() { PyGILState_Release(state_); }
  GilAcquire(const GilAcquire&) = delete;
  GilAcquire& operator=(const GilAcquire&) = delete;

 private:
  PyGILState_STATE state_;
};

}  // namespace kestro::py
