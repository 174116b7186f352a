#include "plovik/api/engine_calls.hpp"

#include <utility>

#include "plovik/api/engine_enums.hpp"
#include "plovik/api/engine_readers.hpp"

namespace plovik::api {

namespace {

std::unexpected<EngineError> raised() { return std::unexpected(EngineError{EngineException::fetch()}); }
template <typename E>
std::unexpected<EngineError> failed(E error) {
  return std::unexpected(EngineError{std::move(error)});
}

EngineResult<ObjectRef> checked(PyObject* result) {
  if (result == nullptr) return raised();
  return ObjectRef::steal(result);
}

// `receiver.<method>(argument, **keywords)`.
EngineResult<ObjectRef> call_with_keywords(PyObject* receiver, const char* method, PyObject* argument,
                                           PyObject* keywords) {
  auto bound = checked(PyObject_GetAttrString(receiver, method));
  if (!bound) return bound;
  auto args = checked(PyTuple_Pack(1, argument));
  if (!args) return args;
  return checked(PyObject_Call(bound->get(), args->get(), keywords));
}

// The items of a pair the engine returned.
EngineResult<std::pair<ObjectRef, ObjectRef>> pair_items(const ObjectRef& value) {
  if (!PyTuple_Check(value.get())) {
    return failed(EngineCastError(value, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyTuple_Type))));
  }
  Py_ssize_t length = PyTuple_GET_SIZE(value.get());
  if (length != 2) {
    PyErr_Format(PyExc_ValueError, "expected tuple of length %d, but got tuple of length %zd", 2, length);
    return raised();
  }
  return std::pair(ObjectRef::borrow(PyTuple_GET_ITEM(value.get(), 0)), ObjectRef::borrow(PyTuple_GET_ITEM(value.get(), 1)));
}

EngineResult<CompilationReport> report_of(const ObjectRef& item) {
  auto report = extract_compilation_report(item);
  if (!report) return failed(std::move(report.error()));
  return std::move(*report);
}

EngineResult<EvaluatedValue> convert(const ObjectRef& item, ValueShape shape) {
  switch (shape) {
    case ValueShape::Object:
      return EvaluatedValue(item);
    case ValueShape::Text: {
      if (!PyUnicode_Check(item.get())) {
        return failed(EngineCastError(item, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyUnicode_Type))));
      }
      Py_ssize_t size = 0;
      const char* utf8 = PyUnicode_AsUTF8AndSize(item.get(), &size);
      if (utf8 == nullptr) return raised();
      return EvaluatedValue(std::string(utf8, static_cast<std::size_t>(size)));
    }
    case ValueShape::Real: {
      double real = PyFloat_AsDouble(item.get());
      if (real == -1.0 && PyErr_Occurred()) return raised();
      return EvaluatedValue(real);
    }
    case ValueShape::Integer: {
      long long integer = PyLong_AsLongLong(item.get());
      if (integer == -1 && PyErr_Occurred()) return raised();
      return EvaluatedValue(static_cast<std::int64_t>(integer));
    }
  }
  return EvaluatedValue(item);
}

// Evaluates `snippet` (one expression) with `__main__`'s globals and `locals`.
EngineResult<ObjectRef> run_snippet(const char* snippet, PyObject* locals) {
  auto code = checked(Py_CompileString(snippet, "<string>", Py_eval_input));
  if (!code) return code;
  PyObject* main = PyImport_AddModule("__main__");
  if (main == nullptr) return raised();
  ObjectRef globals = ObjectRef::borrow(PyModule_GetDict(main));
  if (!PyDict_Check(globals.get())) {
    return failed(EngineCastError(globals, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyDict_Type))));
  }
  if (PyDict_GetItemString(globals.get(), "__builtins__") == nullptr && PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins()) != 0) {
    return raised();
  }
  return checked(PyEval_EvalCode(code->get(), globals.get(), locals));
}

template <typename H>
EngineResult<std::vector<H>> list_nodes(PyObject* model, ObjectRef node_class, EngineClassCell& cell) {
  auto keywords = checked(PyDict_New());
  if (!keywords) return std::unexpected(std::move(keywords.error()));
  if (PyDict_SetItemString(keywords->get(), "include_subtypes", Py_True) != 0) return raised();
  auto nodes = model_nodes(model, std::move(node_class), keywords->get());
  if (!nodes) return std::unexpected(std::move(nodes.error()));
  auto listed = detail::call_list(nodes->get());
  if (!listed) return std::unexpected(std::move(listed.error()));
  auto items = detail::extract_items(*listed, &cell);
  if (!items) return std::unexpected(std::move(items.error()));
  std::vector<H> handles;
  handles.reserve(items->size());
  for (auto& item : *items) handles.push_back(H::unchecked(std::move(item)));
  return handles;
}

