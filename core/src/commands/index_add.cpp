// `index add`: one version of one project from a KPAR archive.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "index_files.hpp"
#include "kestro/commands/index_add_error.hpp"
#include "kestro/commands/kpar_archive.hpp"
#include "kestro/commands/local_index.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/project/kpar_records.hpp"
#include "kestro/project/local_kpar.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

namespace {

constexpr std::string_view kTarget = "kestro_core::commands::index::add";

using E = IndexAddError;
template <typename T>
using AddResult = std::expected<T, IndexAddError>;
using Fail = std::unexpected<IndexAddError>;

IndexAddError from_list_file(const IndexFileError& err) {
  if (const auto* json = err.get_if<IndexFileError::Json>()) return E::InvalidJsonFile{display_path(json->path), json->json};
  if (const auto* missing = err.get_if<IndexFileError::NotFound>()) return E::NotAnIndex{missing->fs};
  return E::Io{err.get_if<IndexFileError::Io>()->fs};
}

AddResult<std::string> normalized(std::expected<std::string, IndexFieldError> field) {
  if (!field) return Fail(E::InvalidField{std::move(field.error())});
  return std::move(*field);
}

// The project's place in the index: from the IRI when given, else from the
// record's publisher and name as written.
AddResult<IndexProjectKey> derive_project_key(const std::optional<std::string>& iri,
                                              const InterchangeProjectInfoRaw& info, const std::string& kpar) {
  if (!iri) {
    if (!info.publisher) return Fail(E::IriUnclear{});
    auto publisher = normalized(normalize_index_publisher(*info.publisher, kpar));
    if (!publisher) return Fail(std::move(publisher.error()));
    auto name = normalized(normalize_index_name(info.name, kpar));
    if (!name) return Fail(std::move(name.error()));
    return IndexProjectKey{IndexProjectKey::Purl{std::move(*publisher), std::move(*name)}};
  }
  auto key = split_index_iri(*iri);
  if (!key) return Fail(E::InvalidIri{std::move(key.error())});
  const auto* purl = std::get_if<IndexProjectKey::Purl>(&key->value);
  // Any other IRI names the project alone; the record is not consulted.
  if (purl == nullptr) return std::move(*key);
  if (!info.publisher) return Fail(E::IriNeedsPublisher{*iri, purl->publisher});
  auto publisher = normalized(normalize_index_publisher(*info.publisher, kpar));
  if (!publisher) return Fail(std::move(publisher.error()));
  if (*publisher != purl->publisher) return Fail(E::PublisherDiffers{*iri, purl->publisher, std::move(*publisher)});
  auto name = normalized(normalize_index_name(info.name, kpar));
  if (!name) return Fail(std::move(name.error()));
  if (*name != purl->name) return Fail(E::NameDiffers{*iri, purl->name, std::move(*name)});
  return std::move(*key);
}

// One entry of `versions.json` with its parsed version.
struct ListedVersion {
  semver::Version version;
  VersionEntry entry;
};

// Newest first.
bool newer(const semver::Version& a, const semver::Version& b) { return semver::compare_version_order(a, b) > 0; }

// The entries parsed and sorted newest first (stable), duplicates refused.
AddResult<std::vector<ListedVersion>> sorted_versions(VersionsJson versions, const std::string& path) {
  std::vector<ListedVersion> listed;
  listed.reserve(versions.versions.size() + 1);
  for (auto& entry : versions.versions) {
    auto version = semver::Version::parse(entry.version);
    if (!version) return Fail(E::InvalidVersion{path, entry.version, std::move(version.error())});
    listed.push_back({std::move(*version), std::move(entry)});
  }
  std::ranges::stable_sort(listed, newer, &ListedVersion::version);
  // Equal in this order means equal texts.
  auto twin = std::ranges::adjacent_find(listed, std::ranges::equal_to{}, [](const ListedVersion& l) -> const std::string& {
    return l.entry.version;
  });
  if (twin != listed.end()) return Fail(E::DuplicateVersion{path, twin->entry.version});
  return listed;
}

// Copies the archive and writes both records into the new version
// directory; on a failure removes the directory again.
std::expected<void, IndexAddError> fill_version_dir(const fs::path& version_dir, const fs::path& kpar,
                                                    std::string_view info_text, std::string_view meta_text) {
  auto written = [&]() -> std::expected<void, FsIoError> {
    const fs::path copy = version_dir / "project.kpar";
    std::error_code ec;
    fs::copy_file(kpar, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) return std::unexpected(FsIoError::CopyFile{kpar, copy, IoError::from_errno(ec.value())});
    if (auto w = write_file_in_place(version_dir / ".project.json", info_text); !w) return w;
    return write_file_in_place(version_dir / ".meta.json", meta_text);
  }();
  if (written) return {};
  std::error_code ec;
  fs::remove_all(version_dir, ec);
  if (ec)
    return Fail(
        E::CleanupFailed{FsIoError::RmDir{version_dir, IoError::from_errno(ec.value())}, std::move(written.error())});
  return Fail(E::CleanedUp{std::move(written.error())});
}

AddResult<void> add_version(std::optional<std::string> iri, fs::path kpar_path, fs::path index_root) {
  // The root and its project list.
  auto is_root = is_index_root(index_root);
  if (!is_root) return Fail(E::Io{std::move(is_root.error())});
  if (!*is_root) return Fail(E::IndexRootNotFound{display_path(index_root)});
  const fs::path index_path = index_root / kIndexJson;
  auto index = parse_index_json(index_path);
  if (!index) return Fail(from_list_file(index.error()));

  // The archive and its records.
  std::error_code ec;
  const fs::path kpar = fs::absolute(kpar_path, ec);
  if (ec) return Fail(E::Io{FsIoError::Absolute{kpar_path, IoError::from_errno(ec.value())}});
  const std::string kpar_text = display_path(kpar);
  auto archive = open_kpar_archive(kpar);
  if (!archive) return Fail(E::Kpar{std::move(archive.error())});
  if (!archive->project_dir.empty()) return Fail(E::NotAtRoot{kpar_text, archive->project_dir});
  const OpenedKpar opened{kpar, std::string(), {}, 0};
  auto info = read_kpar_info_entry(opened, archive->archive);
  if (!info) return Fail(E::Kpar{std::move(info.error())});
  if (!*info) return Fail(E::MissingInfo{kpar_text});
  auto meta = read_kpar_meta_entry(opened, archive->archive);
  if (!meta) return Fail(E::Kpar{std::move(meta.error())});
  if (!*meta) return Fail(E::MissingMeta{kpar_text});
  auto valid_info = validate_project_info(**info);
  if (!valid_info) return Fail(E::InvalidKpar{kpar_text, std::move(valid_info.error())});
  if (auto valid_meta = validate_project_meta(**meta); !valid_meta)
    return Fail(E::InvalidKpar{kpar_text, std::move(valid_meta.error())});
  semver::Version version = valid_info->version;
  if (!version.build.empty()) {
    semver::Version release = version;
    release.build.clear();
    return Fail(E::BuildMetadata{(*info)->version, kpar_text, release.to_string()});
  }

  // The project's place and its entry in the project list.
  auto key = derive_project_key(iri, **info, kpar_text);
  if (!key) return Fail(std::move(key.error()));
  const fs::path project_dir = index_root / index_project_path_string(*key);
  const std::string identifier = index_project_display(*key);
  std::vector<const IndexProject*> listed;
  for (const auto& project : index->projects)
    if (project.iri == identifier) listed.push_back(&project);
  if (listed.size() > 1) return Fail(E::ProjectTwice{identifier});
  if (listed.size() == 1 && listed.front()->status == IndexProjectStatus::Removed)
    return Fail(E::ProjectRemoved{identifier});
  const bool new_project = listed.empty();
  if (new_project) index->projects.push_back(IndexProject{identifier, IndexProjectStatus::Available});

  const std::string info_text = to_pretty_json(**info);
  const std::string meta_text = to_pretty_json(**meta);

  // The project's version list, with the new entry in its place.
  fs::create_directories(project_dir, ec);
  if (ec) return Fail(E::Io{FsIoError::MkDir{project_dir, IoError::from_errno(ec.value())}});
  const fs::path versions_path = project_dir / kVersionsJson;
  auto versions = parse_versions_json(versions_path);
  if (!versions) {
    IndexAddError err = from_list_file(versions.error());
    // The reader creates the file: a missing one is another failure here.
    if (const auto* missing = err.get_if<E::NotAnIndex>()) err = E::Io{missing->source};
    return Fail(std::move(err));
  }
  auto sorted = sorted_versions(std::move(*versions), display_path(versions_path));
  if (!sorted) return Fail(std::move(sorted.error()));
  auto place = std::ranges::lower_bound(*sorted, version, newer, &ListedVersion::version);
  if (place != sorted->end() && semver::compare_version_order(place->version, version) == 0) {
    const std::string& text = (*info)->version;
    switch (place->entry.status) {
      case VersionStatus::Available: return Fail(E::VersionExists{identifier, text});
      case VersionStatus::Yanked: return Fail(E::VersionYanked{identifier, text});
      case VersionStatus::Removed: return Fail(E::VersionRemoved{identifier, text});
    }
  }
  auto size = kpar_file_size(kpar);
  if (!size) return Fail(E::Kpar{std::move(size.error())});
  auto digest = kpar_file_sha256(kpar);
  if (!digest) return Fail(E::Kpar{std::move(digest.error())});
  VersionEntry entry{(*info)->version, (*info)->usage, *size, format_sha256_digest(*digest), VersionStatus::Available};
  sorted->insert(place, ListedVersion{std::move(version), std::move(entry)});
  VersionsJson updated;
  updated.versions.reserve(sorted->size());
  for (auto& l : *sorted) updated.versions.push_back(std::move(l.entry));
  const std::string versions_text = to_pretty_json(updated);
  const std::string index_text = to_pretty_json(*index);

  // The files: the version directory first, then the lists that name it.
  log_status(kTarget, "Adding", fmt::format("{} version {}", identifier, (*info)->version));
  const fs::path version_dir = project_dir / (*info)->version;
  if (::mkdir(version_dir.c_str(), 0777) != 0) return Fail(E::Io{FsIoError::MkDir{version_dir, IoError::last()}});
  if (auto filled = fill_version_dir(version_dir, kpar, info_text, meta_text); !filled) return filled;
  if (auto w = rewrite_open_file(versions_path, versions_text); !w) return Fail(E::Io{std::move(w.error())});
  if (new_project)
    if (auto w = rewrite_open_file(index_path, index_text); !w) return Fail(E::Io{std::move(w.error())});
  return {};
}

}  // namespace

std::expected<void, IndexError> do_index_add(std::optional<std::string> iri, std::filesystem::path kpar_path,
                                             std::filesystem::path index_root) {
  auto added = add_version(std::move(iri), std::move(kpar_path), std::move(index_root));
  if (added) return {};
  auto suggestion = index_add_suggestion(added.error());
  return std::unexpected(index_error(std::move(added.error()), std::move(suggestion)));
}

}  // namespace kestro::commands
