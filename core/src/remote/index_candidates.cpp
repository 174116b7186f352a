// Enumerating an index project's versions and building their candidates.
#include "kestro/remote/index_candidates.hpp"

#include "kestro/utils/log.hpp"

namespace kestro::remote {

namespace {

using Fail = std::unexpected<IndexEnvError>;

}  // namespace

std::optional<std::string> SkipRetiredVersion::next() {
  while (at_ < list_->size()) {
    const auto& entry = (*list_)[at_++];
    if (entry.status == VersionStatus::Available) return entry.version.to_string();
    log::debug(kIndexTarget, "skipping retired version `{}` of `{}` (status: {}) during candidate enumeration",
               entry.version.to_string(), iri_, version_status_name(entry.status));
  }
  return std::nullopt;
}

std::expected<IndexEntryProject, IndexEnvError> index_project_candidates(VersionItem item, const IndexEnvironment& env,
                                                                         std::string_view iri) {
  if (!item) return Fail(std::move(item.error()));
  auto endpoints = env.index_endpoints_once();
  if (!endpoints) return Fail(IndexEnvError::Discovery{std::move(endpoints.error())});
  const IndexLocation& root = endpoints->get().index_root;
  auto url = versions_json_url(root, iri);
  if (!url) return Fail(IndexEnvError::MalformedIri{std::move(url.error())});
  auto list = env.fetch_versions_json(iri);
  if (!list) return Fail(std::move(list.error()));
  if (!*list) return Fail(IndexEnvError::ProjectNotInIndex{url->href(), std::string(iri)});

  auto wanted = semver::Version::parse(*item);
  if (!wanted) {
    log::debug(kIndexTarget, "index: failed to parse version `{}`:\n{};\ntreating as not present in index", *item,
               wanted.error().message());
    return Fail(IndexEnvError::VersionNotInIndex{url->href(), std::move(*item)});
  }
  const ValidatedVersionEntry* found = nullptr;
  for (const auto& entry : ***list)
    if (entry.version == *wanted) {
      found = &entry;
      break;
    }
  if (!found) return Fail(IndexEnvError::VersionNotInIndex{url->href(), std::move(*item)});
  std::string version = found->version.to_string();
  if (found->status == VersionStatus::Removed)
    return Fail(IndexEnvError::VersionRemoved{url->href(), std::string(iri), std::move(version)});

  auto kpar_url = index_version_kpar_url(root, iri, version);
  if (!kpar_url) return Fail(IndexEnvError::MalformedIri{std::move(kpar_url.error())});
  auto info_url = index_version_file_url(root, iri, version);
  if (!info_url) return Fail(IndexEnvError::MalformedIri{std::move(info_url.error())});
  auto meta_url = index_version_meta_url(root, iri, version);
  if (!meta_url) return Fail(IndexEnvError::MalformedIri{std::move(meta_url.error())});
  auto project = IndexEntryProject::create(kpar_url->href(), std::move(*info_url), std::move(*meta_url), *found,
                                           env.client(), env.policy());
  if (!project) {
    const auto& downloaded = std::get<IndexEntryError::Downloaded>(project.error().payload());
    return Fail(IndexEnvError::ProjectDownloaded{downloaded.err});
  }
  return std::move(*project);
}

}  // namespace kestro::remote
