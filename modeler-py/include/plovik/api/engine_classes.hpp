// Typed access to the outside engine's classes. One handle type per engine
// class (generated from api/engine_classes.txt): a counted reference whose
// object is, in Python's sense, an instance of that class. Each class has a
// process-wide cell holding the imported class object, filled on first use.
// Every operation needs the calling thread to hold the GIL.
#pragma once

#include <Python.h>

#include <atomic>
#include <expected>
#include <optional>
#include <string>
#include <variant>
#include <utility>

#include "plovik/api/object_ref.hpp"

namespace plovik::api {

// A class test of a value that failed: the object and the class it was tested
// against (Python None when an engine class could not be imported). Becomes a
// TypeError in Python; its text is composed only then.
class EngineCastError {
 public:
  EngineCastError(ObjectRef object, ObjectRef expected_class)
      : object_(std::move(object)), expected_class_(std::move(expected_class)) {}
  const ObjectRef& object() const { return object_; }
  const ObjectRef& expected_class() const { return expected_class_; }
  std::string message() const;
  // Sets the TypeError as the interpreter's current exception.
  void raise() const;

 private:
  ObjectRef object_;
  ObjectRef expected_class_;
};

// A failure of an engine call: the Python exception it raised, taken off the
// interpreter.
class EngineException {
 public:
  // Takes the interpreter's current exception (a SystemError stands in when
  // none is set).
  static EngineException fetch();
  const ObjectRef& instance() const { return instance_; }
  // Sets the exception as the interpreter's current one again.
  void restore() const;

 private:
  explicit EngineException(ObjectRef instance) : instance_(std::move(instance)) {}
  ObjectRef instance_;
};

// The failure of an operation that calls into the engine and checks what it
// gave back.
struct EngineError {
  std::variant<EngineException, EngineCastError> error;
  // Sets the error as the interpreter's current exception.
  void raise() const;
};

template <typename T>
using CastResult = std::expected<T, EngineCastError>;
template <typename T>
using EngineResult = std::expected<T, EngineError>;

// The process-wide cell of one engine class.
class EngineClassCell {
 public:
  constexpr EngineClassCell(const char* module, const char* name) : module_(module), name_(name) {}
  // The class object, borrowed (it is kept for the life of the process), or
  // null when it cannot be imported; the import error is discarded.
  PyObject* get() noexcept;
  // As get(), with the failure to import as the cast error it is.
  std::expected<PyObject*, EngineException> fill();
  const char* module() const { return module_; }
  const char* name() const { return name_; }

 private:
  enum State : int { empty, filling, filled };
  std::atomic<int> state_{empty};
  PyObject* class_ = nullptr;
  const char* module_;
  const char* name_;
};

// The tag of one engine class: its cell.
template <typename Tag>
struct EngineClassTraits;

template <typename Tag>
class Borrowed;

// A handle: one strong reference to an object of the tagged class.
template <typename Tag>
class Handle {
 public:
  // Makes a handle on `ref` without testing it: for the generated families
  // only, after their test.
  static Handle unchecked(ObjectRef ref) { return Handle(std::move(ref)); }
  PyObject* get() const noexcept { return ref_.get(); }
  const ObjectRef& ref() const& noexcept { return ref_; }
  ObjectRef into_ref() && noexcept { return std::move(ref_); }
  operator const ObjectRef&() const& noexcept { return ref_; }

 private:
  explicit Handle(ObjectRef ref) : ref_(std::move(ref)) {}
  ObjectRef ref_;
};

// A handle's object viewed as an ancestor class, borrowed from the handle it
// was made from (which must outlive it).
template <typename Tag>
class Borrowed {
 public:
  static Borrowed unchecked(PyObject* object) { return Borrowed(object); }
  PyObject* get() const noexcept { return object_; }
  Handle<Tag> to_owned() const { return Handle<Tag>::unchecked(ObjectRef::borrow(object_)); }

