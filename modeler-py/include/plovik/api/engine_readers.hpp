// Typed readers of engine attributes (one per attribute, generated from the
// class table), the extraction of engine collections into vectors of
// handles, the text of an engine object and the one attribute write. Nothing
// is cached: every call asks the engine again.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plovik/api/engine_classes.hpp"
#include "plovik/api/engine_enums.hpp"

namespace plovik::api {

// The 128-bit value of a `uuid.UUID`.
struct Uuid {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  friend bool operator==(const Uuid&, const Uuid&) = default;
};

#define PLOVIK_ENGINE_READERS
#define PLOVIK_ENGINE_READER_handle(fn, attribute, Class, snake) EngineResult<Class> fn(PyObject* receiver);
#define PLOVIK_ENGINE_READER_optional(fn, attribute, Class, snake) \
  EngineResult<std::optional<Class>> fn(PyObject* receiver);
#define PLOVIK_ENGINE_READER_text(fn, attribute) EngineResult<std::optional<std::string>> fn(PyObject* receiver);
#define PLOVIK_ENGINE_READER_bool(fn, attribute) EngineResult<bool> fn(PyObject* receiver);
#define PLOVIK_ENGINE_READER_int(fn, attribute) EngineResult<std::int64_t> fn(PyObject* receiver);
#define PLOVIK_ENGINE_READER_uuid(fn, attribute) EngineResult<Uuid> fn(PyObject* receiver);
#define PLOVIK_ENGINE_READER_kind(fn, attribute) \
  EngineResult<mirrors::RequirementConstraintKind> fn(PyObject* receiver);
#include "plovik/api/engine_classes.inc"
#undef PLOVIK_ENGINE_READER_handle
#undef PLOVIK_ENGINE_READER_optional
#undef PLOVIK_ENGINE_READER_text
#undef PLOVIK_ENGINE_READER_bool
#undef PLOVIK_ENGINE_READER_int
#undef PLOVIK_ENGINE_READER_uuid
#undef PLOVIK_ENGINE_READER_kind
#undef PLOVIK_ENGINE_READERS

// Assigns True to `is_end` of the feature.
EngineResult<void> set_is_end(PyObject* feature);
// The object's `__str__`, as UTF-8 text.
EngineResult<std::string> py_str(PyObject* object);

// `collect()` of an engine collection, as handles of the item class.
EngineResult<std::vector<Documentation>> collect_documentation(PyObject* collection);
EngineResult<std::vector<ElementFilterMembership>> collect_element_filter_memberships(PyObject* collection);
EngineResult<std::vector<Usage>> collect_usages(PyObject* collection);
EngineResult<std::vector<Feature>> collect_features(PyObject* collection);
EngineResult<std::vector<Element>> collect_elements(PyObject* collection);
EngineResult<std::vector<Expression>> collect_expressions(PyObject* collection);

// `builtins.list` of an engine view, as handles of the item class.
EngineResult<std::vector<Diagnostic>> list_diagnostics(PyObject* view);
EngineResult<std::vector<Type>> list_types(PyObject* view);
EngineResult<std::vector<Element>> list_elements(PyObject* view);
EngineResult<std::vector<ObjectRef>> list_objects(PyObject* view);

namespace detail {
// The items of a Python sequence, each tested against `cell` (every item
// taken when it is null). A string is never split into its characters.
EngineResult<std::vector<ObjectRef>> extract_items(const ObjectRef& sequence, EngineClassCell* cell);
// `builtins.list` of an object; the result must be a list.
EngineResult<ObjectRef> call_list(PyObject* view);
}  // namespace detail

}  // namespace plovik::api
