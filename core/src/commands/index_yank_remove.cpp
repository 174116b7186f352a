// `index yank` and `index remove`: moving versions and projects of a local
// index forward in status. Entries stay in the order they were read.
#include <sys/stat.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "index_files.hpp"
#include "kestro/commands/index_add_error.hpp"
#include "kestro/commands/index_edit_error.hpp"
#include "kestro/commands/local_index.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

namespace {

constexpr std::string_view kYankTarget = "kestro_core::commands::index::yank";
constexpr std::string_view kRemoveTarget = "kestro_core::commands::index::remove";

// Only a broken JSON file comes with advice.
template <typename Err>
IndexError edit_error(Err err) {
  std::optional<std::string> suggestion;
  if (err.template holds<typename Err::InvalidJsonFile>()) suggestion = kInvalidIndexJsonSuggestion;
  return index_error(std::move(err), std::move(suggestion));
}

// A list file's failure; `root` names the index for a missing `index.json`.
template <typename Err>
Err from_list_file(const IndexFileError& err, const fs::path& root) {
  if (const auto* json = err.get_if<IndexFileError::Json>())
    return typename Err::InvalidJsonFile{display_path(json->path), json->json};
  if (const auto* missing = err.get_if<IndexFileError::NotFound>())
    return typename Err::NotAnIndex{display_path(root), missing->fs};
  return typename Err::Io{err.get_if<IndexFileError::Io>()->fs};
}

// The project an edit works on, found in the project list.
struct IndexedProject {
  fs::path index_path;
  IndexJson index;
  std::size_t position = 0;  // in `index.projects`
  std::string identifier;
  fs::path dir;
  fs::path versions_path;
};

template <typename Err>
std::expected<IndexedProject, Err> find_project(const fs::path& root, std::string_view iri) {
  using Fail = std::unexpected<Err>;
  auto is_root = is_index_root(root);
  if (!is_root) return Fail(typename Err::Io{std::move(is_root.error())});
  if (!*is_root) return Fail(typename Err::IndexRootNotFound{display_path(root)});
  IndexedProject found;
  found.index_path = root / kIndexJson;
  auto index = parse_index_json(found.index_path);
  if (!index) return Fail(from_list_file<Err>(index.error(), root));
  found.index = std::move(*index);
  auto key = split_index_iri(iri);
  if (!key) return Fail(typename Err::InvalidIri{std::move(key.error())});
  found.identifier = index_project_display(*key);
  auto& projects = found.index.projects;
  auto at = std::ranges::find(projects, found.identifier, &IndexProject::iri);
  if (at == projects.end()) return Fail(typename Err::ProjectNotFound{found.identifier});
  found.position = static_cast<std::size_t>(at - projects.begin());
  found.dir = root / index_project_path_string(*key);
  found.versions_path = found.dir / kVersionsJson;
  return found;
}

// The project's version list; created empty when missing.
template <typename Err>
std::expected<VersionsJson, Err> read_versions(const IndexedProject& project) {
  auto versions = parse_versions_json(project.versions_path);
  if (!versions) {
    Err err = from_list_file<Err>(versions.error(), project.dir);
    if (const auto* missing = err.template get_if<typename Err::NotAnIndex>()) err = typename Err::Io{missing->source};
    return std::unexpected(std::move(err));
  }
  return std::move(*versions);
}

// A version text names a directory under the project's: it must be one
// normal path component, or removing it could reach outside the project.
bool is_single_component(std::string_view version) {
  return !version.empty() && version != "." && version != ".." && version.find('/') == std::string_view::npos &&
         version.find('\0') == std::string_view::npos;
}

std::expected<void, FsIoError> check_component(const fs::path& project_dir, std::string_view version) {
  if (is_single_component(version)) return {};
  return std::unexpected(FsIoError::RmDir{project_dir / version,
                                          IoError::custom("invalid input: version is not a single path component")});
}

// Removes a version directory with its contents; an absent one is a
// failure too.
std::expected<void, FsIoError> remove_version_dir(const fs::path& dir) {
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) return std::unexpected(FsIoError::RmDir{dir, IoError::last()});
  std::error_code ec;
  fs::remove_all(dir, ec);
  if (ec) return std::unexpected(FsIoError::RmDir{dir, IoError::from_errno(ec.value())});
  return {};
}

// Marks the entry removed, writes the list, then deletes the directory.
std::expected<void, FsIoError> remove_entry(const fs::path& project_dir, const fs::path& versions_path,
                                            VersionsJson& versions, VersionEntry& entry) {
  entry.status = VersionStatus::Removed;
  if (auto w = rewrite_open_file(versions_path, to_pretty_json(versions)); !w) return w;
  return remove_version_dir(project_dir / entry.version);
}

}  // namespace

