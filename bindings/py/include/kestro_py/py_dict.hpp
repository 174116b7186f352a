// Walking and building dicts.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <functional>
#include <optional>
#include <utility>
#include <string_view>

#include "kestro_py/py_exception.hpp"

namespace kestro::py {

// Steps through the items of `dict` (a dict or subclass) in the dict's order.
// A dict that changes between steps fails with RuntimeError "dictionary
// changed size during iteration" (its size changed) or "dictionary keys
// changed during iteration" (it would yield more items than it held at the
// start). The dict must outlive the cursor.
class DictCursor {
 public:
  explicit DictCursor(PyObject* dict) : dict_(dict), size_(PyDict_GET_SIZE(dict)) {}
  // The next key and value, held; none after the last.
  PyResult<std::optional<std::pair<PyRef, PyRef>>> next();

 private:
  PyObject* dict_;
  Py_ssize_t size_;
  Py_ssize_t position_ = 0;
  Py_ssize_t yielded_ = 0;
};

// Calls `visit(key, value)` for each item of `dict` (a dict or subclass) in
// the dict's order, stopping at the first failure. The items are held while
// `visit` runs, so it may run Python code; a dict that changes meanwhile
// fails with RuntimeError "dictionary changed size during iteration" (its
// size changed) or "dictionary keys changed during iteration" (it would yield
// more items than it held at the start).
PyResult<void> for_each_dict_item(PyObject* dict, const std::function<PyResult<void>(PyObject*, PyObject*)>& visit);

// Builds a new dict key by key; the first failure (of a value or of the
// insertion) is kept and later keys are ignored.
class DictBuilder {
 public:
  DictBuilder();
  void set(std::string_view key, PyResult<PyRef> value);
  PyResult<PyRef> finish() &&;

 private:
  PyRef dict_;
  std::optional<PyException> failure_;
};

}  // namespace kestro::py