template <typename R, typename E>
EngineResult<Appended<R, E>> appended(EngineResult<ObjectRef> result,
                                      CastResult<R> (*relationship)(const ObjectRef&),
                                      CastResult<E> (*element)(const ObjectRef&)) {
  if (!result) return std::unexpected(std::move(result.error()));
  auto items = pair_items(*result);
  if (!items) return std::unexpected(std::move(items.error()));
  auto first = relationship(items->first);
  if (!first) return failed(std::move(first.error()));
  auto second = element(items->second);
  if (!second) return failed(std::move(second.error()));
  return Appended<R, E>{std::move(*first), std::move(*second)};
}

}  // namespace

EngineResult<ObjectRef> append_owned(PyObject* body, ObjectRef relationship_class, ObjectRef element_class) {
  return checked(PyObject_CallMethod(body, "append", "OO", relationship_class.get(), element_class.get()));
}

EngineResult<Appended<OwningMembership, ConnectionUsage>> append_connection_usage(PyObject* body) {
  return appended(append_owned(body, owning_membership_type(), connection_usage_type()), &extract_owning_membership,
                  &extract_connection_usage);
}

EngineResult<Appended<OwningMembership, MetadataUsage>> append_metadata_usage(PyObject* body) {
  return appended(append_owned(body, owning_membership_type(), metadata_usage_type()), &extract_owning_membership,
                  &extract_metadata_usage);
}

EngineResult<Appended<FeatureTyping, MetadataDefinition>> append_feature_typing(PyObject* heritage, ObjectRef target) {
  auto regular = mirrors::name_id_to_py(mirrors::NameID::Regular);
  if (!regular) return failed(std::move(regular.error()));
  ObjectRef typing = feature_typing_type();
  return appended(checked(PyObject_CallMethod(heritage, "append", "OOO", typing.get(), target.get(), regular->get())),
                  &extract_feature_typing, &extract_metadata_definition);
}

EngineResult<Appended<EndFeatureMembership, Feature>> append_end_feature(PyObject* ends) {
  return appended(checked(PyObject_CallMethod(ends, "append", nullptr)), &extract_end_feature_membership,
                  &extract_feature);
}

EngineResult<bool> remove_element(PyObject* body, ObjectRef element) {
  auto answer = checked(PyObject_CallMethod(body, "remove_element", "O", element.get()));
  if (!answer) return std::unexpected(std::move(answer.error()));
  if (!PyBool_Check(answer->get())) {
    return failed(EngineCastError(*answer, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyBool_Type))));
  }
  return answer->get() == Py_True;
}

EngineResult<DocumentSegment> document_segment_from_node_field(ObjectRef node, const std::string& field,
                                                               std::int64_t index) {
  auto core = checked(PyImport_ImportModule("_plovik.core"));
  if (!core) return std::unexpected(std::move(core.error()));
  auto cls = checked(PyObject_GetAttrString(core->get(), "DocumentSegment"));
  if (!cls) return std::unexpected(std::move(cls.error()));
  auto field_text = checked(PyUnicode_FromStringAndSize(field.data(), static_cast<Py_ssize_t>(field.size())));
  if (!field_text) return std::unexpected(std::move(field_text.error()));
  auto segment = checked(PyObject_CallMethod(cls->get(), "from_node_field", "OOL", node.get(), field_text->get(),
                                             static_cast<long long>(index)));
  if (!segment) return std::unexpected(std::move(segment.error()));
  auto handle = extract_document_segment(*segment);
  if (!handle) return failed(std::move(handle.error()));
  return std::move(*handle);
}

