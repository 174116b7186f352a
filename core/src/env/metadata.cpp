#include "kestro/env/metadata.hpp"

#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_read.hpp"
#include "kestro/utils/toml_write.hpp"

namespace kestro::env {
namespace {

using toml::Document;
using toml::NodeId;
using toml::Result;

constexpr toml::RecordField kProjectFields[] = {{"publisher"},   {"name", true}, {"version", true},
                                                {"path", true},  {"identifiers"}, {"usages"},
                                                {"editable"},    {"workspace"}};
constexpr toml::Record kProjectRecord{"struct EnvProject", kProjectFields, 0};

// The string under `key` when the table holds one there.
std::optional<std::string> string_at(const Document& doc, NodeId table, std::string_view key) {
  const NodeId id = doc.get(table, key);
  if (id == toml::kNoNode || doc.node(id).kind != toml::Kind::String) return std::nullopt;
  return std::string(doc.string_value(id));
}

// A checksum key of another type counts as missing; the archive digest wins
// over the source checksum.
std::optional<EnvProjectChecksum> read_checksum(const Document& doc, NodeId table) {
  if (auto kpar = string_at(doc, table, "kpar_cksum")) return EnvProjectChecksum::kpar(std::move(*kpar));
  if (auto src = string_at(doc, table, "src_cksum")) return EnvProjectChecksum::src(std::move(*src));
  return std::nullopt;
}

Result<EnvProject> read_project(const Document& doc, NodeId id) {
  // Entries are tables only: an array of field values is refused.
  if (toml::record_shape(doc, id) != toml::Shape::Map)
    return std::unexpected(toml::invalid_type(doc, id, kProjectRecord.name));
  EnvProject p;
  auto r = toml::read_record(doc, id, kProjectRecord, [&](size_t field, NodeId value) -> Result<void> {
    switch (field) {
      case 0: return toml::store(p.publisher, toml::read_string(doc, value));
      case 1: return toml::store(p.name, toml::read_string(doc, value));
      case 2: return toml::store(p.version, toml::read_string(doc, value));
      case 3: return toml::store(p.path, toml::read_string(doc, value));
      case 4: return toml::store(p.identifiers, toml::read_strings(doc, value));
      case 5: return toml::store(p.usages, toml::read_strings(doc, value));
      case 6: return toml::store(p.editable, toml::read_bool(doc, value));
      default: return toml::store(p.workspace, toml::read_bool(doc, value));
    }
  });
  if (!r) return std::unexpected(std::move(r.error()));
  if (doc.node(id).kind == toml::Kind::Table) p.checksum = read_checksum(doc, id);
  return p;
}

constexpr toml::RecordField kRootFields[] = {{"version", true}, {"project"}};
constexpr toml::Record kRootRecord{"struct EnvMetadata", kRootFields, 1};

Result<EnvMetadata> read_document(const Document& doc) {
  EnvMetadata m;
  auto r = toml::read_record(doc, doc.root(), kRootRecord, [&](size_t field, NodeId value) -> Result<void> {
    if (field == 0) return toml::store(m.version, toml::read_string(doc, value));
    return toml::read_sequence(doc, value, [&](NodeId item) -> Result<void> {
      auto p = read_project(doc, item);
      if (!p) return std::unexpected(std::move(p.error()));
      m.projects.push_back(std::move(*p));
      return {};
    });
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return m;
}

// A non-editable path must stay below the environment directory, written
// without climbing: no root, no ".." part, no "." as its first part. Only
// "/" separates parts, and runs of it count as one.
std::optional<EnvMetadataError> check_path(const std::string& path) {
  const auto fault = path_fault(path, PathPolicy::NormalBelowRoot);
  if (fault == PathFault::Absolute) return EnvMetadataError::AbsoluteProjectPath{path};
  if (fault) return EnvMetadataError::NonNormalizedProjectPath{path};
  return std::nullopt;
}

void key_line(std::string& out, std::string_view key, std::string_view value) {
  out += key;
  out += " = ";
  out += value;
  out += '\n';
}

void list_line(std::string& out, std::string_view key, const std::vector<std::string>& items) {
  if (!items.empty()) key_line(out, key, toml::write_toml_multiline_array(items));
}

}  // namespace

std::expected<EnvMetadata, EnvMetadataError> read_env_metadata(std::string_view text) {
  auto doc = toml::parse(std::string(text));
  if (!doc) return std::unexpected(EnvMetadataError::Toml{std::move(doc.error())});
  auto metadata = read_document(*doc);
  if (!metadata) {
    metadata.error().set_input(std::string(text));
    return std::unexpected(EnvMetadataError::Toml{std::move(metadata.error())});
  }
  if (metadata->version != kEnvMetadataVersion)
    return std::unexpected(EnvMetadataError::UnsupportedVersion{metadata->version});
  for (const EnvProject& p : metadata->projects)
    if (!p.editable)
      if (auto bad = check_path(p.path)) return std::unexpected(std::move(*bad));
  return std::move(*metadata);
}

std::string serialize_env_metadata(const EnvMetadata& metadata) {
  std::string out(toml::kGeneratedFileHeader);
  key_line(out, "version", toml::write_string(metadata.version));
  for (const EnvProject& p : metadata.projects) {
    out += "\n[[project]]\n";
    if (p.publisher) key_line(out, "publisher", toml::write_string(*p.publisher));
    key_line(out, "name", toml::write_string(p.name));
    key_line(out, "version", toml::write_string(p.version));
    key_line(out, "path", toml::write_string(p.path));
    list_line(out, "identifiers", p.identifiers);
    list_line(out, "usages", p.usages);
    if (p.editable) key_line(out, "editable", "true");
    if (p.workspace) key_line(out, "workspace", "true");
    if (p.checksum)
      key_line(out, p.checksum->kind == EnvProjectChecksum::Kind::Kpar ? "kpar_cksum" : "src_cksum",
               toml::write_string(p.checksum->hex));
  }
  return out;
}

}  // namespace kestro::env
