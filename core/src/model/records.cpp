#include "kestro/model/records.hpp"

#include "kestro/utils/sha256.hpp"

namespace kestro::model {

namespace {

constexpr const char* kInfoRecord = "struct InterchangeProjectInfoG";
constexpr const char* kMetaRecord = "struct InterchangeProjectMetadataG";

constexpr json::Field kInfoFields[] = {
    {"name", true},         {"publisher"}, {"description"}, {"version", true},  {"license"},
    {"maintainer", false, true}, {"website"}, {"topic", false, true}, {"usage", false, true},
};

constexpr json::Field kMetaFields[] = {
    {"index", true}, {"created", true}, {"metamodel"}, {"includesDerived"}, {"includesImplied"}, {"checksum"},
};

json::Result<OrderedMap<std::string>> read_index(json::Reader& r) {
  OrderedMap<std::string> index;
  index.reserve(json::count_members(r));
  auto res = json::read_map(r, "a map", [&](std::string key, json::Reader& rd) -> json::Result<void> {
    auto path = rd.read_string();
    if (!path) return std::unexpected(path.error());
    index.insert_or_assign(std::move(key), std::move(*path));
    return {};
  });
  if (!res) return std::unexpected(res.error());
  return index;
}

void write_string_list(json::Writer& w, std::string_view key, const std::vector<std::string>& list) {
  if (list.empty()) return;
  w.key(key);
  w.begin_array();
  for (const auto& s : list) w.string(s);
  w.end_array();
}

void write_optional(json::Writer& w, std::string_view key, const std::optional<std::string>& value) {
  if (value) w.member(key, *value);
}

void write_optional(json::Writer& w, std::string_view key, const std::optional<bool>& value) {
  if (value) {
    w.key(key);
    w.boolean(*value);
  }
}

}  // namespace

json::Result<InterchangeProjectInfoRaw> read_project_info(json::Reader& reader) {
  InterchangeProjectInfoRaw info;
  auto r = json::read_record(reader, kInfoRecord, kInfoFields, [&](size_t i, json::Reader& rd) -> json::Result<void> {
    switch (i) {
      case 0: return json::assign(rd.read_string(), info.name);
      case 1: return json::assign(rd.read_optional_string(), info.publisher);
      case 2: return json::assign(rd.read_optional_string(), info.description);
      case 3: return json::assign(rd.read_string(), info.version);
      case 4: return json::assign(rd.read_optional_string(), info.license);
      case 5: return json::assign(json::read_string_list(rd), info.maintainer);
      case 6: return json::assign(rd.read_optional_string(), info.website);
      case 7: return json::assign(json::read_string_list(rd), info.topic);
      default: return json::assign(deserialize_usage_list(rd), info.usage);
    }
  });
  if (!r) return std::unexpected(r.error());
  return info;
}

json::Result<InterchangeProjectMetadataRaw> read_project_meta(json::Reader& reader) {
  InterchangeProjectMetadataRaw meta;
  auto r = json::read_record(reader, kMetaRecord, kMetaFields, [&](size_t i, json::Reader& rd) -> json::Result<void> {
    switch (i) {
      case 0: return json::assign(read_index(rd), meta.index);
      case 1: return json::assign(rd.read_string(), meta.created);
      case 2: return json::assign(rd.read_optional_string(), meta.metamodel);
      case 3: return json::assign(rd.read_optional_bool(), meta.includes_derived);
      case 4: return json::assign(rd.read_optional_bool(), meta.includes_implied);
      default: return json::assign(read_checksum_map(rd), meta.checksum);
    }
  });
  if (!r) return std::unexpected(r.error());
  return meta;
}

json::Result<InterchangeProjectInfoRaw> parse_project_info(std::string_view text) {
  return json::parse_document<InterchangeProjectInfoRaw>(text, [](json::Reader& r) { return read_project_info(r); });
}

json::Result<InterchangeProjectMetadataRaw> parse_project_meta(std::string_view text) {
  return json::parse_document<InterchangeProjectMetadataRaw>(text, [](json::Reader& r) { return read_project_meta(r); });
}

void write_project_info_json(const InterchangeProjectInfoRaw& info, json::Writer& w) {
  w.begin_object();
  w.member("name", info.name);
  write_optional(w, "publisher", info.publisher);
  write_optional(w, "description", info.description);
  w.member("version", info.version);
  write_optional(w, "license", info.license);
  write_string_list(w, "maintainer", info.maintainer);
  write_optional(w, "website", info.website);
  write_string_list(w, "topic", info.topic);
  if (!info.usage.empty()) {
    w.key("usage");
    w.begin_array();
    for (const auto& u : info.usage) serialize_usage(u, w);
    w.end_array();
  }
  w.end_object();
}

void write_project_meta_json(const InterchangeProjectMetadataRaw& meta, json::Writer& w) {
  w.begin_object();
  w.key("index");
  w.begin_object();
  for (const auto& [symbol, path] : meta.index) w.member(symbol, path);
  w.end_object();
  w.member("created", meta.created);
  write_optional(w, "metamodel", meta.metamodel);
  write_optional(w, "includesDerived", meta.includes_derived);
  write_optional(w, "includesImplied", meta.includes_implied);
  if (meta.checksum) {
    w.key("checksum");
    write_checksum_map(*meta.checksum, w);
  }
  w.end_object();
}

std::string to_pretty_json(const InterchangeProjectInfoRaw& info) {
  json::Writer w(json::Writer::Style::Pretty);
  write_project_info_json(info, w);
  return w.take() + '\n';
}

std::string to_pretty_json(const InterchangeProjectMetadataRaw& meta) {
  json::Writer w(json::Writer::Style::Pretty);
  write_project_meta_json(meta, w);
  return w.take() + '\n';
}

std::array<unsigned char, 32> canonical_project_digest(const InterchangeProjectInfoRaw& info,
                                                       const InterchangeProjectMetadataRaw& meta) {
  json::Writer wi;
  write_project_info_json(info, wi);
  json::Writer wm;
  write_project_meta_json(meta, wm);
  Sha256 h;
  h.update(wi.str());
  h.update(wm.str());
  return h.finish();
}

std::string canonical_project_digest_hex(const InterchangeProjectInfoRaw& info,
                                         const InterchangeProjectMetadataRaw& meta) {
  return to_hex(canonical_project_digest(info, meta));
}

}  // namespace kestro::model
