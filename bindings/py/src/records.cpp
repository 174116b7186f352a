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
#include "kestro_py/shared_state.hpp"

namespace kestro::py {

namespace {

// TypeError "failed to extract field {record}.{field}" caused by `cause`.
PyException field_error(std::string_view record, std::string_view field, PyException cause) {
  PyException error = PyException::make(PyExc_TypeError, fmt::format("failed to extract field {}.{}", record, field));
  error.set_cause(std::move(cause));
  return error;
}

// The keys of the record dicts.
enum class Key : std::size_t {
  Name, Publisher, Description, Version, License, Maintainer, Website, Topic, Usage,
  Index, Created, Metamodel, IncludesDerived, IncludesImplied, Checksum,
  Value, Algorithm, Resource, VersionConstraint, Dir, KparPath,
};
constexpr std::string_view kKeyTexts[] = {
    "name",  "publisher", "description", "version", "license", "maintainer", "website", "topic", "usage",
    "index", "created", "metamodel", "includes_derived", "includes_implied", "checksum",
    "value", "algorithm", "resource", "version_constraint", "dir", "kpar_path",
};
static_assert(std::size(kKeyTexts) <= kRecordKeySlots);

std::string_view text_of(Key key) { return kKeyTexts[static_cast<std::size_t>(key)]; }

// The record keys of the running interpreter: interned strings, made once
// per interpreter and kept in its shared state, so that every dict built or
// read here reuses them (with their hashes) instead of making its own.
class Keys {
 public:
  static PyResult<Keys> get() {
    auto state = shared_state();
    if (!state) return std::unexpected(std::move(state.error()));
    auto& slots = (*state)->record_keys;
    for (std::size_t i = 0; i < std::size(kKeyTexts); ++i) {
      if (slots[i] != nullptr) continue;
      PyObject* key = PyUnicode_FromStringAndSize(kKeyTexts[i].data(), static_cast<Py_ssize_t>(kKeyTexts[i].size()));
      if (key == nullptr) return fetch_error();
      PyUnicode_InternInPlace(&key);
      slots[i] = key;
    }
    return Keys(slots.data());
  }
  PyObject* operator[](Key key) const { return slots_[static_cast<std::size_t>(key)]; }

 private:
  explicit Keys(PyObject* const* slots) : slots_(slots) {}
  PyObject* const* slots_;
};

// Reads the fields of one record from a mapping, by subscription, in the
// order asked. A failed lookup is kept as it is; a failed conversion is
// wrapped in the field error. After the first failure nothing more is read.
class RecordReader {
 public:
  RecordReader(PyObject* mapping, std::string_view record, const Keys& keys)
      : mapping_(mapping), record_(record), keys_(keys) {}

  template <typename T, typename Convert>
  bool read(Key key, Convert&& convert, T& out) {
    if (failure_) return false;
    PyRef value = PyRef::steal(PyObject_GetItem(mapping_, keys_[key]));
    if (!value) return fail(PyException::fetch());
    auto converted = convert(value.get());
    if (!converted) return fail(field_error(record_, text_of(key), std::move(converted.error())));
    out = std::move(*converted);
    return true;
  }

  std::unexpected<PyException> failure() && { return std::unexpected(std::move(*failure_)); }
  // `record` when every read succeeded, else the first failure.
  template <typename T>
  PyResult<T> result(T record) && {
    if (failure_) return std::unexpected(std::move(*failure_));
    return record;
  }

 private:
  bool fail(PyException exception) {
    failure_.emplace(std::move(exception));
    return false;
  }

