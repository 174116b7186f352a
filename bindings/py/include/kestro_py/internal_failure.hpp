// Containment of internal failures at the Python boundary. A C++ exception
// (kestro::InternalError from a broken precondition, or any other) never
// crosses into CPython: it becomes an instance of `_kestro_core.InternalError`,
// a class derived directly from BaseException so that a handler for Exception
// does not swallow it. A failed allocation (std::bad_alloc) is MemoryError.
#pragma once

#include <Python.h>

#include "kestro_py/namespace.hpp"

#include <exception>
#include <new>
#include <string_view>

namespace kestro::py {

// Sets the internal-error exception with `message` as the current Python
// exception. A failure while doing so aborts the process.
void set_internal_failure(std::string_view message) noexcept;

// Runs `body` and returns its value; a C++ exception escaping it is set as
// the internal-error exception and `failed` is returned.
template <typename R, typename Body>
R contain_internal_failures(Body&& body, R failed) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    // Running out of memory is no broken precondition: Python's own error.
    PyErr_NoMemory();
  } catch (const std::exception& failure) {
    set_internal_failure(failure.what());
  } catch (...) {
    set_internal_failure("internal failure without a message");
  }
  return failed;
}

}  // namespace kestro::py
