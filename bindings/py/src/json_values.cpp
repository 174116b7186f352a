#include "kestro_py/json_values.hpp"

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "kestro_py/convert.hpp"
#include "kestro_py/py_dict.hpp"

namespace kestro::py {

namespace {

// Nesting deeper than this is refused, counted in containers below a
// usage's own dict. Both conversions walk with a stack of their own, not the
// C stack, so the bound holds whatever the thread's stack and frame sizes;
// documents read from files never nest past 128.
constexpr std::size_t kMaxContainerDepth = 256;

std::unexpected<PyException> too_deep() {
  return error_of(PyExc_RecursionError, "maximum recursion depth exceeded while converting a usage to JSON");
}

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

PyResult<json::Value> unsupported(PyObject* object) {
  PyRef type_text = PyRef::steal(PyObject_Str(reinterpret_cast<PyObject*>(Py_TYPE(object))));
  if (!type_text) return fetch_error();
  auto text = str_from_py(type_text.get());
  if (!text) return std::unexpected(std::move(text.error()));
  return error_of(PyExc_TypeError, fmt::format("`{}` cannot appear in a usage: expected a value JSON can hold", *text));
}

// A value that holds no other: none when `object` is a list or dict.
std::optional<PyResult<json::Value>> scalar_to_json(PyObject* object) {
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
  return std::nullopt;
}

// One list or dict being converted: the object (held while it is walked),
// the JSON built so far, and where the walk stands.
struct PyContainer {
  PyRef source;
  json::Value built;
  Py_ssize_t index = 0;               // lists: the next item
  std::optional<DictCursor> cursor;   // dicts
  std::string key;                    // dicts: the key of the item under way

  explicit PyContainer(PyObject* object) : source(PyRef::borrow(object)) {
    if (PyList_Check(object)) {
      built = json::Value(json::Array{});
    } else {
      built = json::Value(json::Object{});
      cursor.emplace(object);
    }
  }

  void add(json::Value value) {
    if (auto* array = std::get_if<json::Array>(&built.v)) array->push_back(std::move(value));
    else std::get<json::Object>(built.v).push_back(std::move(key), std::move(value));
  }

