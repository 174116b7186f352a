// A strong reference to any Python object of the engine's world. Unlike the
// bindings' PyRef it may be dropped on a thread that does not hold the GIL:
// the count is then queued and dropped the next time this library takes the
// GIL (drain_pending_releases).
#pragma once

#include <Python.h>

#include <utility>

namespace plovik::api {

// Drops one count of `object` now when this thread holds the GIL, otherwise
// queues it.
void release_reference(PyObject* object) noexcept;
// Drops the counts queued by releases made without the GIL. The caller holds
// the GIL.
void drain_pending_releases() noexcept;

class ObjectRef {
 public:
  ObjectRef() = default;
  // Takes over a new reference; may be null.
  static ObjectRef steal(PyObject* object) noexcept { return ObjectRef(object); }
  // Takes a new reference to a borrowed object; may be null.
  static ObjectRef borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return ObjectRef(object);
  }
  ObjectRef(const ObjectRef& other) noexcept : object_(other.object_) { Py_XINCREF(object_); }
  ObjectRef(ObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ObjectRef& operator=(ObjectRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ObjectRef() {
    if (object_ != nullptr) release_reference(object_);
  }

  PyObject* get() const noexcept { return object_; }
  PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  explicit ObjectRef(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

}  // namespace plovik::api
