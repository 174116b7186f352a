#include "plovik/api/engine_classes.hpp"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace plovik::api {

namespace {

std::mutex pending_mutex;
std::vector<PyObject*> pending;

}  // namespace

void release_reference(PyObject* object) noexcept {
  if (PyGILState_Check()) {
    Py_DECREF(object);
    return;
  }
  std::lock_guard lock(pending_mutex);
  pending.push_back(object);
}

void drain_pending_releases() noexcept {
  std::vector<PyObject*> taken;
  {
    std::lock_guard lock(pending_mutex);
    taken.swap(pending);
  }
  for (PyObject* object : taken) Py_DECREF(object);
}

EngineException EngineException::fetch() {
  PyObject* raised = PyErr_GetRaisedException();
  if (raised == nullptr) {
    PyErr_SetString(PyExc_SystemError, "error return without exception set");
    raised = PyErr_GetRaisedException();
  }
  return EngineException(ObjectRef::steal(raised));
}

void EngineException::restore() const { PyErr_SetRaisedException(Py_NewRef(instance_.get())); }

std::string EngineCastError::message() const {
  std::string target = "None";
  if (expected_class_.get() != Py_None && PyType_Check(expected_class_.get())) {
    ObjectRef name = ObjectRef::steal(PyType_GetQualName(reinterpret_cast<PyTypeObject*>(expected_class_.get())));
    const char* text = name ? PyUnicode_AsUTF8(name.get()) : nullptr;
    if (text == nullptr) PyErr_Clear();
    target = text != nullptr ? text : "<failed to extract type name>";
  }
  if (object_.get() == Py_None) return "'None' is not an instance of '" + target + "'";
  ObjectRef name = ObjectRef::steal(PyType_GetQualName(Py_TYPE(object_.get())));
  const char* text = name ? PyUnicode_AsUTF8(name.get()) : nullptr;
  if (text == nullptr) PyErr_Clear();
  std::string type_name = text != nullptr ? text : "<failed to extract type name>";
  return "'" + type_name + "' object is not an instance of '" + target + "'";
}

void EngineCastError::raise() const { PyErr_SetString(PyExc_TypeError, message().c_str()); }

void EngineError::raise() const {
  std::visit([](const auto& failure) {
    if constexpr (std::is_same_v<std::decay_t<decltype(failure)>, EngineException>) {
      failure.restore();
    } else {
      failure.raise();
    }
  }, error);
}

std::expected<PyObject*, EngineException> EngineClassCell::fill() {
  if (state_.load(std::memory_order_acquire) == filled) return class_;
  // Wait for another filler without the GIL, so that it can import.
  PyThreadState* saved = PyEval_SaveThread();
  bool filler = false;
  for (;;) {
    int state = state_.load(std::memory_order_acquire);
    if (state == filled) break;
    if (state == empty) {
      if (state_.compare_exchange_weak(state, filling, std::memory_order_acq_rel)) {
        filler = true;
        break;
      }
      continue;
    }
    state_.wait(filling, std::memory_order_acquire);
  }
  PyEval_RestoreThread(saved);
  drain_pending_releases();
  if (!filler) return class_;
  auto failed = [this](EngineException error) -> std::expected<PyObject*, EngineException> {
    state_.store(empty, std::memory_order_release);
    state_.notify_all();
    return std::unexpected(std::move(error));
  };
  ObjectRef module_name = ObjectRef::steal(PyUnicode_FromString(module_));
  if (!module_name) return failed(EngineException::fetch());
  ObjectRef module = ObjectRef::steal(PyImport_Import(module_name.get()));
  if (!module) return failed(EngineException::fetch());
  ObjectRef value = ObjectRef::steal(PyObject_GetAttrString(module.get(), name_));
  if (!value) return failed(EngineException::fetch());
  if (!PyType_Check(value.get())) {
    EngineCastError(value, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyType_Type))).raise();
    return failed(EngineException::fetch());
  }
  class_ = value.release();
  state_.store(filled, std::memory_order_release);
  state_.notify_all();
  return class_;
}

PyObject* EngineClassCell::get() noexcept {
  if (state_.load(std::memory_order_acquire) == filled) return class_;
  auto filled_class = fill();
  return filled_class ? *filled_class : nullptr;
}

namespace detail {

bool instance_of(EngineClassCell& cell, PyObject* object) noexcept {
  PyObject* type = cell.get();
  if (type == nullptr) return false;
  int result = PyObject_IsInstance(object, type);
  if (result < 0) {
    EngineException::fetch();
    return false;
  }
  return result == 1;
}

ObjectRef class_or_none(EngineClassCell& cell) noexcept {
  PyObject* type = cell.get();
  return ObjectRef::borrow(type != nullptr ? type : Py_None);
}

CastResult<ObjectRef> extract(EngineClassCell& cell, const ObjectRef& object) {
  if (instance_of(cell, object.get())) return object;
  return std::unexpected(EngineCastError(object, class_or_none(cell)));
}

EngineResult<std::optional<ObjectRef>> try_cast(EngineClassCell& cell, PyObject* object) {
  ObjectRef type = class_or_none(cell);
  ObjectRef result = ObjectRef::steal(PyObject_CallMethod(object, "try_cast", "O", type.get()));
  if (!result) return std::unexpected(EngineError{EngineException::fetch()});
  if (result.get() == Py_None) return std::optional<ObjectRef>();
  auto extracted = extract(cell, result);
  if (!extracted) return std::unexpected(EngineError{std::move(extracted.error())});
  return std::optional<ObjectRef>(std::move(*extracted));
}

void upcast_invariant_broken() {
  std::fputs("fatal internal failure: Upcast invariant: source should be a Python subtype of target\n", stderr);
  std::abort();
}

}  // namespace detail

#define PLOVIK_ENGINE_CELL(Class, snake, module)                 \
  EngineClassCell& snake##_cell() noexcept {                     \
    static constinit EngineClassCell cell(module, #Class);       \
    return cell;                                                 \
  }
#define PLOVIK_ENGINE_CLASS(Class, snake, module)                \
  PLOVIK_ENGINE_CELL(Class, snake, module)                       \
  ObjectRef snake##_type() noexcept { return detail::class_or_none(snake##_cell()); }
#define PLOVIK_ENGINE_COLLECTION(Class, snake, module) PLOVIK_ENGINE_CELL(Class, snake, module)
#include "plovik/api/engine_classes.inc"
#undef PLOVIK_ENGINE_CLASS
#undef PLOVIK_ENGINE_COLLECTION
#undef PLOVIK_ENGINE_CELL

EngineResult<bool> isinstance_definition(PyObject* object) {
  ObjectRef type = definition_type();
  ObjectRef result = ObjectRef::steal(PyObject_CallMethod(object, "isinstance", "O", type.get()));
  if (!result) return std::unexpected(EngineError{EngineException::fetch()});
  if (!PyBool_Check(result.get())) {
    return std::unexpected(EngineError{EngineCastError(result, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyBool_Type)))});
  }
  return result.get() == Py_True;
}

}  // namespace plovik::api