  // The next item to convert, null after the last. A list may shrink while
  // its items are converted; the walk stops at its current end.
  PyResult<PyRef> next() {
    if (!cursor) {
      if (index >= PyList_GET_SIZE(source.get())) return PyRef();
      return PyRef::borrow(PyList_GET_ITEM(source.get(), index++));
    }
    auto item = cursor->next();
    if (!item) return std::unexpected(std::move(item.error()));
    if (!*item) return PyRef();
    auto& [name, value] = **item;
    if (!PyUnicode_Check(name.get())) return error_of(PyExc_TypeError, "a usage's keys must be strings, as JSON requires");
    auto text = str_from_py(name.get());
    if (!text) return std::unexpected(std::move(text.error()));
    key = std::move(*text);
    return std::move(value);
  }
};

// Converts the list or dict `root`; `root_depth` is the nesting it counts
// for (0 for a usage's own dict).
PyResult<json::Value> container_to_json(PyObject* root, std::size_t root_depth) {
  if (root_depth > kMaxContainerDepth) return too_deep();
  std::vector<PyContainer> stack;
  stack.emplace_back(root);
  while (true) {
    auto item = stack.back().next();
    if (!item) return std::unexpected(std::move(item.error()));
    if (!*item) {
      json::Value done = std::move(stack.back().built);
      stack.pop_back();
      if (stack.empty()) return done;
      stack.back().add(std::move(done));
      continue;
    }
    auto scalar = scalar_to_json(item->get());
    if (!scalar) {
      if (root_depth + stack.size() > kMaxContainerDepth) return too_deep();
      stack.emplace_back(item->get());
      continue;
    }
    if (!*scalar) return std::unexpected(std::move(scalar->error()));
    stack.back().add(std::move(**scalar));
  }
}

// One JSON array or object being converted: the node, the Python container
// built so far, the next member, and the key of a dict member under way.
struct JsonContainer {
  const json::Value* node;
  PyRef built;
  std::size_t index = 0;
  PyRef key;
};

// The Python container for `node` (empty, or a list of its length), or none
// when `node` holds no other value.
std::optional<PyResult<PyRef>> new_py_container(const json::Value& node) {
  if (const auto* array = std::get_if<json::Array>(&node.v))
    return checked(PyList_New(static_cast<Py_ssize_t>(array->size())));
  if (std::holds_alternative<json::Object>(node.v)) return checked(PyDict_New());
  return std::nullopt;
}

// A value that holds no other (containers go through new_py_container).
PyResult<PyRef> scalar_to_py(const json::Value& value) {
  struct Visitor {
    PyResult<PyRef> operator()(json::Null) const { return none(); }
    PyResult<PyRef> operator()(bool b) const { return PyRef::borrow(b ? Py_True : Py_False); }
    PyResult<PyRef> operator()(std::uint64_t u) const { return checked(PyLong_FromUnsignedLongLong(u)); }
    PyResult<PyRef> operator()(std::int64_t i) const { return checked(PyLong_FromLongLong(i)); }
    PyResult<PyRef> operator()(double d) const { return checked(PyFloat_FromDouble(d)); }
    PyResult<PyRef> operator()(const std::string& s) const { return str_to_py(s); }
    PyResult<PyRef> operator()(const json::Object&) const { std::unreachable(); }
    PyResult<PyRef> operator()(const json::Array&) const { std::unreachable(); }
  };
  return std::visit(Visitor{}, value.v);
}

// Converts `root` without recursion: a value read from Python or from a
// file comes back however deep it nests.
PyResult<PyRef> json_to_py(const json::Value& root) {
  auto root_container = new_py_container(root);
  if (!root_container) return scalar_to_py(root);
  if (!*root_container) return *root_container;
  std::vector<JsonContainer> stack;
  stack.push_back({&root, std::move(**root_container), 0, {}});
  while (true) {
    JsonContainer& top = stack.back();
    const json::Value* child = nullptr;
    if (const auto* array = std::get_if<json::Array>(&top.node->v)) {
      if (top.index < array->size()) child = &(*array)[top.index];
    } else {
      const auto& members = std::get<json::Object>(top.node->v).members();
      if (top.index < members.size()) {
        auto name = str_to_py(members[top.index].first);
        if (!name) return name;
        top.key = std::move(*name);
        child = &members[top.index].second;
      }
    }
    PyRef value;
    if (child == nullptr) {
      value = std::move(top.built);
      stack.pop_back();
      if (stack.empty()) return value;
    } else if (auto container = new_py_container(*child)) {
      if (!*container) return *container;
      stack.push_back({child, std::move(**container), 0, {}});
      continue;
    } else {
      auto scalar = scalar_to_py(*child);
      if (!scalar) return scalar;
      value = std::move(*scalar);
    }
    JsonContainer& parent = stack.back();
    if (PyList_Check(parent.built.get())) {
      PyList_SET_ITEM(parent.built.get(), static_cast<Py_ssize_t>(parent.index), value.release());
    } else if (PyDict_SetItem(parent.built.get(), parent.key.get(), value.get()) < 0) {
      return fetch_error();
    }
    ++parent.index;
  }
}

}  // namespace

PyResult<json::Object> usage_from_py(PyObject* object) {
  if (!PyDict_Check(object)) return error_of(PyExc_TypeError, "a usage must be a dict, as `.project.json` requires");
  return py_dict_to_json_object(object);
}

PyResult<json::Object> py_dict_to_json_object(PyObject* dict) {
  auto converted = container_to_json(dict, 0);
  if (!converted) return std::unexpected(std::move(converted.error()));
  return std::move(std::get<json::Object>(converted->v));
}

PyResult<json::Value> py_to_json_value(PyObject* object) {
  if (auto scalar = scalar_to_json(object)) return std::move(*scalar);
  return container_to_json(object, 1);
}

PyResult<PyRef> json_value_to_py(const json::Value& value) { return json_to_py(value); }

PyResult<PyRef> json_object_to_py(const json::Object& object) {
  // A bare object (a usage's own) is not inside a value the walk could start
  // from: its members' values are walked one by one.
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return fetch_error();
  for (const auto& [key, member] : object.members()) {
    auto name = str_to_py(key);
    if (!name) return name;
    auto value = json_to_py(member);
    if (!value) return value;
    if (PyDict_SetItem(dict.get(), name->get(), value->get()) < 0) return fetch_error();
  }
  return dict;
}

}  // namespace kestro::py
