// Python values to and from the neutral JSON tree: the payload of a usage of
// unknown kind crosses the boundary this way. Both directions walk with a
// stack of their own, so deep values fit any thread's C stack. Nesting from
// Python is bounded (256 containers below a usage's dict), so a list that
// contains itself raises RecursionError.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include "kestro/utils/json_value.hpp"
#include "kestro_py/py_exception.hpp"

namespace kestro::py {

// A usage given from Python: a dict (or subclass) whose keys are strings and
// whose values JSON can hold, as a JSON object in the dict's order.
PyResult<json::Object> usage_from_py(PyObject* object);
PyResult<json::Object> py_dict_to_json_object(PyObject* dict);
PyResult<json::Value> py_to_json_value(PyObject* object);

// New Python objects: null None, booleans bool, integers int, other numbers
// float, strings str, arrays list, objects dict (members in order).
PyResult<PyRef> json_value_to_py(const json::Value& value);
PyResult<PyRef> json_object_to_py(const json::Object& object);

}  // namespace kestro::py
