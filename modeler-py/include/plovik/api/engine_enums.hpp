// Plain enumerations mirroring the engine's enumeration classes. The engine's
// values are class attributes, recognised by identity; the variant order is
// both the numbering and the order a reader tests them in. Nothing is cached:
// module, class and attributes are looked up on every call.
#pragma once

#include <Python.h>

#include <cstdint>

#include "plovik/api/engine_classes.hpp"

// The mirrors live in a namespace of their own: their variant names (Model,
// Stdlib) are also engine handle types.
namespace plovik::api::mirrors {

enum class FeatureDirectionKind : std::uint8_t { In, Inout, Out };
enum class RequirementConstraintKind : std::uint8_t { Assumption, Requirement };
enum class DiagnosticSeverity : std::uint8_t { Error, Warning, Information, Hint };
enum class DocumentTier : std::uint8_t { StandardLibrary, External, Project };
enum class Operator : std::uint8_t {
  If, NullCoalescing, Implies, LogicalOr, Or, Xor, LogicalAnd, And, Equals, Same, NotEquals, NotSame, IsType,
  HasType, At, AtAt, As, Meta, Less, LessEqual, Greater, GreaterEqual, Range, Plus, Minus, Multiply, Divide,
  Modulo, ExponentStar, ExponentCaret, Conjugation, Not, All, Quantity, Comma, Dot, Collect, Index, Select,
};
enum class DocumentKind : std::uint8_t { Model, Environment, All, User, Stdlib };
enum class NameID : std::uint8_t { Regular, Short };

// Readers: the variant whose engine attribute is `object` itself; a ValueError
// ("Object is not a `<Enum>` variant") when none is.
std::expected<FeatureDirectionKind, EngineException> read_feature_direction_kind(PyObject* object);
std::expected<RequirementConstraintKind, EngineException> read_requirement_constraint_kind(PyObject* object);
std::expected<DiagnosticSeverity, EngineException> read_diagnostic_severity(PyObject* object);
std::expected<DocumentTier, EngineException> read_document_tier(PyObject* object);
std::expected<Operator, EngineException> read_operator(PyObject* object);

// Writers: the engine's value of the variant.
std::expected<ObjectRef, EngineException> document_kind_to_py(DocumentKind kind);
std::expected<ObjectRef, EngineException> name_id_to_py(NameID id);

}  // namespace plovik::api::mirrors
