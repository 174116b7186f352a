// The index environment resolver.
#include "kestro/resolve/index_resolver.hpp"

#include <string>
#include <vector>

#include "kestro/model/usage_match.hpp"
#include "kestro/remote/index_candidates.hpp"
#include "kestro/resolve/local_resolver.hpp"

namespace kestro::resolve {

std::expected<EnvResolver::Outcome, IndexEnvError> EnvResolver::resolve(const UsageInContext& usage) {
  const std::string iri = usage_identifier(usage.usage);
  auto versions = environment_.candidate_versions(iri);
  if (!versions) return std::unexpected(std::move(versions.error()));
  if (versions->empty()) return Outcome{Outcome::NotFound{kEnvDoesNotContain}};
  std::vector<IndexCandidateItem> items;
  items.reserve(versions->size());
  for (std::string& version : *versions)
    items.push_back(index_project_candidates(std::move(version), environment_, iri));
  return Outcome::resolved_with(std::move(items));
}

std::expected<IndexEntryHandle, IndexEnvError> wrap_index_candidate(IndexCandidateItem item) {
  if (!item) return std::unexpected(std::move(item.error()));
  return index_candidate(std::move(*item));
}

}  // namespace kestro::resolve
