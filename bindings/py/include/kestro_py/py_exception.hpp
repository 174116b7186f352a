// A Python exception held as a value, so that binding code can return
// failures through std::expected like the rest of the system and raise them
// only when it hands control back to CPython.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <expected>
#include <string_view>

#include "kestro_py/py_ref.hpp"

namespace kestro::py {

class PyException {
 public:
  // Takes the exception currently set in the interpreter and clears it. When
  // none is set (a broken C API contract), a SystemError stands in.
  static PyException fetch();
  // A new instance of `type` called with `message` as its one argument, or
  // the failure to make it. Bytes of the message that are not UTF-8 (a path
  // may carry them) show as U+FFFD rather than failing to decode.
  static PyException make(PyObject* type, std::string_view message);
  // An existing exception instance.
  static PyException from_instance(PyRef instance) { return PyException(std::move(instance)); }

  PyObject* instance() const { return instance_.get(); }

  // Calls the exception's `add_note`; a failure of that call is dropped and
  // the exception stays without the note.
  void add_note(std::string_view note) const;
  // Sets `cause` as `__cause__` (as `raise ... from cause` does).
  void set_cause(PyException cause) const;

  // Sets the exception as the interpreter's current one.
  void restore() &&;

 private:
  explicit PyException(PyRef instance) : instance_(std::move(instance)) {}
  PyRef instance_;
};

template <typename T>
using PyResult = std::expected<T, PyException>;

// The text of a message as a new `str`, bytes that are not UTF-8 shown as
// U+FFFD.
PyResult<PyRef> message_to_py(std::string_view message);

// The interpreter's current exception as the failure of a PyResult.
inline std::unexpected<PyException> fetch_error() { return std::unexpected(PyException::fetch()); }

inline std::unexpected<PyException> error_of(PyObject* type, std::string_view message) {
  return std::unexpected(PyException::make(type, message));
}

// A new Python object from a C API call that returns a new reference or null
// with an exception set.
inline PyResult<PyRef> checked(PyObject* result) {
  if (result == nullptr) return fetch_error();
  return PyRef::steal(result);
}

// Sets the failure as the current exception; the value CPython expects from
// a failed call.
inline PyObject* raise(PyException exception) {
  std::move(exception).restore();
  return nullptr;
}

}  // namespace kestro::py
