#include "kestro_py/py_dict.hpp"

#include "kestro_py/convert.hpp"

namespace kestro::py {

PyResult<void> for_each_dict_item(PyObject* dict, const std::function<PyResult<void>(PyObject*, PyObject*)>& visit) {
  Py_ssize_t size = PyDict_GET_SIZE(dict);
  Py_ssize_t position = 0;
  Py_ssize_t yielded = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (true) {
    if (PyDict_GET_SIZE(dict) != size) return error_of(PyExc_RuntimeError, "dictionary changed size during iteration");
    if (!PyDict_Next(dict, &position, &key, &value)) return {};
    if (++yielded > size) return error_of(PyExc_RuntimeError, "dictionary keys changed during iteration");
    PyRef held_key = PyRef::borrow(key);
    PyRef held_value = PyRef::borrow(value);
    if (auto done = visit(held_key.get(), held_value.get()); !done) return done;
  }
}

DictBuilder::DictBuilder() : dict_(PyRef::steal(PyDict_New())) {
  if (!dict_) failure_.emplace(PyException::fetch());
}

void DictBuilder::set(std::string_view key, PyResult<PyRef> value) {
  if (failure_) return;
  if (!value) {
    failure_.emplace(std::move(value.error()));
    return;
  }
  auto name = str_to_py(key);
  if (!name) {
    failure_.emplace(std::move(name.error()));
    return;
  }
  if (PyDict_SetItem(dict_.get(), name->get(), value->get()) < 0) failure_.emplace(PyException::fetch());
}

PyResult<PyRef> DictBuilder::finish() && {
  if (failure_) return std::unexpected(std::move(*failure_));
  return std::move(dict_);
}

}  // namespace kestro::py
