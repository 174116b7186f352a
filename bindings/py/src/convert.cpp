#include "kestro_py/convert.hpp"

#include <cstring>

#include <fmt/format.h>

namespace kestro::py {

PyException not_an_instance(PyObject* object, std::string_view expected) {
  if (object == Py_None) return PyException::make(PyExc_TypeError, fmt::format("'None' is not an instance of '{}'", expected));
  PyRef name = PyRef::steal(PyType_GetQualName(Py_TYPE(object)));
  if (!name) return PyException::fetch();
  auto text = str_from_py(name.get());
  if (!text) return std::move(text.error());
  return PyException::make(PyExc_TypeError, fmt::format("'{}' object is not an instance of '{}'", *text, expected));
}

PyResult<std::string> str_from_py(PyObject* object) {
  if (!PyUnicode_Check(object)) return std::unexpected(not_an_instance(object, "str"));
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(object, &size);
  if (text == nullptr) return fetch_error();
  return std::string(text, static_cast<std::size_t>(size));
}

PyResult<std::optional<std::string>> optional_str_from_py(PyObject* object) {
  if (object == nullptr || object == Py_None) return std::nullopt;
  return str_from_py(object);
}

namespace {
bool is_numpy_bool(PyObject* object) {
  const char* name = Py_TYPE(object)->tp_name;
  return std::strcmp(name, "numpy.bool_") == 0 || std::strcmp(name, "numpy.bool") == 0;
}
}  // namespace

PyResult<bool> bool_from_py(PyObject* object) {
  if (object == Py_True) return true;
  if (object == Py_False) return false;
  if (is_numpy_bool(object)) {
    int truth = PyObject_IsTrue(object);
    if (truth < 0) return fetch_error();
    return truth == 1;
  }
  return std::unexpected(not_an_instance(object, "bool"));
}

PyResult<std::vector<std::string>> str_list_from_py(PyObject* object) {
  return sequence_from_py<std::string>(object, str_from_py);
}

PyResult<PyRef> type_from_py(PyObject* object) {
  if (!PyType_Check(object)) return std::unexpected(not_an_instance(object, "type"));
  return PyRef::borrow(object);
}

PyResult<PyRef> str_to_py(std::string_view text) {
  return checked(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyResult<PyRef> optional_str_to_py(const std::optional<std::string>& text) {
  if (!text) return none();
  return str_to_py(*text);
}

PyResult<PyRef> str_list_to_py(const std::vector<std::string>& texts) {
  return list_to_py(texts, [](const std::string& text) { return str_to_py(text); });
}

}  // namespace kestro::py