  PyObject* mapping_;
  std::string_view record_;
  const Keys& keys_;
  std::optional<PyException> failure_;
};

PyResult<std::optional<bool>> optional_bool_from_py(PyObject* object) {
  if (object == Py_None) return std::nullopt;
  auto value = bool_from_py(object);
  if (!value) return std::unexpected(std::move(value.error()));
  return *value;
}

// A dict (or subclass) with `str` keys, its values converted by `convert`.
template <typename V, typename Convert>
PyResult<OrderedMap<V>> map_from_py(PyObject* object, Convert&& convert) {
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

PyResult<InterchangeProjectChecksumRaw> checksum_from_py(PyObject* object, const Keys& keys) {
  RecordReader reader(object, "InterchangeProjectChecksumRaw", keys);
  InterchangeProjectChecksumRaw checksum;
  if (reader.read(Key::Value, str_from_py, checksum.value)) reader.read(Key::Algorithm, str_from_py, checksum.algorithm);
  return std::move(reader).result(std::move(checksum));
}

PyResult<std::optional<OrderedMap<InterchangeProjectChecksumRaw>>> checksum_map_from_py(PyObject* object,
                                                                                       const Keys& keys) {
  if (object == Py_None) return std::nullopt;
  return map_from_py<InterchangeProjectChecksumRaw>(object, [&](PyObject* entry) { return checksum_from_py(entry, keys); });
}

PyResult<std::vector<InterchangeProjectUsageRaw>> usage_list_from_py(PyObject* object) {
  return sequence_from_py<InterchangeProjectUsageRaw>(object, usage_from_dict);
}

template <typename V, typename Convert>
PyResult<PyRef> map_to_py(const OrderedMap<V>& map, Convert&& convert) {
  DictBuilder dict(static_cast<Py_ssize_t>(map.size()));
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

PyResult<InterchangeProjectUsageRaw> resource_from_dict(PyObject* object, const Keys& keys) {
  RecordReader reader(object, "InterchangeProjectUsageG::Resource", keys);
  ResourceUsageRaw usage;
  if (reader.read(Key::Resource, str_from_py, usage.resource))
    reader.read(Key::VersionConstraint, optional_str_from_py, usage.version_constraint);
  return std::move(reader).result<InterchangeProjectUsageRaw>(std::move(usage));
}

template <typename Usage>
PyResult<InterchangeProjectUsageRaw> path_usage_from_dict(PyObject* object, const Keys& keys,
                                                          std::string_view record, Key path_key) {
  RecordReader reader(object, record, keys);
  Usage usage;
  std::string& path = [&]() -> std::string& {
    if constexpr (std::is_same_v<Usage, DirectoryUsageRaw>) return usage.dir;
    else return usage.kpar_path;
  }();
  if (!reader.read(path_key, str_from_py, path) || !reader.read(Key::Publisher, str_from_py, usage.publisher) ||
      !reader.read(Key::Name, str_from_py, usage.name)) {
    return std::move(reader).failure();
  }
  return usage;
}

PyResult<InterchangeProjectUsageRaw> unknown_from_dict(PyObject* object, const Keys&) {
  auto members = usage_from_py(object);
  if (!members) return std::unexpected(field_error("InterchangeProjectUsageG::Unknown", "0", std::move(members.error())));
  return UnknownUsage{std::move(*members)};
}

}  // namespace

PyResult<InterchangeProjectInfoRaw> info_from_dict(PyObject* object) {
  auto keys = Keys::get();
  if (!keys) return std::unexpected(std::move(keys.error()));
  RecordReader reader(object, "InterchangeProjectInfoG", *keys);
  InterchangeProjectInfoRaw info;
  if (!reader.read(Key::Name, str_from_py, info.name) ||
      !reader.read(Key::Publisher, optional_str_from_py, info.publisher) ||
      !reader.read(Key::Description, optional_str_from_py, info.description) ||
      !reader.read(Key::Version, str_from_py, info.version) ||
      !reader.read(Key::License, optional_str_from_py, info.license) ||
      !reader.read(Key::Maintainer, str_list_from_py, info.maintainer) ||
      !reader.read(Key::Website, optional_str_from_py, info.website) ||
      !reader.read(Key::Topic, str_list_from_py, info.topic) ||
      !reader.read(Key::Usage, usage_list_from_py, info.usage)) {
    return std::move(reader).failure();
  }
  return info;
}

PyResult<InterchangeProjectMetadataRaw> metadata_from_dict(PyObject* object) {
  auto keys = Keys::get();
  if (!keys) return std::unexpected(std::move(keys.error()));
  RecordReader reader(object, "InterchangeProjectMetadataG", *keys);
  InterchangeProjectMetadataRaw meta;
  auto checksum_map = [&](PyObject* map) { return checksum_map_from_py(map, *keys); };
  if (!reader.read(Key::Index, str_map_from_py, meta.index) || !reader.read(Key::Created, str_from_py, meta.created) ||
      !reader.read(Key::Metamodel, optional_str_from_py, meta.metamodel) ||
      !reader.read(Key::IncludesDerived, optional_bool_from_py, meta.includes_derived) ||
      !reader.read(Key::IncludesImplied, optional_bool_from_py, meta.includes_implied) ||
      !reader.read(Key::Checksum, checksum_map, meta.checksum)) {
    return std::move(reader).failure();
  }
  return meta;
}

PyResult<InterchangeProjectUsageRaw> usage_from_dict(PyObject* object) {
  struct Kind {
    std::string_view name;
    PyResult<InterchangeProjectUsageRaw> (*read)(PyObject*, const Keys&);
  };
  static constexpr Kind kKinds[] = {
      {"Resource", resource_from_dict},
      {"Directory",
       [](PyObject* o, const Keys& keys) {
         return path_usage_from_dict<DirectoryUsageRaw>(o, keys, "InterchangeProjectUsageG::Directory", Key::Dir);
       }},
      {"KparPath",
       [](PyObject* o, const Keys& keys) {
         return path_usage_from_dict<KparPathUsageRaw>(o, keys, "InterchangeProjectUsageG::KparPath", Key::KparPath);
       }},
      {"Unknown", unknown_from_dict},
  };
  auto keys = Keys::get();
  if (!keys) return std::unexpected(std::move(keys.error()));
  std::string text = "failed to extract enum InterchangeProjectUsageG ('Resource | Directory | KparPath | Unknown')";
  for (const Kind& kind : kKinds) {
    auto usage = kind.read(object, *keys);
    if (usage) return usage;
    text += fmt::format("\n- variant {} ({}): {}", kind.name, kind.name, describe_with_causes(usage.error()));
  }
  return error_of(PyExc_TypeError, text);
}

PyResult<InterchangeProjectChecksumRaw> checksum_from_py(PyObject* object) {
  auto keys = Keys::get();
  if (!keys) return std::unexpected(std::move(keys.error()));
  return checksum_from_py(object, *keys);
}

namespace {

// The dict of one checksum entry. `algorithms` keeps the last algorithm
// name made, which the next entry shares when it names the same algorithm
// (a map's entries mostly do).
PyResult<PyRef> checksum_to_py(const InterchangeProjectChecksumRaw& checksum, const Keys& keys,
                               std::pair<std::string_view, PyRef>& algorithms) {
  if (!algorithms.second || algorithms.first != checksum.algorithm) {
    auto made = str_to_py(checksum.algorithm);
    if (!made) return made;
    algorithms = {checksum.algorithm, std::move(*made)};
  }
  DictBuilder dict;
  dict.set(keys[Key::Value], str_to_py(checksum.value));
  dict.set(keys[Key::Algorithm], algorithms.second);
  return std::move(dict).finish();
}

PyResult<PyRef> usage_to_dict(const InterchangeProjectUsageRaw& usage, const Keys& keys) {
  struct Visitor {
    const Keys& keys;
    PyResult<PyRef> operator()(const ResourceUsageRaw& u) const {
      DictBuilder dict;
      dict.set(keys[Key::Resource], str_to_py(u.resource));
      dict.set(keys[Key::VersionConstraint], optional_str_to_py(u.version_constraint));
      return std::move(dict).finish();
    }
    PyResult<PyRef> operator()(const DirectoryUsageRaw& u) const { return path_usage(Key::Dir, u.dir, u.publisher, u.name); }
    PyResult<PyRef> operator()(const KparPathUsageRaw& u) const {
      return path_usage(Key::KparPath, u.kpar_path, u.publisher, u.name);
    }
    PyResult<PyRef> operator()(const UnknownUsage& u) const { return json_object_to_py(u.object); }

    PyResult<PyRef> path_usage(Key key, const std::string& path, const std::string& publisher,
                               const std::string& name) const {
      DictBuilder dict;
      dict.set(keys[key], str_to_py(path));
      dict.set(keys[Key::Publisher], str_to_py(publisher));
      dict.set(keys[Key::Name], str_to_py(name));
      return std::move(dict).finish();
    }
  };
  return std::visit(Visitor{keys}, usage);
}

}  // namespace

PyResult<PyRef> checksum_to_py(const InterchangeProjectChecksumRaw& checksum) {
  auto keys = Keys::get();
  if (!keys) return std::unexpected(std::move(keys.error()));
  std::pair<std::string_view, PyRef> algorithms;
  return checksum_to_py(checksum, *keys, algorithms);
}

PyResult<PyRef> env_checksum_to_py(const project::EnvProjectChecksum& checksum) {
  DictBuilder dict(1);
  dict.set(checksum.kind == project::EnvProjectChecksum::Kind::Src ? "src_cksum" : "kpar_cksum",
           str_to_py(checksum.hex));
  return std::move(dict).finish();
}

PyResult<PyRef> usage_to_dict(const InterchangeProjectUsageRaw& usage) {
  auto keys = Keys::get();
  if (!keys) return std::unexpected(std::move(keys.error()));
  return usage_to_dict(usage, *keys);
}

PyResult<PyRef> project_to_dicts(const InterchangeProjectInfoRaw& info, const InterchangeProjectMetadataRaw& meta) {
  auto got = Keys::get();
  if (!got) return std::unexpected(std::move(got.error()));
  const Keys& keys = *got;
  DictBuilder info_dict;
  info_dict.set(keys[Key::Name], str_to_py(info.name));
  info_dict.set(keys[Key::Publisher], optional_str_to_py(info.publisher));
  info_dict.set(keys[Key::Description], optional_str_to_py(info.description));
  info_dict.set(keys[Key::Version], str_to_py(info.version));
  info_dict.set(keys[Key::License], optional_str_to_py(info.license));
  info_dict.set(keys[Key::Maintainer], str_list_to_py(info.maintainer));
  info_dict.set(keys[Key::Website], optional_str_to_py(info.website));
  info_dict.set(keys[Key::Topic], str_list_to_py(info.topic));
  info_dict.set(keys[Key::Usage],
                list_to_py(info.usage, [&](const InterchangeProjectUsageRaw& u) { return usage_to_dict(u, keys); }));
  auto info_py = std::move(info_dict).finish();
  if (!info_py) return info_py;

  DictBuilder meta_dict;
  meta_dict.set(keys[Key::Index], map_to_py(meta.index, str_to_py));
  meta_dict.set(keys[Key::Created], str_to_py(meta.created));
  meta_dict.set(keys[Key::Metamodel], optional_str_to_py(meta.metamodel));
  meta_dict.set(keys[Key::IncludesDerived], optional_bool_to_py(meta.includes_derived));
  meta_dict.set(keys[Key::IncludesImplied], optional_bool_to_py(meta.includes_implied));
  std::pair<std::string_view, PyRef> algorithms;
  meta_dict.set(keys[Key::Checksum],
                meta.checksum ? map_to_py(*meta.checksum,
                                          [&](const InterchangeProjectChecksumRaw& c) {
                                            return checksum_to_py(c, keys, algorithms);
                                          })
                              : none());
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
