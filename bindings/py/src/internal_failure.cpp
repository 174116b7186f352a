#include "kestro_py/internal_failure.hpp"

#include <cstdio>
#include <cstdlib>

#include "kestro_py/py_exception.hpp"
#include "kestro_py/shared_state.hpp"

namespace kestro::py {

namespace {

constexpr const char* kDoc =
    "An internal failure of the package manager: a broken precondition inside\n"
    "the extension, never an expected outcome of a call. It derives from\n"
    "BaseException so that handlers for Exception let it through.";

PyResult<PyObject*> internal_error_type() {
  auto state = shared_state();
  if (!state) return std::unexpected(std::move(state.error()));
  if ((*state)->internal_error_type == nullptr) {
    PyObject* type = PyErr_NewExceptionWithDoc("_kestro_core.InternalError", kDoc, PyExc_BaseException, nullptr);
    if (type == nullptr) return fetch_error();
    (*state)->internal_error_type = type;  // kept for the life of the interpreter
  }
  return (*state)->internal_error_type;
}

[[noreturn]] void abort_at_boundary() {
  std::fputs("uncaught panic at ffi boundary\n", stderr);
  std::abort();
}

}  // namespace

void set_internal_failure(std::string_view message) noexcept {
  try {
    PyErr_Clear();
    auto type = internal_error_type();
    PyException exception = type ? PyException::make(*type, message) : std::move(type.error());
    std::move(exception).restore();
  } catch (...) {
    abort_at_boundary();
  }
}

}  // namespace kestro::py
