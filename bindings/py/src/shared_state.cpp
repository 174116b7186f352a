#include "kestro_py/shared_state.hpp"

namespace kestro::py {

namespace {
// The layout is part of the name: a module built from another revision of
// this struct never reads it.
constexpr const char* kCapsuleName = "kestro_py.shared_state.v2";
}  // namespace

PyResult<SharedState*> shared_state() {
  PyObject* dict = PyInterpreterState_GetDict(PyInterpreterState_Get());
  if (dict == nullptr) return error_of(PyExc_RuntimeError, "the interpreter has no state dict");
  PyObject* capsule = PyDict_GetItemString(dict, kCapsuleName);  // borrowed
  if (capsule == nullptr) {
    // No Python code runs between the lookup and the insertion, so under the
    // GIL the first caller makes the state and every later one finds it.
    auto* state = new SharedState();
    PyRef made = PyRef::steal(PyCapsule_New(state, kCapsuleName, nullptr));
    if (!made || PyDict_SetItemString(dict, kCapsuleName, made.get()) < 0) {
      delete state;
      return fetch_error();
    }
    return state;
  }
  void* pointer = PyCapsule_GetPointer(capsule, kCapsuleName);
  if (pointer == nullptr) return fetch_error();
  return static_cast<SharedState*>(pointer);
}

}  // namespace kestro::py
