// Maintaining a local package index: a directory tree serving the same
// files as a remote index.
//
//   <root>/index.json                      the projects, in the order added
//   <root>/<project dir>/versions.json     its versions, newest first
//   <root>/<project dir>/<version>/        project.kpar, .project.json, .meta.json
//
// A project's directory is <publisher>/<name> for a `pkg:kestro`
// identifier and _iri/<SHA-256 of the canonical IRI> for any other.
// Statuses only move forward: a version from available to yanked or
// removed, a project from available to removed; a version once added can
// never be added again.
//
// The list files are replaced whole (a temporary beside them renamed into
// place), so that an interrupted command leaves each either as it was or as
// written. No file is locked: two commands on one index at the same time
// can overwrite each other's changes.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/index/index_error.hpp"
#include "kestro/model/index_documents.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::commands {

// Creates the root (and its missing parents) and an empty `index.json` in
// it; an existing `index.json` is refused and left as it is. Status line
// "Creating index".
std::expected<void, IndexError> do_index_init(std::filesystem::path index_root);

// Adds the archive's project version to the index. The project is named by
// `iri` when given, else by the publisher and name of its `.project.json`.
// Relative paths are taken against the current directory.
std::expected<void, IndexError> do_index_add(std::optional<std::string> iri, std::filesystem::path kpar_path,
                                             std::filesystem::path index_root);

// Marks every entry whose version text equals `version` as yanked.
std::expected<void, IndexError> do_index_yank(std::string iri, std::string version, std::filesystem::path index_root);

// Marks the project's entries whose version text equals `version` as
// removed and deletes their directories; without a version, every entry and
// the project itself.
std::expected<void, IndexError> do_index_remove(std::string iri, std::optional<std::string> version,
                                                std::filesystem::path index_root);

// Marks each entry that is not removed yet as removed, rewriting
// `versions.json` after each, then deletes its version directory. Every
// version text to be deleted is checked first: one that is not a single
// path component fails with RmDir and nothing is changed.
std::expected<void, FsIoError> remove_all_index_versions(const std::filesystem::path& project_dir,
                                                         const std::filesystem::path& versions_path,
                                                         VersionsJson& versions);

// The same for the entries whose version text equals `version`; an entry
// already removed is only warned about. Returns whether any entry matched.
std::expected<bool, FsIoError> remove_index_version(const std::filesystem::path& project_dir,
                                                    const std::filesystem::path& versions_path,
                                                    VersionsJson& versions, std::string_view version,
                                                    std::string_view iri);

// Replaces the file's content with `text`: the file holds either its
// previous content or all of `text`, never a part. Any failure is WriteFile
// naming `path`.
std::expected<void, FsIoError> rewrite_open_file(const std::filesystem::path& path, std::string_view text);

}  // namespace kestro::commands
