// Calls into the engine: model nodes, evaluation with a Compiler, member
// lookup. Results are checked before they are handed back: a pair from the
// engine must be a tuple of length 2 whose items have the expected classes.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "plovik/api/engine_classes.hpp"

namespace plovik::api {

// How `evaluate_expression` converts the value of an evaluation.
enum class ValueShape : std::uint8_t { Object, Text, Real, Integer };
using EvaluatedValue = std::variant<ObjectRef, std::string, double, std::int64_t>;

template <typename V>
struct Evaluation {
  std::optional<V> value;  // absent when the engine gave None
  CompilationReport report;
};

struct FilterResult {
  bool passed;
  CompilationReport report;
};

// `model.nodes(C, include_subtypes=True)`, listed.
EngineResult<std::vector<ViewUsage>> list_view_usages(PyObject* model);
EngineResult<std::vector<Package>> list_packages(PyObject* model);
// `model.nodes(node_class, **keywords)`.
EngineResult<ObjectRef> model_nodes(PyObject* model, ObjectRef node_class, PyObject* keywords);
// `compiler.evaluate(expression, stdlib=stdlib, experimental_quantities=True)`.
EngineResult<Evaluation<ObjectRef>> compiler_evaluate(PyObject* compiler, PyObject* expression, PyObject* stdlib);
// `this.evaluate(expression)` run as a snippet in `__main__`'s globals.
EngineResult<Evaluation<EvaluatedValue>> evaluate_expression(PyObject* compiler, PyObject* expression, ValueShape shape);
// `this.evaluate_filter(target, filter, stdlib)` run as a snippet.
EngineResult<FilterResult> evaluate_filter_expression(PyObject* compiler, PyObject* target, PyObject* filter,
                                                      PyObject* stdlib);
// Stores the scope under `scope` in a keyword dictionary.
EngineResult<void> set_scope_argument(PyObject* keywords, PyObject* scope);
// `compiler.evaluate_feature(expression, **keywords)`.
EngineResult<ObjectRef> compiler_evaluate_feature(PyObject* compiler, PyObject* expression, PyObject* keywords);
// `namespace.get_member(name)`.
EngineResult<ObjectRef> get_member(PyObject* ns, const std::string& name);
EngineResult<std::optional<Element>> get_member_element(PyObject* ns, const std::string& name);
template <typename R, typename E>
struct Appended {
  R relationship;
  E element;
};

// Model edits: `body.append(relationship_class, element_class)` and its
// checked forms, `heritage.append(FeatureTyping, target, NameID.Regular)`,
// `ends.append()`, `body.remove_element(element)`.
EngineResult<ObjectRef> append_owned(PyObject* body, ObjectRef relationship_class, ObjectRef element_class);
EngineResult<Appended<OwningMembership, ConnectionUsage>> append_connection_usage(PyObject* body);
EngineResult<Appended<OwningMembership, MetadataUsage>> append_metadata_usage(PyObject* body);
EngineResult<Appended<FeatureTyping, MetadataDefinition>> append_feature_typing(PyObject* heritage, ObjectRef target);
EngineResult<Appended<EndFeatureMembership, Feature>> append_end_feature(PyObject* ends);
EngineResult<bool> remove_element(PyObject* body, ObjectRef element);
// `DocumentSegment.from_node_field(node, field, index)`.
EngineResult<DocumentSegment> document_segment_from_node_field(ObjectRef node, const std::string& field,
                                                               std::int64_t index);
// `pathlib.Path(path)`; bytes that are not UTF-8 are decoded with the
// file-system encoding.
EngineResult<ObjectRef> new_pathlib_path(const std::string& path);

// A new engine `Compiler`, built with the engine's two size limits.
EngineResult<Compiler> new_compiler();

}  // namespace plovik::api
