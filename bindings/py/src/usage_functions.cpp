#include "kestro_py/usage_functions.hpp"

#include <string>

#include "kestro/commands/add.hpp"
#include "kestro/commands/init.hpp"
#include "kestro/commands/remove.hpp"
#include "kestro/model/purl.hpp"
#include "kestro_py/call_frame.hpp"
#include "kestro_py/convert.hpp"
#include "kestro_py/py_errors.hpp"
#include "kestro_py/records.hpp"

namespace kestro::py {

namespace {

using commands::AddError;
using commands::InitError;
using commands::RemoveError;

// The project at `path`, the text exactly as passed.
LocalSrcProject project_at(const std::string& path) { return LocalSrcProject(std::filesystem::path(path)); }

PyRef py_bool(bool value) { return PyRef::borrow(value ? Py_True : Py_False); }

// The built-in class an init failure raises.
PyObject* init_exception_type(const InitError<LocalSrcError>& error) {
  const auto* project = error.get_if<InitError<LocalSrcError>::Project>();
  if (project == nullptr) return PyExc_ValueError;  // the version or the licence
  const LocalSrcError& err = project->err;
  if (err.holds<LocalSrcError::AlreadyExists>()) return PyExc_FileExistsError;
  if (err.holds<LocalSrcError::MissingMeta>() || err.holds<LocalSrcError::MissingInfoMeta>())
    return PyExc_FileNotFoundError;
  if (err.holds<LocalSrcError::Path>() || err.holds<LocalSrcError::Io>()) return PyExc_OSError;
  return PyExc_ValueError;
}

PyResult<PyRef> init_py_local_file(const std::string& name, const std::string& publisher, const std::string& version,
                                   const std::string& path, const std::optional<std::string>& license) {
  auto project = commands::do_init(name, publisher, version, false, license, false, path);
  if (!project) return std::unexpected(builtin_exception(init_exception_type(project.error()), project.error()));
  return none();
}

// `<publisher>/<name>` expanded to its package IRI; anything else as passed.
// A malformed shorthand is the validation failure of the command `E`.
template <typename E>
std::expected<std::string, E> expanded_locator(const std::string& locator) {
  auto expanded = expand_purl_shorthand(locator);
  if (!expanded) {
    return std::unexpected(E(typename E::Validation{ProjectValidationError(
        ProjectValidationError::MalformedUsageKestroPurl{locator, std::move(expanded.error())})}));
  }
  return expanded->value_or(locator);
}

PyResult<PyRef> add_usage(const std::string& path, const InterchangeProjectUsageRaw& usage) {
  auto written = commands::do_add(project_at(path), usage);
  if (!written) return std::unexpected(project_error(render_error_chain(written.error())));
  return py_bool(*written);
}

PyResult<PyRef> add_py(const std::string& path, const std::string& iri,
                       const std::optional<std::string>& version_constraint) {
  auto resource = expanded_locator<AddError<LocalSrcError>>(iri);
  if (!resource) return std::unexpected(project_error(render_error_chain(resource.error())));
  return add_usage(path, ResourceUsageRaw{std::move(*resource), version_constraint});
}

PyResult<PyRef> set_usage_constraint_py(const std::string& path, const std::string& identifier,
                                        const std::optional<std::string>& constraint) {
  auto outcome = commands::do_set_usage_constraint(project_at(path), identifier, constraint);
  if (!outcome) return std::unexpected(project_error(render_error_chain(outcome.error())));
  auto matched = str_to_py(outcome->matched_identifier);
  if (!matched) return matched;
  auto old_constraint = optional_str_to_py(outcome->old_constraint);
  if (!old_constraint) return old_constraint;
  auto new_constraint = optional_str_to_py(outcome->new_constraint);
  if (!new_constraint) return new_constraint;
  return checked(PyTuple_Pack(5, matched->get(), py_bool(outcome->found).get(), py_bool(outcome->changed).get(),
                              old_constraint->get(), new_constraint->get()));
}

PyResult<PyRef> remove_py(const std::string& path, const std::string& iri) {
  auto identifier = expanded_locator<RemoveError<LocalSrcError>>(iri);
  if (!identifier) return std::unexpected(project_error(render_error_chain(identifier.error())));
  auto removed = commands::do_remove(project_at(path), *identifier);
  if (!removed) return std::unexpected(project_error(render_error_chain(removed.error())));
  return list_to_py(*removed, [](const InterchangeProjectUsageRaw& u) { return usage_to_dict(u); });
}

using Str = Arg<str_from_py>;
using OptionalStr = Arg<optional_str_from_py>;

constexpr std::string_view kInitParams[] = {"name", "publisher", "version", "path", "license"};
constexpr Signature kInit{"do_init_py_local_file", kInitParams, 4, {}};
constexpr std::string_view kAddParams[] = {"path", "iri", "version_constraint"};
constexpr Signature kAdd{"do_add_py", kAddParams, 3, {}};
constexpr std::string_view kAddUsageParams[] = {"path", "usage"};
constexpr Signature kAddUsage{"do_add_usage_py", kAddUsageParams, 2, {}};
constexpr std::string_view kSetConstraintParams[] = {"path", "identifier", "constraint"};
constexpr Signature kSetConstraint{"do_set_usage_constraint_py", kSetConstraintParams, 3, {}};
constexpr std::string_view kRemoveParams[] = {"path", "iri"};
constexpr Signature kRemove{"do_remove_py", kRemoveParams, 2, {}};

PyObject* init_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Str, Str, Str, Str, OptionalStr>(kInit, {args, nargs, kwnames}, init_py_local_file);
}
PyObject* add_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Str, Str, OptionalStr>(kAdd, {args, nargs, kwnames}, add_py);
}
PyObject* add_usage_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Str, Arg<usage_from_dict>>(kAddUsage, {args, nargs, kwnames}, add_usage);
}
PyObject* set_constraint_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Str, Str, OptionalStr>(kSetConstraint, {args, nargs, kwnames}, set_usage_constraint_py);
}
PyObject* remove_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Str, Str>(kRemove, {args, nargs, kwnames}, remove_py);
}

}  // namespace

