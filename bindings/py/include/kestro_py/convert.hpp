// Conversions of plain Python values to and from C++ values: the argument
// conversions every module function shares, and the results they return.
#pragma once

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
// Any sequence except a `str`, each item as str_from_py.
PyResult<std::vector<std::string>> str_list_from_py(PyObject* object);
// A type object (an instance of `type`), as a new reference.
PyResult<PyRef> type_from_py(PyObject* object);

PyResult<PyRef> str_to_py(std::string_view text);
PyResult<PyRef> optional_str_to_py(const std::optional<std::string>& text);
PyResult<PyRef> str_list_to_py(const std::vector<std::string>& texts);

}  // namespace kestro::py
