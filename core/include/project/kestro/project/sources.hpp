// The files that make up a source project, as named by its metadata.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <filesystem>
#include <vector>

#include "kestro/model/records.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/project/project_error.hpp"

namespace kestro::project {

// The platform path of every file the project's metadata names: the keys of
// its `checksum` map, then the files of its `index`, each once (paths equal
// component by component count once), in that first-seen order. No
// `.meta.json` gives an empty list. Reading failures (including name or
// publisher mismatches) give Project, a metadata record that validation
// rejects gives Validation ("meta"), the first path that cannot be resolved
// under the root gives Path.
std::expected<std::vector<std::filesystem::path>, ProjectSourcesError> list_project_sources(
    const LocalSrcProject& project);

}  // namespace kestro::project
