// State that every module object filled by the module function shares: the
// registered exception classes and the internal-error class. Both extension
// modules carry their own copy of this library, so the state lives in the
// interpreter (its per-interpreter dict), not in a C++ static; it is made on
// first use and never freed.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <array>

#include "kestro_py/py_exception.hpp"

namespace kestro::py {

inline constexpr std::size_t kExceptionSlots = 8;

struct SharedState {
  // Strong references, set once by the first registration.
  std::array<PyObject*, kExceptionSlots> exception_classes{};
  bool registered = false;
  // The class of internal failures, made on first use.
  PyObject* internal_error_type = nullptr;
};

// Requires the GIL, which also guards every access to the state.
PyResult<SharedState*> shared_state();

}  // namespace kestro::py
