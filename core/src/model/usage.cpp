#include "kestro/model/usage.hpp"

namespace kestro::model {

namespace {

// The text under `key` when it occurs exactly once and holds a string.
const std::string* single_text(const json::Object& o, std::string_view key, bool& ok) {
  const std::string* found = nullptr;
  size_t seen = 0;
  for (const auto& [k, v] : o.members()) {
    if (k != key) continue;
    if (++seen > 1) {
      ok = false;
      return nullptr;
    }
    found = v.as_string();
    if (found == nullptr) ok = false;
  }
  if (seen == 0) ok = false;
  return found;
}

std::optional<ResourceUsageRaw> as_resource(const json::Object& o) {
  bool ok = true;
  const std::string* resource = single_text(o, "resource", ok);
  if (!ok) return std::nullopt;
  ResourceUsageRaw usage{*resource, std::nullopt};
  size_t seen = 0;
  for (const auto& [k, v] : o.members()) {
    if (k != "versionConstraint") continue;
    if (++seen > 1) return std::nullopt;
    if (v.is_null()) continue;
    const std::string* text = v.as_string();
    if (text == nullptr) return std::nullopt;
    usage.version_constraint = *text;
  }
  return usage;
}

template <typename U>
std::optional<U> as_path_usage(const json::Object& o, std::string_view path_key) {
  bool ok = true;
  const std::string* path = single_text(o, path_key, ok);
  const std::string* publisher = single_text(o, "publisher", ok);
  const std::string* name = single_text(o, "name", ok);
  if (!ok) return std::nullopt;
  return U{*path, *publisher, *name};
}

}  // namespace

json::Result<InterchangeProjectUsageRaw> deserialize_usage(const json::Value& value) {
  const json::Object* o = value.as_object();
  if (o == nullptr) return std::unexpected(json::JsonError(kUsageMismatch));
  if (auto u = as_resource(*o)) return InterchangeProjectUsageRaw(std::move(*u));
  if (auto u = as_path_usage<DirectoryUsageRaw>(*o, "dir")) return InterchangeProjectUsageRaw(std::move(*u));
  if (auto u = as_path_usage<KparPathUsageRaw>(*o, "kparPath")) return InterchangeProjectUsageRaw(std::move(*u));
  return InterchangeProjectUsageRaw(UnknownUsage{json::normalized(*o)});
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
