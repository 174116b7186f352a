// The version list of a project in an index (`versions.json`): its fetch,
// its checks, and the reading side of one configured index that resolves the
// index's endpoints once and keeps every validated list.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/remote/discovery.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::remote {

inline constexpr std::string_view kIndexTarget = "kestro_core::env::index";

// One entry of `versions.json` after its checks: the version has no build
// metadata and the digest is 64 lower-case hex digits without "sha256:".
struct ValidatedVersionEntry {
  semver::Version version;
  std::vector<InterchangeProjectUsageRaw> usage;
  std::string kpar_digest;
  std::uint64_t kpar_size = 1;
  VersionStatus status = VersionStatus::Available;
  friend bool operator==(const ValidatedVersionEntry&, const ValidatedVersionEntry&) = default;
};

// A validated list in wire order, strictly descending; shared, never copied.
using VersionList = std::shared_ptr<const std::vector<ValidatedVersionEntry>>;

// One entry's checks: semantic version, no build metadata, digest form.
std::expected<ValidatedVersionEntry, IndexEnvError> check_version_entry(std::string_view url, VersionEntry entry);

// Every entry's checks in wire order, then duplicates, then strictly
// descending precedence; the first failure of the first failing pass.
std::expected<VersionList, IndexEnvError> validate_versions_json(std::string_view url,
                                                                 std::vector<VersionEntry> entries);

// The reading side of one configured index: its location, the client and the
// policy of every request, the endpoints once discovered, and the validated
// version lists by IRI text as given. A failure is never kept: the next call
// tries again. Used by one thread at a time.
class IndexEnvironment {
 public:
  IndexEnvironment(IndexLocation location, http::Client client, auth::AuthPolicy policy);
  // An environment whose endpoints are known; it never discovers.
  IndexEnvironment(IndexEndpoints endpoints, http::Client client, auth::AuthPolicy policy);

  const std::optional<IndexLocation>& location() const { return location_; }
  const http::Client& client() const { return client_; }
  const auth::AuthPolicy& policy() const { return policy_; }

  // The endpoints, discovered on the first call that succeeds.
  std::expected<std::reference_wrapper<const IndexEndpoints>, DiscoveryError> index_endpoints_once() const;

  // The project's validated list; nothing when the index answers 404 for it.
  std::expected<std::optional<VersionList>, IndexEnvError> fetch_versions_json(std::string_view iri) const;

  // The canonical texts of the project's available versions in list order
  // (each yanked or removed one skipped with a debug line); empty, after a
  // debug line, when the index answers 404 for the project.
  std::expected<std::vector<std::string>, IndexEnvError> candidate_versions(std::string_view iri) const;

 private:
  std::optional<IndexLocation> location_;
  http::Client client_;
  auth::AuthPolicy policy_;
  mutable std::optional<IndexEndpoints> endpoints_;
  mutable std::map<std::string, VersionList, std::less<>> versions_;
};

}  // namespace kestro::remote
