#include "plovik/tables/tables_error.hpp"

#include <fmt/format.h>

namespace plovik::tables {

namespace {

TablesError current_exception() {
  return TablesError::Python{api::ObjectRef::steal(PyErr_GetRaisedException())};
}

TablesResult<api::ObjectRef> import_by_name(const std::string& dotted) {
  api::ObjectRef name = api::ObjectRef::steal(PyUnicode_FromStringAndSize(dotted.data(), static_cast<Py_ssize_t>(dotted.size())));
  if (!name) return std::unexpected(current_exception());
  api::ObjectRef module = api::ObjectRef::steal(PyImport_Import(name.get()));
  if (!module) return std::unexpected(current_exception());
  return module;
}

}  // namespace

TablesError TablesError::from_engine(const api::EngineError& error) {
  error.raise();
  return current_exception();
}

std::string TablesError::text_of(const Python& v) {
  PyObject* exception = v.exception.get();
  std::string type_name = "<unknown>";
  api::ObjectRef qualified = api::ObjectRef::steal(PyType_GetQualName(Py_TYPE(exception)));
  const char* type_text = qualified ? PyUnicode_AsUTF8(qualified.get()) : nullptr;
  if (type_text != nullptr) type_name = type_text;
  api::ObjectRef text = api::ObjectRef::steal(PyObject_Str(exception));
  const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
  if (utf8 == nullptr) {
    PyErr_Clear();
    return type_name + ": <exception str() failed>";
  }
  return type_name + ": " + utf8;
}
std::string TablesError::text_of(const Internal& v) { return "internal error: " + v.text; }
std::string TablesError::text_of(const Message& v) { return v.text; }
std::string TablesError::text_of(const ModelHasErrors& v) {
  return "The model contains errors and cannot be rendered. Please fix the following issues and reload:\n" +
         v.diagnostics;
}
std::string TablesError::text_of(const CellViewTypeCount& v) {
  return fmt::format("EditableMatrixView \"{}\" must expose exactly one Type from its cellView; got {}.", v.view, v.count);
}
std::string TablesError::text_of(const RootDefinitionCount& v) {
  return fmt::format("HierarchicalTableView \"{}\" must expose exactly one Definition; got {}.", v.view, v.count);
}
std::string TablesError::text_of(const ViewNotFound&) {
  return "The view could not be found in the model. It may have been deleted or renamed; close this panel and "
         "reopen the view from the Plovik Views explorer.";
}
std::string TablesError::text_of(const LoadAborted&) {
  return "the view load was aborted (superseded by a newer load or a mutation)";
}

void raise_tables_error(const TablesError& error) {
  if (const auto* python = error.get_if<TablesError::Python>()) {
    PyErr_SetRaisedException(Py_NewRef(python->exception.get()));
    return;
  }
  PyErr_SetString(PyExc_RuntimeError, error.message().c_str());
}

NamedCellMessage multiple_values_message(std::string name) {
  std::string message = fmt::format("Attribute {} has multiple values but multiplicity allows only 1", name);
  return {std::move(message), std::move(name)};
}

NamedCellMessage multiple_documentation_message(std::string_view name) {
  return {fmt::format("Multiple documentation elements match name {}", name), std::string(name)};
}

TablesResult<api::ObjectRef> import_engine() { return import_by_name("_plovik"); }
TablesResult<api::ObjectRef> import_engine_module(std::string_view name) {
  return import_by_name(fmt::format("{}.{}", "_plovik", name));
}

}  // namespace plovik::tables
