// A project stored as a directory tree with `.project.json` and `.meta.json`
// at its root.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "kestro/model/records.hpp"
#include "kestro/project/project_error.hpp"

namespace kestro {

struct LocalSrcProject {
  // The project root; every project file is resolved under it.
  std::filesystem::path project_path;
  // How the user, the configuration or the lock names this project.
  std::optional<std::string> nominal_path;
  // The canonical checksum when the creator already knows it.
  std::optional<std::string> known_checksum;
  // When present, the name the information record must carry.
  std::optional<std::string> expected_name;
  // No expectation (outer none), or the publisher the record must carry
  // (inner none: the record must have no publisher).
  std::optional<std::optional<std::string>> expected_publisher;

  std::filesystem::path info_path() const { return project_path / ".project.json"; }
  std::filesystem::path meta_path() const { return project_path / ".meta.json"; }
};

// Both records, each none when its document is absent. The information
// record is compared with the project's expectations (publisher, then name)
// before `.meta.json` is looked at.
std::expected<std::pair<std::optional<InterchangeProjectInfoRaw>, std::optional<InterchangeProjectMetadataRaw>>,
              LocalSrcError>
read_local_src_project(const LocalSrcProject& project);

// `dir` joined with ".project.json".
std::filesystem::path project_info_path(const std::filesystem::path& dir);

// Write `.project.json` / `.meta.json` at the project's root. With
// `overwrite` off an existing file (or anything the path leads to) fails
// with AlreadyExists. The file is replaced whole or not at all.
std::expected<void, LocalSrcError> write_project_info(const LocalSrcProject& project,
                                                      const InterchangeProjectInfoRaw& info, bool overwrite);
std::expected<void, LocalSrcError> write_project_meta(const LocalSrcProject& project,
                                                      const InterchangeProjectMetadataRaw& meta, bool overwrite);

}  // namespace kestro
