#include "kestro_py/info_functions.hpp"

#include <string>

#include "kestro/project/record_files.hpp"
#include "kestro_py/call_frame.hpp"
#include "kestro_py/convert.hpp"
#include "kestro_py/py_errors.hpp"
#include "kestro_py/records.hpp"

namespace kestro::py {

namespace {

// Both records of the directory project at `path`, read with the GIL held
// (no runtime, no network). Failures are Python's own RuntimeError.
PyResult<PyRef> info_py_path(const std::string& path) {
  LocalSrcProject project;
  project.project_path = path;
  auto records = read_local_src_project(project);
  if (!records) return std::unexpected(builtin_exception(PyExc_RuntimeError, records.error()));
  auto& [info, meta] = *records;
  if (info && meta) return project_to_dicts(*info, *meta);
  if (info) return error_of(PyExc_RuntimeError, "project has .project.json but not .meta.json");
  if (meta) return error_of(PyExc_RuntimeError, "project has .meta.json but not .project.json");
  return error_of(PyExc_RuntimeError, "project is missing");
}

constexpr std::string_view kPathParam[] = {"path"};
constexpr Signature kInfoPyPath{"do_info_py_path", kPathParam, 1, {}};

PyObject* info_py_path_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<str_from_py>>(kInfoPyPath, {args, nargs, kwnames}, info_py_path);
}

}  // namespace

PyMethodDef* info_py_path_method() {
  static PyMethodDef def = method_def("do_info_py_path", info_py_path_entry, "do_info_py_path(path)\n--\n\n");
  return &def;
}

}  // namespace kestro::py
