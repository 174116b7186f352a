// Project records as Python dicts with snake_case keys: the information
// record, the metadata record, usages and checksum entries, read from any
// mapping and written as new dicts. Only Python types are checked; versions,
// IRIs, times and paths stay text.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include "kestro/model/records.hpp"
#include "kestro/project/env_checksum.hpp"
#include "kestro_py/py_exception.hpp"

namespace kestro::py {

PyResult<InterchangeProjectInfoRaw> info_from_dict(PyObject* object);
PyResult<InterchangeProjectMetadataRaw> metadata_from_dict(PyObject* object);
// Tries the kinds Resource, Directory, KparPath, then Unknown; when all fail,
// a TypeError that lists each kind's failure.
PyResult<InterchangeProjectUsageRaw> usage_from_dict(PyObject* object);
PyResult<InterchangeProjectChecksumRaw> checksum_from_py(PyObject* object);

PyResult<PyRef> usage_to_dict(const InterchangeProjectUsageRaw& usage);
PyResult<PyRef> checksum_to_py(const InterchangeProjectChecksumRaw& checksum);
// The checksum of an installed project as a one-key dict: `{"src_cksum": hex}`
// or `{"kpar_cksum": hex}`.
PyResult<PyRef> env_checksum_to_py(const project::EnvProjectChecksum& checksum);
// A new 2-tuple (information dict, metadata dict).
PyResult<PyRef> project_to_dicts(const InterchangeProjectInfoRaw& info, const InterchangeProjectMetadataRaw& meta);

// The method definition of `_do_model_roundtrip_py`.
PyMethodDef* model_roundtrip_method();

}  // namespace kestro::py
