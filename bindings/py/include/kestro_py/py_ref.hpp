// An owned reference to a Python object: the one place where reference
// counts are taken and dropped. Every holder of a PyRef holds the GIL while
// it copies or drops it.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <utility>

namespace kestro::py {

class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (as most C API calls return); may be null.
  static PyRef steal(PyObject* object) noexcept { return PyRef(object); }
  // Takes a new reference to a borrowed object; may be null.
  static PyRef borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return PyRef(object);
  }

  PyRef(const PyRef& other) noexcept : object_(other.object_) { Py_XINCREF(object_); }
  PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  PyRef& operator=(PyRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~PyRef() { Py_XDECREF(object_); }

  PyObject* get() const noexcept { return object_; }
  // Hands the reference to the caller (for returning to CPython).
  PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  explicit PyRef(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

inline PyRef none() { return PyRef::borrow(Py_None); }

}  // namespace kestro::py
