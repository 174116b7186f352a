// The dependency provider the solver asks: which package to decide next,
// which candidate position to try, and what a chosen candidate requires.
// Candidates come from a `CandidateSource` once per identifier text and are
// kept for the run; positions are indexes into that list.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kestro/solve/discrete_set.hpp"
#include "kestro/solve/solver_error.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::solve {

// One candidate of a usage target: its usages as solver packages, its
// version, whether its source offers several versions of the project (an
// index), and the project itself.
template <typename Project>
struct CachedCandidate {
  std::vector<DependencyIdentifier::Target> dependencies;
  semver::Version version;
  bool source_may_offer_multiple_versions = false;
  Project project;
};

// Where the candidates of a target come from: the resolver chain with its
// screening of candidates, or a stand-in.
template <typename Project>
class CandidateSource {
 public:
  virtual ~CandidateSource() = default;
  virtual std::expected<std::vector<CachedCandidate<Project>>, SolverRetrievalError> retrieve(
      const DependencyIdentifier::Target& target) = 0;
};

// The candidate lists retrieved in a run, in the order their identifiers
// were first retrieved.
template <typename Project>
using CandidateCache = std::vector<std::pair<std::string, std::vector<CachedCandidate<Project>>>>;

// A candidate's position and version, as version choice sorts them.
struct PositionedVersion {
  std::uint64_t position;
  const semver::Version* version;
};

// All-except sets first (0), then explicit sets by member count.
std::uint64_t set_priority(const DiscreteHashSet& set);
// The smallest member of an explicit set, logged.
std::optional<std::uint64_t> choose_listed(const DiscreteHashSet& set);
// For the root under an all-except set: none, logged.
std::optional<std::uint64_t> choose_for_root();
// The highest version (ties: the earlier position) whose position the
// all-except set admits, logged with the target's label.
std::optional<std::uint64_t> choose_highest(const DependencyIdentifier::Target& target, const DiscreteHashSet& set,
                                            std::vector<PositionedVersion> candidates);
// The positions a usage admits: all for a path usage and for a resource
// usage without a requirement; otherwise those whose version matches the
// usage's requirement, or `*` when it has none of its own and some candidate
// comes from a source of several versions.
DiscreteHashSet admitted_positions(const UsageInContext& usage, std::span<const semver::Version* const> versions,
                                   bool any_from_multi_version_source);

template <typename Project>
class ProjectDependencyProvider {
 public:
  using Package = DependencyIdentifier;
  using Version = std::uint64_t;
  using Set = DiscreteHashSet;
  using Error = SolverRetrievalError;
  using Candidates = std::vector<CachedCandidate<Project>>;

  explicit ProjectDependencyProvider(std::unique_ptr<CandidateSource<Project>> source) : source_(std::move(source)) {}

  // The target's list, retrieved on first use; a failure is not kept.
  std::expected<const Candidates*, Error> candidates(const DependencyIdentifier::Target& target) {
    auto it = index_.find(target.identifier);
    if (it != index_.end()) return &cache_[it->second].second;
    auto found = source_->retrieve(target);
    if (!found) return std::unexpected(std::move(found.error()));
    index_.emplace(target.identifier, cache_.size());
    cache_.emplace_back(target.identifier, std::move(*found));
    return &cache_.back().second;
  }

  // One (package, set) per target, in order; the first retrieval failure
  // ends it.
  std::expected<std::vector<std::pair<Package, Set>>, Error> get_dependencies(
      std::span<const DependencyIdentifier::Target> targets) {
    std::vector<std::pair<Package, Set>> out;
    out.reserve(targets.size());
    std::vector<const semver::Version*> versions;
    for (const auto& target : targets) {
      auto list = candidates(target);
      if (!list) return std::unexpected(std::move(list.error()));
      versions.clear();
      bool multi = false;
      for (const auto& c : **list) {
        versions.push_back(&c.version);
        multi = multi || c.source_may_offer_multiple_versions;
      }
      out.emplace_back(Package{target}, admitted_positions(target.usage, versions, multi));
    }
    return out;
  }

  std::uint64_t prioritize(const Package&, const Set& set) const { return set_priority(set); }

  std::expected<std::optional<Version>, Error> choose_version(const Package& package, const Set& set) {
    if (set.form() == Set::Form::Listed) return choose_listed(set);
    const auto* target = std::get_if<DependencyIdentifier::Target>(&package.value);
    if (!target) return choose_for_root();
    auto list = candidates(*target);
    if (!list) return std::unexpected(std::move(list.error()));
    std::vector<PositionedVersion> positioned;
    positioned.reserve((*list)->size());
    for (std::uint64_t i = 0; i < (*list)->size(); ++i) positioned.push_back({i, &(**list)[i].version});
    return choose_highest(*target, set, std::move(positioned));
  }

  std::expected<std::vector<std::pair<Package, Set>>, Error> get_dependencies(const Package& package, Version position) {
    if (const auto* root = std::get_if<DependencyIdentifier::Root>(&package.value)) return get_dependencies(root->usages);
    auto list = candidates(std::get<DependencyIdentifier::Target>(package.value));
    if (!list) return std::unexpected(std::move(list.error()));
    if (position >= (*list)->size()) internal_error("a chosen position lies outside its candidate list");
    const std::vector<DependencyIdentifier::Target> usages = (**list)[position].dependencies;
    return get_dependencies(usages);
  }

  // Hands the cache over, leaving an empty one.
  CandidateCache<Project> take_cache() {
    index_.clear();
    return std::exchange(cache_, {});
  }

 private:
  std::unique_ptr<CandidateSource<Project>> source_;
  CandidateCache<Project> cache_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace kestro::solve
