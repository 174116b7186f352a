// Fetching and checking `versions.json`, and the index environment's cells.
#include "kestro/remote/versions.hpp"

#include <unordered_set>

#include "kestro/remote/index_candidates.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/sha256.hpp"

namespace kestro::remote {

namespace {

using Fail = std::unexpected<IndexEnvError>;

// "sha256:" and 64 lower-case hex digits.
bool is_wire_digest(std::string_view digest) {
  constexpr std::string_view kPrefix = "sha256:";
  return digest.starts_with(kPrefix) && is_lower_hex_digest(digest.substr(kPrefix.size()));
}

}  // namespace

std::expected<ValidatedVersionEntry, IndexEnvError> check_version_entry(std::string_view url, VersionEntry entry) {
  auto version = semver::Version::parse(entry.version);
  if (!version)
    return Fail(IndexEnvError::InvalidSemverVersion{std::string(url), entry.version, std::move(version.error())});
  if (!version->build.empty()) return Fail(IndexEnvError::VersionHasBuildMetadata{std::string(url), entry.version});
  if (!is_wire_digest(entry.kpar_digest))
    return Fail(IndexEnvError::InvalidVersionEntry{std::string(url), entry.version, "kpar_digest", entry.kpar_digest});
  return ValidatedVersionEntry{std::move(*version), std::move(entry.usage), entry.kpar_digest.substr(7),
                               entry.kpar_size, entry.status};
}

std::expected<VersionList, IndexEnvError> validate_versions_json(std::string_view url,
                                                                 std::vector<VersionEntry> entries) {
  auto list = std::make_shared<std::vector<ValidatedVersionEntry>>();
  list->reserve(entries.size());
  for (auto& entry : entries) {
    auto checked = check_version_entry(url, std::move(entry));
    if (!checked) return Fail(std::move(checked.error()));
    list->push_back(std::move(*checked));
  }
  // The canonical text tells versions apart exactly as equality does.
  std::unordered_set<std::string> seen;
  for (const auto& entry : *list) {
    std::string text = entry.version.to_string();
    if (!seen.insert(text).second) return Fail(IndexEnvError::DuplicateVersion{std::string(url), std::move(text)});
  }
  for (std::size_t k = 0; k + 1 < list->size(); ++k) {
    const auto& prev = (*list)[k].version;
    const auto& curr = (*list)[k + 1].version;
    if (!(prev > curr))
      return Fail(IndexEnvError::VersionsOutOfOrder{std::string(url), prev.to_string(), curr.to_string()});
  }
  return VersionList(std::move(list));
}

IndexEnvironment::IndexEnvironment(IndexLocation location, http::Client client, auth::AuthPolicy policy)
    : location_(std::move(location)), client_(std::move(client)), policy_(std::move(policy)) {}

IndexEnvironment::IndexEnvironment(IndexEndpoints endpoints, http::Client client, auth::AuthPolicy policy)
    : client_(std::move(client)), policy_(std::move(policy)), endpoints_(std::move(endpoints)) {}

std::expected<std::reference_wrapper<const IndexEndpoints>, DiscoveryError> IndexEnvironment::index_endpoints_once()
    const {
  if (!endpoints_) {
    auto found = discover_index_endpoints(client_, policy_, *location_);
    if (!found) return std::unexpected(std::move(found.error()));
    endpoints_ = std::move(*found);
  }
  return std::cref(*endpoints_);
}

std::expected<std::optional<VersionList>, IndexEnvError> IndexEnvironment::fetch_versions_json(
    std::string_view iri) const {
  if (auto it = versions_.find(iri); it != versions_.end()) return std::optional<VersionList>(it->second);
  auto endpoints = index_endpoints_once();
  if (!endpoints) return Fail(IndexEnvError::Discovery{std::move(endpoints.error())});
  auto url = versions_json_url(endpoints->get().index_root, iri);
  if (!url) return Fail(IndexEnvError::MalformedIri{std::move(url.error())});
  auto document = fetch_index_json(client_, policy_, *url, model::parse_versions_json_text, FetchMode::AllowMissing);
  if (!document) return Fail(IndexEnvError::Fetch{std::move(document.error())});
  if (!*document) return std::optional<VersionList>();
  auto list = validate_versions_json(url->href(), std::move((*document)->versions));
  if (!list) return Fail(std::move(list.error()));
  versions_.emplace(std::string(iri), *list);
  return std::optional<VersionList>(std::move(*list));
}

std::expected<std::vector<std::string>, IndexEnvError> IndexEnvironment::candidate_versions(
    std::string_view iri) const {
  auto list = fetch_versions_json(iri);
  if (!list) return Fail(std::move(list.error()));
  std::vector<std::string> out;
  if (!*list) {
    log::debug(kIndexTarget, "versions.json 404 for `{}`: project not in this index, yielding empty candidate stream",
               iri);
    return out;
  }
  SkipRetiredVersion available(std::move(**list), std::string(iri));
  while (auto version = available.next()) out.push_back(std::move(*version));
  return out;
}

}  // namespace kestro::remote