EngineResult<ObjectRef> new_pathlib_path(const std::string& path) {
  static constinit EngineClassCell path_cell("pathlib", "Path");
  auto cls = path_cell.fill();
  if (!cls) return failed(std::move(cls.error()));
  auto text = checked(PyUnicode_DecodeUTF8(path.data(), static_cast<Py_ssize_t>(path.size()), nullptr));
  if (!text) {
    PyErr_Clear();
    text = checked(PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
    if (!text) return text;
  }
  return checked(PyObject_CallOneArg(*cls, text->get()));
}

EngineResult<std::vector<ViewUsage>> list_view_usages(PyObject* model) {
  return list_nodes<ViewUsage>(model, view_usage_type(), view_usage_cell());
}
EngineResult<std::vector<Package>> list_packages(PyObject* model) {
  return list_nodes<Package>(model, package_type(), package_cell());
}

EngineResult<ObjectRef> model_nodes(PyObject* model, ObjectRef node_class, PyObject* keywords) {
  return call_with_keywords(model, "nodes", node_class.get(), keywords);
}

EngineResult<Evaluation<ObjectRef>> compiler_evaluate(PyObject* compiler, PyObject* expression, PyObject* stdlib) {
  auto keywords = checked(PyDict_New());
  if (!keywords) return std::unexpected(std::move(keywords.error()));
  if (PyDict_SetItemString(keywords->get(), "stdlib", stdlib) != 0 ||
      PyDict_SetItemString(keywords->get(), "experimental_quantities", Py_True) != 0) {
    return raised();
  }
  auto result = call_with_keywords(compiler, "evaluate", expression, keywords->get());
  if (!result) return std::unexpected(std::move(result.error()));
  auto items = pair_items(*result);
  if (!items) return std::unexpected(std::move(items.error()));
  auto report = report_of(items->second);
  if (!report) return std::unexpected(std::move(report.error()));
  std::optional<ObjectRef> value;
  if (items->first.get() != Py_None) value = std::move(items->first);
  return Evaluation<ObjectRef>{std::move(value), std::move(*report)};
}

EngineResult<Evaluation<EvaluatedValue>> evaluate_expression(PyObject* compiler, PyObject* expression,
                                                             ValueShape shape) {
  auto locals = checked(PyDict_New());
  if (!locals) return std::unexpected(std::move(locals.error()));
  if (PyDict_SetItemString(locals->get(), "this", compiler) != 0 ||
      PyDict_SetItemString(locals->get(), "expression", expression) != 0) {
    return raised();
  }
  auto result = run_snippet("this.evaluate(expression)", locals->get());
  if (!result) return std::unexpected(std::move(result.error()));
  auto items = pair_items(*result);
  if (!items) return std::unexpected(std::move(items.error()));
  std::optional<EvaluatedValue> value;
  if (items->first.get() != Py_None) {
    auto converted = convert(items->first, shape);
    if (!converted) return std::unexpected(std::move(converted.error()));
    value = std::move(*converted);
  }
  auto report = report_of(items->second);
  if (!report) return std::unexpected(std::move(report.error()));
  return Evaluation<EvaluatedValue>{std::move(value), std::move(*report)};
}

EngineResult<FilterResult> evaluate_filter_expression(PyObject* compiler, PyObject* target, PyObject* filter,
                                                      PyObject* stdlib) {
  auto locals = checked(PyDict_New());
  if (!locals) return std::unexpected(std::move(locals.error()));
  if (PyDict_SetItemString(locals->get(), "this", compiler) != 0 ||
      PyDict_SetItemString(locals->get(), "target", target) != 0 ||
      PyDict_SetItemString(locals->get(), "filter", filter) != 0 ||
      PyDict_SetItemString(locals->get(), "stdlib", stdlib) != 0) {
    return raised();
  }
  auto result = run_snippet("this.evaluate_filter(target, filter, stdlib)", locals->get());
  if (!result) return std::unexpected(std::move(result.error()));
  auto items = pair_items(*result);
  if (!items) return std::unexpected(std::move(items.error()));
  if (!PyBool_Check(items->first.get())) {
    return failed(EngineCastError(items->first, ObjectRef::borrow(reinterpret_cast<PyObject*>(&PyBool_Type))));
  }
  auto report = report_of(items->second);
  if (!report) return std::unexpected(std::move(report.error()));
  return FilterResult{items->first.get() == Py_True, std::move(*report)};
}

EngineResult<void> set_scope_argument(PyObject* keywords, PyObject* scope) {
  if (PyDict_SetItemString(keywords, "scope", scope) != 0) return raised();
  return {};
}

EngineResult<ObjectRef> compiler_evaluate_feature(PyObject* compiler, PyObject* expression, PyObject* keywords) {
  return call_with_keywords(compiler, "evaluate_feature", expression, keywords);
}

EngineResult<ObjectRef> get_member(PyObject* ns, const std::string& name) {
  auto text = checked(PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
  if (!text) return text;
  auto method = checked(PyUnicode_FromString("get_member"));
  if (!method) return method;
  return checked(PyObject_CallMethodOneArg(ns, method->get(), text->get()));
}

EngineResult<std::optional<Element>> get_member_element(PyObject* ns, const std::string& name) {
  auto member = get_member(ns, name);
  if (!member) return std::unexpected(std::move(member.error()));
  if (member->get() == Py_None) return std::optional<Element>();
  auto element = extract_element(*member);
  if (!element) return failed(std::move(element.error()));
  return std::optional<Element>(std::move(*element));
}

EngineResult<Compiler> new_compiler() {
  ObjectRef cls = compiler_type();
  auto compiler = checked(PyObject_CallFunction(cls.get(), "ii", 100000, 1000));
  if (!compiler) return std::unexpected(std::move(compiler.error()));
  auto handle = extract_compiler(*compiler);
  if (!handle) return failed(std::move(handle.error()));
  return std::move(*handle);
}

}  // namespace plovik::api
