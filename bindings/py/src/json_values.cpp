#include "kestro_py/json_values.hpp"

#include <cmath>
#include <optional>
#include <variant>

#include <fmt/format.h>

#include "kestro_py/convert.hpp"
#include "kestro_py/py_dict.hpp"

namespace kestro::py {

namespace {

// Nesting deeper than this is refused whatever Python's own limit, so that
// the conversion fits the C stack of small threads too (one level costs
// about a kilobyte); documents read from files never nest past 128.
constexpr int kMaxContainerDepth = 256;
thread_local int t_container_depth = 0;

// Holds one level of Python's recursion budget (and of our own cap) for the
// guard's lifetime.
class RecursionGuard {
 public:
  explicit RecursionGuard(const char* where) {
    if (t_container_depth >= kMaxContainerDepth) {
      PyErr_Format(PyExc_RecursionError, "maximum recursion depth exceeded%s", where);
      entered_ = false;
      return;
    }
    entered_ = Py_EnterRecursiveCall(where) == 0;
    if (entered_) ++t_container_depth;
  }
  ~RecursionGuard() {
    if (entered_) {
      --t_container_depth;
      Py_LeaveRecursiveCall();
    }
  }
  RecursionGuard(const RecursionGuard&) = delete;
  RecursionGuard& operator=(const RecursionGuard&) = delete;
  bool entered() const { return entered_; }

 private:
  bool entered_;
};

PyResult<json::Value> float_to_json(PyObject* object) {
  double number = PyFloat_AsDouble(object);
  if (number == -1.0 && PyErr_Occurred()) return fetch_error();
  if (std::isnan(number)) return error_of(PyExc_ValueError, "`NaN` is not valid JSON");
  if (std::isinf(number)) return error_of(PyExc_ValueError, number > 0 ? "`inf` is not valid JSON" : "`-inf` is not valid JSON");
  return json::Value(number);
}

PyResult<json::Value> int_to_json(PyObject* object) {
  long long number = PyLong_AsLongLong(object);
  if (number == -1 && PyErr_Occurred()) return fetch_error();
  if (number >= 0) return json::Value(static_cast<std::uint64_t>(number));
  return json::Value(static_cast<std::int64_t>(number));
}

PyResult<json::Value> list_to_json(PyObject* list) {
  json::Array array;
  Py_ssize_t size = PyList_GET_SIZE(list);
  for (Py_ssize_t i = 0; i < size && i < PyList_GET_SIZE(list); ++i) {
    PyRef item = PyRef::borrow(PyList_GET_ITEM(list, i));
    auto value = py_to_json_value(item.get());
    if (!value) return std::unexpected(std::move(value.error()));
    array.push_back(std::move(*value));
  }
  return json::Value(std::move(array));
}

PyResult<json::Value> unsupported(PyObject* object) {
  PyRef type_text = PyRef::steal(PyObject_Str(reinterpret_cast<PyObject*>(Py_TYPE(object))));
  if (!type_text) return fetch_error();
  auto text = str_from_py(type_text.get());
  if (!text) return std::unexpected(std::move(text.error()));
  return error_of(PyExc_TypeError, fmt::format("`{}` cannot appear in a usage: expected a value JSON can hold", *text));
}

}  // namespace

PyResult<json::Object> usage_from_py(PyObject* object) {
  if (!PyDict_Check(object)) return error_of(PyExc_TypeError, "a usage must be a dict, as `.project.json` requires");
  return py_dict_to_json_object(object);
}

PyResult<json::Object> py_dict_to_json_object(PyObject* dict) {
  json::Object result;
  auto walked = for_each_dict_item(dict, [&](PyObject* key, PyObject* value) -> PyResult<void> {
    if (!PyUnicode_Check(key)) return error_of(PyExc_TypeError, "a usage's keys must be strings, as JSON requires");
    auto name = str_from_py(key);
    if (!name) return std::unexpected(std::move(name.error()));
    auto converted = py_to_json_value(value);
    if (!converted) return std::unexpected(std::move(converted.error()));
    result.push_back(std::move(*name), std::move(*converted));
    return {};
  });
  if (!walked) return std::unexpected(std::move(walked.error()));
  return result;
}

PyResult<json::Value> py_to_json_value(PyObject* object) {
  if (object == Py_None) return json::Value(json::Null{});
  if (PyBool_Check(object)) return json::Value(object == Py_True);
  if (PyUnicode_Check(object)) {
    auto text = str_from_py(object);
    if (!text) return std::unexpected(std::move(text.error()));
    return json::Value(std::move(*text));
  }
  if (PyLong_Check(object)) return int_to_json(object);
  if (PyFloat_Check(object)) return float_to_json(object);
  if (!PyDict_Check(object) && !PyList_Check(object)) return unsupported(object);
  RecursionGuard guard(" while converting a usage to JSON");
  if (!guard.entered()) return fetch_error();
  if (PyList_Check(object)) return list_to_json(object);
  auto members = py_dict_to_json_object(object);
  if (!members) return std::unexpected(std::move(members.error()));
  return json::Value(std::move(*members));
}

PyResult<PyRef> json_value_to_py(const json::Value& value) {
  // Only containers take a level, as on the way in, so that every value read
  // from Python can be written back.
  std::optional<RecursionGuard> guard;
  if (std::holds_alternative<json::Array>(value.v) || std::holds_alternative<json::Object>(value.v)) {
    if (!guard.emplace(" while converting JSON to Python").entered()) return fetch_error();
  }
  struct Visitor {
    PyResult<PyRef> operator()(json::Null) const { return none(); }
    PyResult<PyRef> operator()(bool b) const { return PyRef::borrow(b ? Py_True : Py_False); }
    PyResult<PyRef> operator()(std::uint64_t u) const { return checked(PyLong_FromUnsignedLongLong(u)); }
    PyResult<PyRef> operator()(std::int64_t i) const { return checked(PyLong_FromLongLong(i)); }
    PyResult<PyRef> operator()(double d) const { return checked(PyFloat_FromDouble(d)); }
    PyResult<PyRef> operator()(const std::string& s) const { return str_to_py(s); }
    PyResult<PyRef> operator()(const json::Object& o) const { return json_object_to_py(o); }
    PyResult<PyRef> operator()(const json::Array& a) const {
      return list_to_py(a, [](const json::Value& item) { return json_value_to_py(item); });
    }
  };
  return std::visit(Visitor{}, value.v);
}

PyResult<PyRef> json_object_to_py(const json::Object& object) {
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return fetch_error();
  for (const auto& [key, member] : object.members()) {
    auto name = str_to_py(key);
    if (!name) return name;
    auto value = json_value_to_py(member);
    if (!value) return value;
    if (PyDict_SetItem(dict.get(), name->get(), value->get()) < 0) return fetch_error();
  }
  return dict;
}

}  // namespace kestro::py
