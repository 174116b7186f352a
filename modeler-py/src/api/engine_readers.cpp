#include "plovik/api/engine_readers.hpp"

#include <utility>

namespace plovik::api {

namespace {

std::unexpected<EngineError> raised() { return std::unexpected(EngineError{EngineException::fetch()}); }
std::unexpected<EngineError> cast_failed(const ObjectRef& object, PyObject* expected) {
  return std::unexpected(EngineError{EngineCastError(object, ObjectRef::borrow(expected))});
}
PyObject* py_class(PyTypeObject& type) { return reinterpret_cast<PyObject*>(&type); }

EngineResult<ObjectRef> attribute(PyObject* receiver, const char* name) {
  ObjectRef key = ObjectRef::steal(PyUnicode_FromString(name));
  if (!key) return raised();
  ObjectRef value = ObjectRef::steal(PyObject_GetAttr(receiver, key.get()));
  if (!value) return raised();
  return value;
}

template <typename H>
EngineResult<H> required(EngineClassCell& cell, EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  auto extracted = detail::extract(cell, *value);
  if (!extracted) return std::unexpected(EngineError{std::move(extracted.error())});
  return H::unchecked(std::move(*extracted));
}

template <typename H>
EngineResult<std::optional<H>> optional(EngineClassCell& cell, EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  if (value->get() == Py_None) return std::optional<H>();
  auto handle = required<H>(cell, std::move(value));
  if (!handle) return std::unexpected(std::move(handle.error()));
  return std::optional<H>(std::move(*handle));
}

EngineResult<std::string> text_of(const ObjectRef& value) {
  if (!PyUnicode_Check(value.get())) return cast_failed(value, py_class(PyUnicode_Type));
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(value.get(), &size);
  if (utf8 == nullptr) return raised();
  return std::string(utf8, static_cast<std::size_t>(size));
}

EngineResult<std::optional<std::string>> optional_text(EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  if (value->get() == Py_None) return std::optional<std::string>();
  auto text = text_of(*value);
  if (!text) return std::unexpected(std::move(text.error()));
  return std::optional<std::string>(std::move(*text));
}

EngineResult<bool> boolean(EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  if (!PyBool_Check(value->get())) return cast_failed(*value, py_class(PyBool_Type));
  return value->get() == Py_True;
}

EngineResult<std::int64_t> integer(EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  long long number = PyLong_AsLongLong(value->get());
  if (number == -1 && PyErr_Occurred()) return raised();
  return static_cast<std::int64_t>(number);
}

// `uuid.UUID`, imported once and kept for the process.
PyObject* uuid_class() {
  static PyObject* cls = [] {
    ObjectRef module = ObjectRef::steal(PyImport_ImportModule("uuid"));
    PyObject* found = module ? PyObject_GetAttrString(module.get(), "UUID") : nullptr;
    if (found == nullptr) PyErr_Clear();
    return found;
  }();
  return cls;
}

EngineResult<Uuid> uuid(EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  PyObject* cls = uuid_class();
  int is_uuid = cls != nullptr ? PyObject_IsInstance(value->get(), cls) : 0;
  if (is_uuid < 0) return raised();
  if (is_uuid == 0) {
    PyErr_SetString(PyExc_TypeError, "Expected a `uuid.UUID` instance.");
    return raised();
  }
  ObjectRef number = ObjectRef::steal(PyObject_GetAttrString(value->get(), "int"));
  if (!number) return raised();
  ObjectRef shift = ObjectRef::steal(PyLong_FromLong(64));
  ObjectRef high = ObjectRef::steal(PyNumber_Rshift(number.get(), shift.get()));
  if (!high) return raised();
  Uuid result{PyLong_AsUnsignedLongLongMask(high.get()), PyLong_AsUnsignedLongLongMask(number.get())};
  if (PyErr_Occurred()) return raised();
  return result;
}

EngineResult<mirrors::RequirementConstraintKind> kind(EngineResult<ObjectRef> value) {
  if (!value) return std::unexpected(std::move(value.error()));
  auto read = mirrors::read_requirement_constraint_kind(value->get());
  if (!read) return std::unexpected(EngineError{std::move(read.error())});
  return *read;
}

// `collections.abc.Sequence`, imported once and kept for the process.
PyObject* sequence_class() {
  static PyObject* cls = [] {
    ObjectRef module = ObjectRef::steal(PyImport_ImportModule("collections.abc"));
    PyObject* found = module ? PyObject_GetAttrString(module.get(), "Sequence") : nullptr;
    if (found == nullptr) PyErr_Clear();
    return found;
  }();
  return cls;
}

}  // namespace

EngineResult<std::vector<ObjectRef>> detail::extract_items(const ObjectRef& sequence, EngineClassCell* cell) {
  if (PyUnicode_Check(sequence.get())) {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` into a vector");
    return raised();
  }
  if (!PySequence_Check(sequence.get())) {
    PyObject* cls = sequence_class();
    return cast_failed(sequence, cls != nullptr ? cls : Py_None);
  }
  std::vector<ObjectRef> items;
  Py_ssize_t length = PySequence_Size(sequence.get());
  if (length < 0) {
    PyErr_Clear();
    length = 0;
  }
  items.reserve(static_cast<std::size_t>(length));
  ObjectRef iterator = ObjectRef::steal(PyObject_GetIter(sequence.get()));
  if (!iterator) return raised();
  while (ObjectRef item = ObjectRef::steal(PyIter_Next(iterator.get()))) {
    if (cell != nullptr && !detail::instance_of(*cell, item.get())) {
      return std::unexpected(EngineError{EngineCastError(item, detail::class_or_none(*cell))});
    }
    items.push_back(std::move(item));
  }
  if (PyErr_Occurred()) return raised();
  return items;
}

namespace {

template <typename H>
EngineResult<std::vector<H>> as_handles(EngineClassCell* cell, EngineResult<ObjectRef> sequence) {
  if (!sequence) return std::unexpected(std::move(sequence.error()));
  auto items = detail::extract_items(*sequence, cell);
  if (!items) return std::unexpected(std::move(items.error()));
  std::vector<H> handles;
  handles.reserve(items->size());
  for (auto& item : *items) {
    if constexpr (std::is_same_v<H, ObjectRef>) {
      handles.push_back(std::move(item));
    } else {
      handles.push_back(H::unchecked(std::move(item)));
    }
  }
  return handles;
}

EngineResult<ObjectRef> call_collect(PyObject* collection) {
  ObjectRef result = ObjectRef::steal(PyObject_CallMethod(collection, "collect", nullptr));
  if (!result) return raised();
  return result;
}

}  // namespace

EngineResult<ObjectRef> detail::call_list(PyObject* view) {
  ObjectRef builtins = ObjectRef::steal(PyImport_ImportModule("builtins"));
  if (!builtins) return raised();
  ObjectRef result = ObjectRef::steal(PyObject_CallMethod(builtins.get(), "list", "O", view));
  if (!result) return raised();
  if (!PyList_Check(result.get())) return cast_failed(result, py_class(PyList_Type));
  return result;
}

#define PLOVIK_ENGINE_READERS
#define PLOVIK_ENGINE_READER_handle(fn, attribute_name, Class, snake) \
  EngineResult<Class> fn(PyObject* receiver) { return required<Class>(snake##_cell(), attribute(receiver, attribute_name)); }
#define PLOVIK_ENGINE_READER_optional(fn, attribute_name, Class, snake)               \
  EngineResult<std::optional<Class>> fn(PyObject* receiver) {                       \
    return optional<Class>(snake##_cell(), attribute(receiver, attribute_name));    \
  }
#define PLOVIK_ENGINE_READER_text(fn, attribute_name) \
  EngineResult<std::optional<std::string>> fn(PyObject* receiver) { return optional_text(attribute(receiver, attribute_name)); }
#define PLOVIK_ENGINE_READER_bool(fn, attribute_name) \
  EngineResult<bool> fn(PyObject* receiver) { return boolean(attribute(receiver, attribute_name)); }
#define PLOVIK_ENGINE_READER_int(fn, attribute_name) \
  EngineResult<std::int64_t> fn(PyObject* receiver) { return integer(attribute(receiver, attribute_name)); }
#define PLOVIK_ENGINE_READER_uuid(fn, attribute_name) \
  EngineResult<Uuid> fn(PyObject* receiver) { return uuid(attribute(receiver, attribute_name)); }
#define PLOVIK_ENGINE_READER_kind(fn, attribute_name)                  \
  EngineResult<mirrors::RequirementConstraintKind> fn(PyObject* receiver) { \
    return kind(attribute(receiver, attribute_name));                \
  }
#include "plovik/api/engine_classes.inc"

EngineResult<void> set_is_end(PyObject* feature) {
  if (PyObject_SetAttrString(feature, "is_end", Py_True) != 0) return raised();
  return {};
}

EngineResult<std::string> py_str(PyObject* object) {
  ObjectRef text = ObjectRef::steal(PyObject_CallMethod(object, "__str__", nullptr));
  if (!text) return raised();
  return text_of(text);
}

EngineResult<std::vector<Documentation>> collect_documentation(PyObject* collection) {
  return as_handles<Documentation>(&documentation_cell(), call_collect(collection));
}
EngineResult<std::vector<ElementFilterMembership>> collect_element_filter_memberships(PyObject* collection) {
  return as_handles<ElementFilterMembership>(&element_filter_membership_cell(), call_collect(collection));
}
EngineResult<std::vector<Usage>> collect_usages(PyObject* collection) {
  return as_handles<Usage>(&usage_cell(), call_collect(collection));
}
EngineResult<std::vector<Feature>> collect_features(PyObject* collection) {
  return as_handles<Feature>(&feature_cell(), call_collect(collection));
}
EngineResult<std::vector<Element>> collect_elements(PyObject* collection) {
  return as_handles<Element>(&element_cell(), call_collect(collection));
}
EngineResult<std::vector<Expression>> collect_expressions(PyObject* collection) {
  return as_handles<Expression>(&expression_cell(), call_collect(collection));
}

EngineResult<std::vector<Diagnostic>> list_diagnostics(PyObject* view) {
  return as_handles<Diagnostic>(&diagnostic_cell(), detail::call_list(view));
}
EngineResult<std::vector<Type>> list_types(PyObject* view) { return as_handles<Type>(&type_cell(), detail::call_list(view)); }
EngineResult<std::vector<Element>> list_elements(PyObject* view) {
  return as_handles<Element>(&element_cell(), detail::call_list(view));
}
EngineResult<std::vector<ObjectRef>> list_objects(PyObject* view) { return as_handles<ObjectRef>(nullptr, detail::call_list(view)); }

}  // namespace plovik::api
