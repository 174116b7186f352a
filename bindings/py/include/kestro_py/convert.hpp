// Conversions of plain Python values to and from C++ values: the argument
// conversions every module function shares, and the results they return.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro_py/py_exception.hpp"

namespace kestro::py {

// TypeError "'{type}' object is not an instance of '{expected}'", or for None
// "'None' is not an instance of '{expected}'".
PyException not_an_instance(PyObject* object, std::string_view expected);

// A `str` (or subclass) as its UTF-8 text; a lone surrogate fails with the
// UnicodeEncodeError of CPython.
PyResult<std::string> str_from_py(PyObject* object);
// None (or an omitted argument) as absent, anything else as str_from_py.
PyResult<std::optional<std::string>> optional_str_from_py(PyObject* object);
// True or False (NumPy's boolean scalars included); no other object.
PyResult<bool> bool_from_py(PyObject* object);
// Any sequence except a `str`, each item converted by `item_from_py`; the
// first bad item fails the whole sequence.
template <typename T>
PyResult<std::vector<T>> sequence_from_py(PyObject* object, PyResult<T> (*item_from_py)(PyObject*));
// Any sequence except a `str`, each item as str_from_py.
PyResult<std::vector<std::string>> str_list_from_py(PyObject* object);
// A type object (an instance of `type`), as a new reference.
PyResult<PyRef> type_from_py(PyObject* object);

PyResult<PyRef> str_to_py(std::string_view text);
PyResult<PyRef> optional_str_to_py(const std::optional<std::string>& text);
PyResult<PyRef> str_list_to_py(const std::vector<std::string>& texts);

// A new list of the items converted by `item_to_py`.
template <typename T, typename Convert>
PyResult<PyRef> list_to_py(const std::vector<T>& items, Convert&& item_to_py) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return fetch_error();
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyResult<PyRef> item = item_to_py(items[i]);
    if (!item) return item;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item->release());
  }
  return list;
}

template <typename T>
PyResult<std::vector<T>> sequence_from_py(PyObject* object, PyResult<T> (*item_from_py)(PyObject*)) {
  if (PyUnicode_Check(object)) return error_of(PyExc_TypeError, "a `str` cannot be taken as a sequence of strings");
  if (!PySequence_Check(object)) return std::unexpected(not_an_instance(object, "Sequence"));
  Py_ssize_t size = PySequence_Size(object);
  if (size < 0) return fetch_error();
  std::vector<T> items;
  items.reserve(static_cast<std::size_t>(size));
  for (Py_ssize_t i = 0; i < size; ++i) {
    PyRef item = PyRef::steal(PySequence_GetItem(object, i));
    if (!item) return fetch_error();
    auto converted = item_from_py(item.get());
    if (!converted) return std::unexpected(std::move(converted.error()));
    items.push_back(std::move(*converted));
  }
  return items;
}

}  // namespace kestro::py
