#include "kestro/model/usage.hpp"

namespace kestro::model {

namespace {

// The text under `key`; clears `ok` when the key is absent or holds another
// kind of value. The object holds each key once.
const std::string* text_under(const json::Object& o, std::string_view key, bool& ok) {
  const json::Value* value = o.find(key);
  const std::string* text = value != nullptr ? value->as_string() : nullptr;
  if (text == nullptr) ok = false;
  return text;
}

std::optional<ResourceUsageRaw> as_resource(const json::Object& o) {
  bool ok = true;
  const std::string* resource = text_under(o, "resource", ok);
  if (!ok) return std::nullopt;
  ResourceUsageRaw usage{*resource, std::nullopt};
  if (const json::Value* constraint = o.find("versionConstraint"); constraint != nullptr && !constraint->is_null()) {
    const std::string* text = constraint->as_string();
    if (text == nullptr) return std::nullopt;
    usage.version_constraint = *text;
  }
  return usage;
}

template <typename U>
std::optional<U> as_path_usage(const json::Object& o, std::string_view path_key) {
  bool ok = true;
  const std::string* path = text_under(o, path_key, ok);
  const std::string* publisher = text_under(o, "publisher", ok);
  const std::string* name = text_under(o, "name", ok);
  if (!ok) return std::nullopt;
  return U{*path, *publisher, *name};
}

}  // namespace

json::Result<InterchangeProjectUsageRaw> deserialize_usage(const json::Value& value) {
  const json::Object* o = value.as_object();
  if (o == nullptr) return std::unexpected(json::JsonError(kUsageMismatch));
  // The variants judge the object as an unknown usage would keep it, repeated
  // keys collapsed to their last value, so that what is written reads back
  // as the same usage.
  json::Object kept = json::normalized(*o);
  if (auto u = as_resource(kept)) return InterchangeProjectUsageRaw(std::move(*u));
  if (auto u = as_path_usage<DirectoryUsageRaw>(kept, "dir")) return InterchangeProjectUsageRaw(std::move(*u));
  if (auto u = as_path_usage<KparPathUsageRaw>(kept, "kparPath")) return InterchangeProjectUsageRaw(std::move(*u));
  return InterchangeProjectUsageRaw(UnknownUsage{std::move(kept)});
}

json::Result<std::vector<InterchangeProjectUsageRaw>> deserialize_usage_list(json::Reader& reader) {
  std::vector<InterchangeProjectUsageRaw> usages;
  auto r = json::read_seq(reader, "a sequence", [&](json::Reader& rd) -> json::Result<void> {
    auto value = rd.read_value();
    if (!value) return std::unexpected(value.error());
    auto usage = deserialize_usage(*value);
    if (!usage) return std::unexpected(usage.error());
    usages.push_back(std::move(*usage));
    return {};
  });
  if (!r) return std::unexpected(r.error());
  return usages;
}

void serialize_usage(const InterchangeProjectUsageRaw& usage, json::Writer& w) {
  struct Visitor {
    json::Writer& w;
    void operator()(const ResourceUsageRaw& u) {
      w.begin_object();
      w.member("resource", u.resource);
      if (u.version_constraint) w.member("versionConstraint", *u.version_constraint);
      w.end_object();
    }
    void operator()(const DirectoryUsageRaw& u) {
      w.begin_object();
      w.member("dir", u.dir);
      w.member("publisher", u.publisher);
      w.member("name", u.name);
      w.end_object();
    }
    void operator()(const KparPathUsageRaw& u) {
      w.begin_object();
      w.member("kparPath", u.kpar_path);
      w.member("publisher", u.publisher);
      w.member("name", u.name);
      w.end_object();
    }
    void operator()(const UnknownUsage& u) { w.value(json::Value(u.object)); }
  };
  std::visit(Visitor{w}, usage);
}

std::string describe_usage_keys(const json::Object& object) {
  if (object.empty()) return "no keys";
  std::string text;
  for (const auto& [key, value] : object.members()) {
    if (!text.empty()) text += ", ";
    text += '`';
    text += key;
    text += '`';
  }
  return text;
}

}  // namespace kestro::model
