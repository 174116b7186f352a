#include "kestro_py/records.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "kestro_py/call_frame.hpp"
#include "kestro_py/convert.hpp"
#include "kestro_py/json_values.hpp"
#include "kestro_py/py_dict.hpp"

namespace kestro::py {

namespace {

// TypeError "failed to extract field {record}.{field}" caused by `cause`.
PyException field_error(std::string_view record, std::string_view field, PyException cause) {
  PyException error = PyException::make(PyExc_TypeError, fmt::format("failed to extract field {}.{}", record, field));
  error.set_cause(std::move(cause));
  return error;
}

// Reads the fields of one record from a mapping, by subscription, in the
// order asked. A failed lookup is kept as it is; a failed conversion is
// wrapped in the field error. After the first failure nothing more is read.
class RecordReader {
 public:
  RecordReader(PyObject* mapping, std::string_view record) : mapping_(mapping), record_(record) {}

  template <typename T, typename Convert>
  bool read(std::string_view key, Convert&& convert, T& out) {
    if (failure_) return false;
    auto name = str_to_py(key);
    if (!name) return fail(std::move(name.error()));
    return read(name->get(), key, convert, out);
  }

  template <typename T, typename Convert>
  bool read(PyObject* key, std::string_view key_text, Convert&& convert, T& out) {
    if (failure_) return false;
    PyRef value = PyRef::steal(PyObject_GetItem(mapping_, key));
    if (!value) return fail(PyException::fetch());
    auto converted = convert(value.get());
    if (!converted) return fail(field_error(record_, key_text, std::move(converted.error())));
    out = std::move(*converted);
    return true;
  }

  std::unexpected<PyException> failure() && { return std::unexpected(std::move(*failure_)); }

 private:
  bool fail(PyException exception) {
    failure_.emplace(std::move(exception));
    return false;
  }