std::expected<void, FsIoError> remove_all_index_versions(const std::filesystem::path& project_dir,
                                                         const std::filesystem::path& versions_path,
                                                         VersionsJson& versions) {
  for (const auto& entry : versions.versions)
    if (entry.status != VersionStatus::Removed)
      if (auto checked = check_component(project_dir, entry.version); !checked) return checked;
  for (auto& entry : versions.versions)
    if (entry.status != VersionStatus::Removed)
      if (auto removed = remove_entry(project_dir, versions_path, versions, entry); !removed) return removed;
  return {};
}

std::expected<bool, FsIoError> remove_index_version(const std::filesystem::path& project_dir,
                                                    const std::filesystem::path& versions_path,
                                                    VersionsJson& versions, std::string_view version,
                                                    std::string_view iri) {
  for (const auto& entry : versions.versions)
    if (entry.version == version && entry.status != VersionStatus::Removed)
      if (auto checked = check_component(project_dir, version); !checked) return std::unexpected(checked.error());
  bool matched = false;
  for (auto& entry : versions.versions) {
    if (entry.version != version) continue;
    matched = true;
    if (entry.status == VersionStatus::Removed) {
      log::warn(kRemoveTarget, "{} version {} is already removed", iri, version);
      continue;
    }
    if (auto removed = remove_entry(project_dir, versions_path, versions, entry); !removed)
      return std::unexpected(removed.error());
  }
  return matched;
}

std::expected<void, IndexError> do_index_yank(std::string iri, std::string version, std::filesystem::path index_root) {
  using Err = IndexYankError;
  auto fail = [](Err err) { return std::unexpected(edit_error(std::move(err))); };
  auto project = find_project<Err>(index_root, iri);
  if (!project) return fail(std::move(project.error()));
  auto versions = read_versions<Err>(*project);
  if (!versions) return fail(std::move(versions.error()));
  const std::string& identifier = project->identifier;
  log_status(kYankTarget, "Yanking", fmt::format("{} version {}", identifier, version));
  std::size_t matches = 0;
  for (auto& entry : versions->versions) {
    if (entry.version != version) continue;
    ++matches;
    switch (entry.status) {
      case VersionStatus::Available:
        entry.status = VersionStatus::Yanked;
        if (auto w = rewrite_open_file(project->versions_path, to_pretty_json(*versions)); !w)
          return fail(Err::Io{std::move(w.error())});
        break;
      case VersionStatus::Yanked: log::warn(kYankTarget, "{} version {} is already yanked", identifier, version); break;
      case VersionStatus::Removed: return fail(Err::VersionRemoved{identifier, version});
    }
  }
  if (matches == 0) return fail(Err::VersionNotFound{identifier, version});
  if (matches > 1) log::warn(kYankTarget, "{} had duplicate versions {}, all are yanked", identifier, version);
  return {};
}

std::expected<void, IndexError> do_index_remove(std::string iri, std::optional<std::string> version,
                                                std::filesystem::path index_root) {
  using Err = IndexRemoveError;
  auto fail = [](Err err) { return std::unexpected(edit_error(std::move(err))); };
  auto project = find_project<Err>(index_root, iri);
  if (!project) return fail(std::move(project.error()));
  const std::string& identifier = project->identifier;
  IndexProject& listed = project->index.projects[project->position];
  if (listed.status == IndexProjectStatus::Removed)
    log::warn(kRemoveTarget, "{} is already removed", identifier);
  else
    listed.status = IndexProjectStatus::Removed;
  const std::string index_text = to_pretty_json(project->index);
  auto versions = read_versions<Err>(*project);
  if (!versions) return fail(std::move(versions.error()));

  if (!version) {
    log_status(kRemoveTarget, "Removing", identifier);
    if (auto removed = remove_all_index_versions(project->dir, project->versions_path, *versions); !removed)
      return fail(Err::Io{std::move(removed.error())});
    // The project is marked only once all its versions are gone.
    if (auto w = rewrite_open_file(project->index_path, index_text); !w) return fail(Err::Io{std::move(w.error())});
    return {};
  }
  // One version: the project stays as it is listed.
  log_status(kRemoveTarget, "Removing", fmt::format("{} version {}", identifier, *version));
  auto matched = remove_index_version(project->dir, project->versions_path, *versions, *version, identifier);
  if (!matched) return fail(Err::Io{std::move(matched.error())});
  if (!*matched) return fail(Err::VersionNotFound{identifier, *version});
  return {};
}

}  // namespace kestro::commands
