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
#include <variant>
#include <vector>

#include "kestro/utils/error_sum.hpp"
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

struct IndexFileVariants {
  // The file does not exist.
  struct NotFound { FsIoError fs; };
  // Opening or reading it failed otherwise.
  struct Io { FsIoError fs; };
  // Its text is no valid document.
  struct Json { std::filesystem::path path; json::JsonError json; };
  using Sum = std::variant<NotFound, Io, Json>;
};

// Reading a list document from a file of a local index: the file-system
// error's text, or "failed to parse `{path}`: {reader's text}". No cause.
class IndexFileError : public ErrorSum<IndexFileError, IndexFileVariants> {
 public:
  using ErrorSum::ErrorSum;
  // The file's path.
  const std::filesystem::path& path() const;
  static std::string text_of(const NotFound& v) { return v.fs.message(); }
  static std::string text_of(const Io& v) { return v.fs.message(); }
  static std::string text_of(const Json& v);
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
