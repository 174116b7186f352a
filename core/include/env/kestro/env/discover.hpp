// Finding the project and the workspace that contain a path: a walk up
// through the path's parents that stops at the first directory holding the
// marker files. Nothing is printed or changed; progress goes to DEBUG
// records of the target `kestro_core::discover`.
#pragma once

#include "kestro/env/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string_view>

#include "kestro/env/env_error.hpp"
#include "kestro/env/workspace.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::env {

inline constexpr std::string_view kDiscoverLogTarget = "kestro_core::discover";

// Whether `dir` holds a project: `.project.json` is a regular file (links
// followed), or else `.meta.json` is. Only a missing file counts as absent;
// any other failure of the lookup is IsFile, and a failure on
// `.project.json` ends the test before `.meta.json` is tried. An empty
// `dir` tests the files of the current directory.
std::expected<bool, FsIoError> has_project_files(const std::filesystem::path& dir);

// The innermost project directory containing `start`, opened as a project
// whose nominal path is "."; none when there is none.
//
// The walk: test the candidate (first `start` itself); climb to its lexical
// parent (the path without its last component, `..` dropped like any other
// name; the root and the empty path have none) and test again. When a
// relative path is used up, the last candidate is canonicalised and the walk
// goes on at the canonical path's parent; a path that cannot be
// canonicalised ends it with none. The root found is the candidate as
// reached: relative while the walk has not canonicalised.
std::expected<std::optional<LocalSrcProject>, FsIoError> discover_project_root(const std::filesystem::path& start);

// The innermost directory containing `start` whose `.workspace.json` is a
// regular file, read with read_workspace_file; a file there that cannot be
// read or accepted ends the discovery with its error (the walk does not go
// on above it). A failed lookup is the Io variant.
std::expected<std::optional<LoadedWorkspace>, WorkspaceError> discover_workspace_root(
    const std::filesystem::path& start);

}  // namespace kestro::env
