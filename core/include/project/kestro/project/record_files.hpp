// The record files of a project directory: `.project.json` and `.meta.json`
// read and written whole.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <utility>

#include "kestro/model/records.hpp"
#include "kestro/project/local_src.hpp"

namespace kestro::project {

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

}  // namespace kestro::project