PyMethodDef* init_py_local_file_method() {
  static PyMethodDef def = method_def("do_init_py_local_file", init_entry,
                                      "do_init_py_local_file(name, publisher, version, path, license=None)\n--\n\n");
  return &def;
}

PyMethodDef* add_py_method() {
  static PyMethodDef def = method_def("do_add_py", add_entry, "do_add_py(path, iri, version_constraint)\n--\n\n");
  return &def;
}

PyMethodDef* add_usage_py_method() {
  static PyMethodDef def = method_def("do_add_usage_py", add_usage_entry,
                                      "do_add_usage_py(path, usage)\n--\n\n"
                                      "Add a usage of any kind, given as the model dict itself rather than an\n"
                                      "IRI, so that a new usage kind needs no new entry point here.");
  return &def;
}

PyMethodDef* set_usage_constraint_py_method() {
  static PyMethodDef def = method_def(
      "do_set_usage_constraint_py", set_constraint_entry,
      "do_set_usage_constraint_py(path, identifier, constraint)\n--\n\n"
      "Returns `(matched_identifier, found, changed, old_constraint, new_constraint)`.\n"
      "\n"
      "Every failure raises `ProjectError` (`wrote` stays `False`: nothing is\n"
      "written unless the edit succeeds), matching `do_add_py` and\n"
      "`do_remove_py`, which reject a malformed shorthand or an invalid version\n"
      "requirement the same way. A missing usage is *not* an error here \xE2\x80\x94\n"
      "`found` is `False` and the Python side decides.");
  return &def;
}

PyMethodDef* remove_py_method() {
  static PyMethodDef def = method_def("do_remove_py", remove_entry,
                                      "do_remove_py(path, iri)\n--\n\n"
                                      "Returns the usages that were removed, in declaration order.");
  return &def;
}

}  // namespace kestro::py
