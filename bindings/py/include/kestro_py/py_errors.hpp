// The exception classes the owning Python package registers, and the raise
// operations that turn the package manager's failures into instances of
// them. Until registration every such failure is a RuntimeError that says the
// classes are missing.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <string_view>

#include "kestro/utils/error.hpp"
#include "kestro_py/py_exception.hpp"

namespace kestro::py {

// The registry's slots, in the order of `_register_errors`' keywords.
enum class ExceptionSlot { Project, Env, Resolution, NotFound, Auth, IndexProtocol, Solve, Sync };

// The exception for a failure of `slot`: the registered class called with
// `message` as its one positional argument and the items of `kwargs` (a dict,
// or null) as keyword arguments. Needs the GIL.
PyException registered_exception(ExceptionSlot slot, std::string_view message, PyObject* kwargs = nullptr);
// The same with the message rendered from `error` and its causes.
PyException registered_exception(ExceptionSlot slot, const Error& error, PyObject* kwargs = nullptr);
// A built-in exception type (RuntimeError, ValueError, ...) with the message
// rendered from `error` and its causes. Needs the GIL.
PyException builtin_exception(PyObject* type, const Error& error);

// The raise operations the function bodies call. These three need the GIL.
inline PyException project_error(std::string_view message, PyObject* kwargs = nullptr) {
  return registered_exception(ExceptionSlot::Project, message, kwargs);
}
inline PyException env_error(std::string_view message, PyObject* kwargs = nullptr) {
  return registered_exception(ExceptionSlot::Env, message, kwargs);
}
inline PyException solve_error(std::string_view message, PyObject* kwargs = nullptr) {
  return registered_exception(ExceptionSlot::Solve, message, kwargs);
}
// These take the GIL themselves, for work sections that released it; the
// caller raises the result once it holds the GIL again.
PyException resolution_error(std::string_view message);
PyException auth_error(std::string_view message);
PyException index_protocol_error(std::string_view message);

// The method definition of `_register_errors`.
PyMethodDef* register_errors_method();

}  // namespace kestro::py
