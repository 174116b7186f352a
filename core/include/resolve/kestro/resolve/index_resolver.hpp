// The resolver of one configured index: every available version the index
// lists for the usage's project is one candidate, an index entry project
// whose records and archive are fetched only when read. Resolving fetches
// the project's `versions.json` (and the index's endpoints, once) and
// nothing else; the usage's version constraint plays no part.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <utility>

#include "kestro/remote/index_entry.hpp"
#include "kestro/remote/versions.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

// One candidate of an index: the entry project of a listed version, or the
// error met looking that version up.
using IndexCandidateItem = std::expected<IndexEntryProject, IndexEnvError>;

// Answers `Resolved` with one item per available version in the list's
// order (a failed lookup is an error item in its place), or `NotFound` with
// the local environment's reason when the index has no available version
// (a 404 included). A failure to get the list fails the resolution.
class EnvResolver : public Resolver<IndexCandidateItem, IndexEnvError> {
 public:
  using Outcome = ResolutionOutcome<IndexCandidateItem>;
  explicit EnvResolver(IndexEnvironment environment) : environment_(std::move(environment)) {}

  std::expected<Outcome, IndexEnvError> resolve(const UsageInContext& usage) override;

  const IndexEnvironment& environment() const { return environment_; }

 private:
  IndexEnvironment environment_;
};

// An index candidate item as the combined resolver reads it: the entry
// behind the read interface, an error item passed on unchanged. Reads
// nothing of the entry.
std::expected<IndexEntryHandle, IndexEnvError> wrap_index_candidate(IndexCandidateItem item);

}  // namespace kestro::resolve
