#include "kestro_py/py_dict.hpp"

#include "kestro_py/convert.hpp"

namespace kestro::py {

PyResult<std::optional<std::pair<PyRef, PyRef>>> DictCursor::next() {
  if (PyDict_GET_SIZE(dict_) != size_) return error_of(PyExc_RuntimeError, "dictionary changed size during iteration");
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  if (!PyDict_Next(dict_, &position_, &key, &value)) return std::nullopt;
  if (++yielded_ > size_) return error_of(PyExc_RuntimeError, "dictionary keys changed during iteration");
  return std::pair{PyRef::borrow(key), PyRef::borrow(value)};
}

PyResult<void> for_each_dict_item(PyObject* dict, const std::function<PyResult<void>(PyObject*, PyObject*)>& visit) {
  DictCursor cursor(dict);
  while (true) {
    auto item = cursor.next();
    if (!item) return std::unexpected(std::move(item.error()));
    if (!*item) return {};
    if (auto done = visit((*item)->first.get(), (*item)->second.get()); !done) return done;
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
