#include "plovik/api/engine_enums.hpp"

#include <array>
#include <span>
#include <string>

namespace plovik::api::mirrors {

namespace {

// One engine enumeration: where its class lives and its variants' attribute
// names in variant order.
struct EnumMirror {
  const char* module;
  const char* name;
  std::span<const char* const> variants;
};

std::expected<ObjectRef, EngineException> enum_class(const EnumMirror& mirror) {
  ObjectRef module = ObjectRef::steal(PyImport_ImportModule(mirror.module));
  if (!module) return std::unexpected(EngineException::fetch());
  ObjectRef cls = ObjectRef::steal(PyObject_GetAttrString(module.get(), mirror.name));
  if (!cls) return std::unexpected(EngineException::fetch());
  return cls;
}

std::expected<std::size_t, EngineException> read_variant(const EnumMirror& mirror, PyObject* object) {
  auto cls = enum_class(mirror);
  if (!cls) return std::unexpected(std::move(cls.error()));
  for (std::size_t i = 0; i < mirror.variants.size(); ++i) {
    ObjectRef value = ObjectRef::steal(PyObject_GetAttrString(cls->get(), mirror.variants[i]));
    if (!value) return std::unexpected(EngineException::fetch());
    if (value.get() == object) return i;
  }
  std::string message = std::string("Object is not a `") + mirror.name + "` variant";
  PyErr_SetString(PyExc_ValueError, message.c_str());
  return std::unexpected(EngineException::fetch());
}

std::expected<ObjectRef, EngineException> write_variant(const EnumMirror& mirror, std::size_t variant) {
  auto cls = enum_class(mirror);
  if (!cls) return std::unexpected(std::move(cls.error()));
  ObjectRef value = ObjectRef::steal(PyObject_GetAttrString(cls->get(), mirror.variants[variant]));
  if (!value) return std::unexpected(EngineException::fetch());
  return value;
}

template <typename E>
std::expected<E, EngineException> read_as(const EnumMirror& mirror, PyObject* object) {
  auto variant = read_variant(mirror, object);
  if (!variant) return std::unexpected(std::move(variant.error()));
  return static_cast<E>(*variant);
}

constexpr std::array<const char*, 3> feature_direction_names{"In", "Inout", "Out"};
constexpr std::array<const char*, 2> requirement_constraint_names{"Assumption", "Requirement"};
constexpr std::array<const char*, 4> severity_names{"Error", "Warning", "Information", "Hint"};
constexpr std::array<const char*, 3> tier_names{"StandardLibrary", "External", "Project"};
constexpr std::array<const char*, 39> operator_names{
    "If", "NullCoalescing", "Implies", "LogicalOr", "Or", "Xor", "LogicalAnd", "And", "Equals", "Same",
    "NotEquals", "NotSame", "IsType", "HasType", "At", "AtAt", "As", "Meta", "Less", "LessEqual",
    "Greater", "GreaterEqual", "Range", "Plus", "Minus", "Multiply", "Divide", "Modulo", "ExponentStar",
    "ExponentCaret", "Conjugation", "Not", "All", "Quantity", "Comma", "Dot", "Collect", "Index", "Select"};
constexpr std::array<const char*, 5> document_kind_names{"MODEL", "ENVIRONMENT", "ALL", "USER", "STDLIB"};
constexpr std::array<const char*, 2> name_id_names{"Regular", "Short"};

}  // namespace

std::expected<FeatureDirectionKind, EngineException> read_feature_direction_kind(PyObject* object) {
  return read_as<FeatureDirectionKind>({"_plovik.core", "FeatureDirectionKind", feature_direction_names}, object);
}
std::expected<RequirementConstraintKind, EngineException> read_requirement_constraint_kind(PyObject* object) {
  return read_as<RequirementConstraintKind>({"_plovik.core", "RequirementConstraintKind", requirement_constraint_names},
                                            object);
}
std::expected<DiagnosticSeverity, EngineException> read_diagnostic_severity(PyObject* object) {
  return read_as<DiagnosticSeverity>({"_plovik.core", "DiagnosticSeverity", severity_names}, object);
}
std::expected<DocumentTier, EngineException> read_document_tier(PyObject* object) {
  return read_as<DocumentTier>({"_plovik.core", "DocumentTier", tier_names}, object);
}
std::expected<Operator, EngineException> read_operator(PyObject* object) {
  return read_as<Operator>({"_plovik.core", "Operator", operator_names}, object);
}

std::expected<ObjectRef, EngineException> document_kind_to_py(DocumentKind kind) {
  return write_variant({"_plovik._loading", "DocumentKind", document_kind_names}, static_cast<std::size_t>(kind));
}
std::expected<ObjectRef, EngineException> name_id_to_py(NameID id) {
  return write_variant({"_plovik.core", "NameID", name_id_names}, static_cast<std::size_t>(id));
}

}  // namespace plovik::api::mirrors