  PyObject* mapping_;
  std::string_view record_;
  std::optional<PyException> failure_;
};

PyResult<std::optional<bool>> optional_bool_from_py(PyObject* object) {
  if (object == Py_None) return std::nullopt;
  auto value = bool_from_py(object);
  if (!value) return std::unexpected(std::move(value.error()));
  return *value;
}

// A dict (or subclass) with `str` keys, its values converted by `convert`.
template <typename V>
PyResult<OrderedMap<V>> map_from_py(PyObject* object, PyResult<V> (*convert)(PyObject*)) {
  if (!PyDict_Check(object)) return std::unexpected(not_an_instance(object, "dict"));
  OrderedMap<V> map;
  auto walked = for_each_dict_item(object, [&](PyObject* key, PyObject* value) -> PyResult<void> {
    auto name = str_from_py(key);
    if (!name) return std::unexpected(std::move(name.error()));
    auto converted = convert(value);
    if (!converted) return std::unexpected(std::move(converted.error()));
    map.insert_or_assign(std::move(*name), std::move(*converted));
    return {};
  });
  if (!walked) return std::unexpected(std::move(walked.error()));
  return map;
}

PyResult<OrderedMap<std::string>> str_map_from_py(PyObject* object) { return map_from_py<std::string>(object, str_from_py); }

PyResult<std::optional<OrderedMap<InterchangeProjectChecksumRaw>>> checksum_map_from_py(PyObject* object) {
  if (object == Py_None) return std::nullopt;
  return map_from_py<InterchangeProjectChecksumRaw>(object, checksum_from_py);
}

PyResult<std::vector<InterchangeProjectUsageRaw>> usage_list_from_py(PyObject* object) {
  return sequence_from_py<InterchangeProjectUsageRaw>(object, usage_from_dict);
}

// The key of a checksum entry, made once per process.
PyObject* interned(const char* text) {
  PyObject* key = PyUnicode_InternFromString(text);
  if (key == nullptr) PyErr_Clear();
  return key;
}

template <typename V, typename Convert>
PyResult<PyRef> map_to_py(const OrderedMap<V>& map, Convert&& convert) {
  DictBuilder dict;
  for (const auto& [key, value] : map) dict.set(key, convert(value));
  return std::move(dict).finish();
}

PyResult<PyRef> optional_bool_to_py(std::optional<bool> value) {
  if (!value) return none();
  return PyRef::borrow(*value ? Py_True : Py_False);
}

// "TypeError: message" followed by ", caused by TypeError: message" for each
// cause in turn. A chain that leads back to an exception already described
// (Python lets `__cause__` form a loop) ends there.
std::string describe_with_causes(const PyException& exception) {
  std::string text;
  std::vector<PyRef> described;  // held, so that no address is reused meanwhile
  auto seen = [&](PyObject* link) {
    return std::any_of(described.begin(), described.end(), [&](const PyRef& d) { return d.get() == link; });
  };
  PyRef current = PyRef::borrow(exception.instance());
  while (current && !seen(current.get())) {
    described.push_back(current);
    PyRef type_name = PyRef::steal(PyType_GetName(Py_TYPE(current.get())));
    PyRef message = PyRef::steal(PyObject_Str(current.get()));
    auto type_text = type_name ? str_from_py(type_name.get()) : fetch_error();
    auto message_text = message ? str_from_py(message.get()) : fetch_error();
    if (!text.empty()) text += ", caused by ";
    text += fmt::format("{}: {}", type_text.value_or("<unknown>"), message_text.value_or("<unprintable>"));
    current = PyRef::steal(PyException_GetCause(current.get()));
  }
  return text;
}

PyResult<InterchangeProjectUsageRaw> resource_from_dict(PyObject* object) {
  RecordReader reader(object, "InterchangeProjectUsageG::Resource");
  ResourceUsageRaw usage;
  if (!reader.read("resource", str_from_py, usage.resource) ||
      !reader.read("version_constraint", optional_str_from_py, usage.version_constraint)) {
    return std::move(reader).failure();
  }
  return usage;
}

template <typename Usage>
PyResult<InterchangeProjectUsageRaw> path_usage_from_dict(PyObject* object, std::string_view record,
                                                          std::string_view path_key) {
  RecordReader reader(object, record);
  Usage usage;
  std::string& path = [&]() -> std::string& {
    if constexpr (std::is_same_v<Usage, DirectoryUsageRaw>) return usage.dir;
    else return usage.kpar_path;
  }();
  if (!reader.read(path_key, str_from_py, path) || !reader.read("publisher", str_from_py, usage.publisher) ||
      !reader.read("name", str_from_py, usage.name)) {
    return std::move(reader).failure();
  }
  return usage;
}

PyResult<InterchangeProjectUsageRaw> unknown_from_dict(PyObject* object) {
  auto members = usage_from_py(object);
  if (!members) return std::unexpected(field_error("InterchangeProjectUsageG::Unknown", "0", std::move(members.error())));
  return UnknownUsage{std::move(*members)};
}

}  // namespace

PyResult<InterchangeProjectInfoRaw> info_from_dict(PyObject* object) {
  RecordReader reader(object, "InterchangeProjectInfoG");
  InterchangeProjectInfoRaw info;
  if (!reader.read("name", str_from_py, info.name) || !reader.read("publisher", optional_str_from_py, info.publisher) ||
      !reader.read("description", optional_str_from_py, info.description) ||
      !reader.read("version", str_from_py, info.version) ||
      !reader.read("license", optional_str_from_py, info.license) ||
      !reader.read("maintainer", str_list_from_py, info.maintainer) ||
      !reader.read("website", optional_str_from_py, info.website) ||
      !reader.read("topic", str_list_from_py, info.topic) || !reader.read("usage", usage_list_from_py, info.usage)) {
    return std::move(reader).failure();
  }
  return info;
}

PyResult<InterchangeProjectMetadataRaw> metadata_from_dict(PyObject* object) {
  RecordReader reader(object, "InterchangeProjectMetadataG");
  InterchangeProjectMetadataRaw meta;
  if (!reader.read("index", str_map_from_py, meta.index) || !reader.read("created", str_from_py, meta.created) ||
      !reader.read("metamodel", optional_str_from_py, meta.metamodel) ||
      !reader.read("includes_derived", optional_bool_from_py, meta.includes_derived) ||
      !reader.read("includes_implied", optional_bool_from_py, meta.includes_implied) ||
      !reader.read("checksum", checksum_map_from_py, meta.checksum)) {
    return std::move(reader).failure();
  }
  return meta;
}

PyResult<InterchangeProjectUsageRaw> usage_from_dict(PyObject* object) {
  struct Kind {
    std::string_view name;
    PyResult<InterchangeProjectUsageRaw> (*read)(PyObject*);
  };
  static constexpr Kind kKinds[] = {
      {"Resource", resource_from_dict},
      {"Directory",
       [](PyObject* o) {
         return path_usage_from_dict<DirectoryUsageRaw>(o, "InterchangeProjectUsageG::Directory", "dir");
       }},
      {"KparPath",
       [](PyObject* o) {
         return path_usage_from_dict<KparPathUsageRaw>(o, "InterchangeProjectUsageG::KparPath", "kpar_path");
       }},
      {"Unknown", unknown_from_dict},
  };
  std::string text = "failed to extract enum InterchangeProjectUsageG ('Resource | Directory | KparPath | Unknown')";
  for (const Kind& kind : kKinds) {
    auto usage = kind.read(object);
    if (usage) return usage;
    text += fmt::format("\n- variant {} ({}): {}", kind.name, kind.name, describe_with_causes(usage.error()));
  }
  return error_of(PyExc_TypeError, text);
}

PyResult<InterchangeProjectChecksumRaw> checksum_from_py(PyObject* object) {
  static PyObject* const kValue = interned("value");
  static PyObject* const kAlgorithm = interned("algorithm");
  if (kValue == nullptr || kAlgorithm == nullptr) return error_of(PyExc_MemoryError, "checksum keys");
  RecordReader reader(object, "InterchangeProjectChecksumRaw");
  InterchangeProjectChecksumRaw checksum;
  if (!reader.read(kValue, "value", str_from_py, checksum.value) ||
      !reader.read(kAlgorithm, "algorithm", str_from_py, checksum.algorithm)) {
    return std::move(reader).failure();
  }
  return checksum;
}

PyResult<PyRef> checksum_to_py(const InterchangeProjectChecksumRaw& checksum) {
  DictBuilder dict;
  dict.set("value", str_to_py(checksum.value));
  dict.set("algorithm", str_to_py(checksum.algorithm));
  return std::move(dict).finish();
}

PyResult<PyRef> usage_to_dict(const InterchangeProjectUsageRaw& usage) {
  struct Visitor {
    PyResult<PyRef> operator()(const ResourceUsageRaw& u) const {
      DictBuilder dict;
      dict.set("resource", str_to_py(u.resource));
      dict.set("version_constraint", optional_str_to_py(u.version_constraint));
      return std::move(dict).finish();
    }
    PyResult<PyRef> operator()(const DirectoryUsageRaw& u) const { return path_usage("dir", u.dir, u.publisher, u.name); }
    PyResult<PyRef> operator()(const KparPathUsageRaw& u) const {
      return path_usage("kpar_path", u.kpar_path, u.publisher, u.name);
    }
    PyResult<PyRef> operator()(const UnknownUsage& u) const { return json_object_to_py(u.object); }

    static PyResult<PyRef> path_usage(std::string_view key, const std::string& path, const std::string& publisher,
                                      const std::string& name) {
      DictBuilder dict;
      dict.set(key, str_to_py(path));
      dict.set("publisher", str_to_py(publisher));
      dict.set("name", str_to_py(name));
      return std::move(dict).finish();
    }
  };
  return std::visit(Visitor{}, usage);
}

PyResult<PyRef> project_to_dicts(const InterchangeProjectInfoRaw& info, const InterchangeProjectMetadataRaw& meta) {
  DictBuilder info_dict;
  info_dict.set("name", str_to_py(info.name));
  info_dict.set("publisher", optional_str_to_py(info.publisher));
  info_dict.set("description", optional_str_to_py(info.description));
  info_dict.set("version", str_to_py(info.version));
  info_dict.set("license", optional_str_to_py(info.license));
  info_dict.set("maintainer", str_list_to_py(info.maintainer));
  info_dict.set("website", optional_str_to_py(info.website));
  info_dict.set("topic", str_list_to_py(info.topic));
  info_dict.set("usage", list_to_py(info.usage, usage_to_dict));
  auto info_py = std::move(info_dict).finish();
  if (!info_py) return info_py;

  DictBuilder meta_dict;
  meta_dict.set("index", map_to_py(meta.index, str_to_py));
  meta_dict.set("created", str_to_py(meta.created));
  meta_dict.set("metamodel", optional_str_to_py(meta.metamodel));
  meta_dict.set("includes_derived", optional_bool_to_py(meta.includes_derived));
  meta_dict.set("includes_implied", optional_bool_to_py(meta.includes_implied));
  meta_dict.set("checksum", meta.checksum ? map_to_py(*meta.checksum, checksum_to_py) : none());
  auto meta_py = std::move(meta_dict).finish();
  if (!meta_py) return meta_py;
  return checked(PyTuple_Pack(2, info_py->get(), meta_py->get()));
}

namespace {

constexpr std::string_view kRoundtripParams[] = {"info", "metadata"};
constexpr Signature kModelRoundtrip{"_do_model_roundtrip_py", kRoundtripParams, 2, {}};

PyObject* model_roundtrip_py(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<ArgWithoutNote<info_from_dict>, ArgWithoutNote<metadata_from_dict>>(
      kModelRoundtrip, {args, nargs, kwnames},
      [](const InterchangeProjectInfoRaw& info, const InterchangeProjectMetadataRaw& meta) {
        return project_to_dicts(info, meta);
      });
}

}  // namespace

PyMethodDef* model_roundtrip_method() {
  static PyMethodDef def =
      method_def("_do_model_roundtrip_py", model_roundtrip_py, "_do_model_roundtrip_py(info, metadata)\n--\n\n");
  return &def;
}

}  // namespace kestro::py