 private:
  explicit Borrowed(PyObject* object) : object_(object) {}
  PyObject* object_;
};

namespace detail {
bool instance_of(EngineClassCell& cell, PyObject* object) noexcept;
ObjectRef class_or_none(EngineClassCell& cell) noexcept;
CastResult<ObjectRef> extract(EngineClassCell& cell, const ObjectRef& object);
EngineResult<std::optional<ObjectRef>> try_cast(EngineClassCell& cell, PyObject* object);
// Reports a handle whose object fails its ancestor's test; never returns.
[[noreturn]] void upcast_invariant_broken();

template <typename H>
CastResult<H> as_handle(CastResult<ObjectRef> extracted) {
  if (!extracted) return std::unexpected(std::move(extracted.error()));
  return H::unchecked(std::move(*extracted));
}
template <typename H>
EngineResult<std::optional<H>> as_optional_handle(EngineResult<std::optional<ObjectRef>> cast) {
  if (!cast) return std::unexpected(std::move(cast.error()));
  if (!*cast) return std::optional<H>();
  return std::optional<H>(H::unchecked(std::move(**cast)));
}
}  // namespace detail

namespace tags {
#define PLOVIK_ENGINE_CLASS(Class, snake, module) struct Class;
#define PLOVIK_ENGINE_COLLECTION(Class, snake, module) struct Class;
#include "plovik/api/engine_classes.inc"
#undef PLOVIK_ENGINE_CLASS
#undef PLOVIK_ENGINE_COLLECTION
}  // namespace tags

#define PLOVIK_ENGINE_CLASS(Class, snake, module)                                              \
  EngineClassCell& snake##_cell() noexcept;                                                   \
  using Class = Handle<tags::Class>;                                                          \
  /* The class object (a new reference), or Python None when it cannot be imported. */       \
  ObjectRef snake##_type() noexcept;                                                          \
  /* Whether the object is an instance; never fails, leaves no exception set. */              \
  inline bool is_##snake(PyObject* object) noexcept { return detail::instance_of(snake##_cell(), object); } \
  inline bool is_##snake(const ObjectRef& object) noexcept { return is_##snake(object.get()); } \
  inline CastResult<Class> extract_##snake(const ObjectRef& object) {                         \
    return detail::as_handle<Class>(detail::extract(snake##_cell(), object));                 \
  }
#define PLOVIK_ENGINE_COLLECTION(Class, snake, module)                                         \
  EngineClassCell& snake##_cell() noexcept;                                                   \
  using Class = Handle<tags::Class>;                                                          \
  inline CastResult<Class> downcast_##snake(PyObject* object) {                               \
    return detail::as_handle<Class>(detail::extract(snake##_cell(), ObjectRef::borrow(object))); \
  }
#define PLOVIK_ENGINE_CAST(Class, snake)                                                       \
  /* The engine's own cast: absent when it gives None. */                                     \
  inline EngineResult<std::optional<Class>> try_cast_##snake(PyObject* object) {              \
    return detail::as_optional_handle<Class>(detail::try_cast(snake##_cell(), object));       \
  }
#include "plovik/api/engine_classes.inc"
#undef PLOVIK_ENGINE_CLASS
#undef PLOVIK_ENGINE_COLLECTION
#undef PLOVIK_ENGINE_CAST

// The engine's own `isinstance` against `Definition`.
EngineResult<bool> isinstance_definition(PyObject* object);

// Upcasts: the handle's object as an ancestor class. `as_` borrows the
// handle, `into_` takes it over; neither changes a count.
#define PLOVIK_UPCAST(Class, snake)                                                            \
  template <typename Tag>                                                                     \
  Borrowed<tags::Class> as_##snake(const Handle<Tag>& handle) {                               \
    if (!is_##snake(handle.get())) detail::upcast_invariant_broken();                         \
    return Borrowed<tags::Class>::unchecked(handle.get());                                    \
  }                                                                                           \
  template <typename Tag>                                                                     \
  Class into_##snake(Handle<Tag> handle) {                                                    \
    if (!is_##snake(handle.get())) detail::upcast_invariant_broken();                         \
    return Class::unchecked(std::move(handle).into_ref());                                    \
  }
PLOVIK_UPCAST(Element, element)
PLOVIK_UPCAST(Feature, feature)
PLOVIK_UPCAST(Type, type)
PLOVIK_UPCAST(Namespace, namespace)
PLOVIK_UPCAST(Relationship, relationship)
PLOVIK_UPCAST(AstNode, ast_node)
PLOVIK_UPCAST(ConnectorAsUsage, connector_as_usage)
PLOVIK_UPCAST(ConnectionUsage, connection_usage)
#undef PLOVIK_UPCAST

}  // namespace plovik::api
