// The JSON documents of a package index: the discovery document
// `kestro-index-config.json`, the project list `index.json` and a project's
// version list `versions.json`.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/fs_error.hpp"
#include "kestro/model/usage.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::model {

struct IndexConfigRaw {
  std::optional<std::string> index_root;
  std::optional<std::string> api_root;
  bool operator==(const IndexConfigRaw&) const = default;
};

enum class IndexProjectStatus { Available, Removed };
enum class VersionStatus { Available, Yanked, Removed };

// "Available", "Yanked", "Removed": how a status shows in logs.
std::string_view version_status_name(VersionStatus status);

struct IndexProject {
  std::string iri;
  IndexProjectStatus status = IndexProjectStatus::Available;
  bool operator==(const IndexProject&) const = default;
};

struct IndexJson {
  std::vector<IndexProject> projects;
  bool operator==(const IndexJson&) const = default;
};

struct VersionEntry {
  std::string version;
  std::vector<InterchangeProjectUsageRaw> usage;
  std::uint64_t kpar_size = 1;  // never 0
  std::string kpar_digest;
  VersionStatus status = VersionStatus::Available;
  bool operator==(const VersionEntry&) const = default;
};

struct VersionsJson {
  std::vector<VersionEntry> versions;
  bool operator==(const VersionsJson&) const = default;
};

json::Result<IndexConfigRaw> parse_index_config(std::string_view text);
json::Result<IndexJson> parse_index_json_text(std::string_view text);
json::Result<VersionsJson> parse_versions_json_text(std::string_view text);
json::Result<IndexProject> deserialize_index_project(json::Reader& reader);
json::Result<VersionEntry> deserialize_version_entry(json::Reader& reader);

// Reading a list document from a file of a local index.
class IndexFileError : public Error {
 public:
  enum class Kind { NotFound, Io, Json };
  static IndexFileError not_found(FsIoError e) { return IndexFileError(Kind::NotFound, std::move(e), {}); }
  static IndexFileError io(FsIoError e) { return IndexFileError(Kind::Io, std::move(e), {}); }
  static IndexFileError json(std::filesystem::path path, json::JsonError e);
  Kind kind() const { return kind_; }
  const std::filesystem::path& path() const { return path_; }
  std::string message() const override;

 private:
  IndexFileError(Kind kind, std::optional<FsIoError> fs, std::optional<json::JsonError> json);
  Kind kind_;
  std::filesystem::path path_;
  std::optional<FsIoError> fs_;
  std::optional<json::JsonError> json_;
};

// `index.json`: must exist. Zero bytes read as a list with no projects.
std::expected<IndexJson, IndexFileError> parse_index_json(const std::filesystem::path& path);
// `versions.json`: created empty when missing. Zero bytes read as a list
// with no versions.
std::expected<VersionsJson, IndexFileError> parse_versions_json(const std::filesystem::path& path);

// The pretty layout of the record files, one line feed at the end.
std::string to_pretty_json(const IndexJson& index);
std::string to_pretty_json(const VersionsJson& versions);

}  // namespace kestro::model
