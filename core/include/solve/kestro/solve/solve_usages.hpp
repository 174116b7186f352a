// The one entry into version solving: the root usages, the directory their
// relative paths start from and a candidate source in; the chosen project of
// every identifier text, or why there is none, out.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestro/solve/provider.hpp"
#include "kestro/solve/pubgrub.hpp"
#include "kestro/solve/pubgrub_report.hpp"
#include "kestro/solve/solver_error.hpp"

namespace kestro::solve {

// The chosen project per identifier text; the root has no entry.
template <typename Project>
using SolvedMap = std::map<std::string, Project>;

// The words of the failure report: identifiers by their display, positions
// as numbers, sets by their text.
struct SolverWords {
  std::string package(const DependencyIdentifier& p) const { return p.display(); }
  bool is_root(const DependencyIdentifier& p) const { return p.is_root(); }
  std::string version(std::uint64_t v) const { return std::to_string(v); }
  std::string set(const DiscreteHashSet& s) const { return s.text(); }
};

// The root package of the usages: one target per usage, in order, each
// with the base path as the directory it is relative to.
DependencyIdentifier root_of(const std::vector<InterchangeProjectUsage>& usages,
                             const std::optional<std::filesystem::path>& base_path);

// The snapshots of every retrieved list, for the failure report.
template <typename Project>
CandidateMap snapshot_candidates(const CandidateCache<Project>& cache) {
  CandidateMap out;
  for (const auto& [id, list] : cache) {
    std::vector<CandidateSnapshot> snaps;
    snaps.reserve(list.size());
    for (std::uint64_t i = 0; i < list.size(); ++i)
      snaps.push_back(CandidateSnapshot{list[i].dependencies, list[i].version, i,
                                        list[i].source_may_offer_multiple_versions});
    out.emplace(id, std::move(snaps));
  }
  return out;
}

// The solver's failure as a `SolverError`; a failure without solution gets
// its no-version facts folded and its report written.
SolverError solver_error_of(const DerivationTree& failure, CandidateMap candidates);

template <typename Project>
std::expected<SolvedMap<Project>, SolverError> solve_usages(std::vector<InterchangeProjectUsage> usages,
                                                            std::optional<std::filesystem::path> base_path,
                                                            std::unique_ptr<CandidateSource<Project>> source) {
  ProjectDependencyProvider<Project> provider(std::move(source));
  const DependencyIdentifier root = root_of(usages, base_path);
  auto solved = pubgrub::solve(provider, root, std::uint64_t{0});
  CandidateCache<Project> cache = provider.take_cache();
  if (!solved) {
    using Fail = pubgrub::FailureOf<ProjectDependencyProvider<Project>>;
    return std::unexpected(std::visit(
        [&](auto& f) -> SolverError {
          using F = std::decay_t<decltype(f)>;
          if constexpr (std::is_same_v<F, typename Fail::NoSolution>) {
            return solver_error_of(f.tree, snapshot_candidates(cache));
          } else if constexpr (std::is_same_v<F, typename Fail::RetrievingDependencies>) {
            return SolverError(SolverError::RetrievingDependencies{std::move(f.package), f.version, std::move(f.err)});
          } else {
            return SolverError(SolverError::ChoosingVersion{std::move(f.package), std::move(f.err)});
          }
        },
        solved.error().value));
  }
  std::unordered_map<std::string, std::size_t> at;
  for (std::size_t i = 0; i < cache.size(); ++i) at.emplace(cache[i].first, i);
  SolvedMap<Project> out;
  for (auto& [package, position] : *solved) {
    if (package.is_root()) continue;
    auto it = at.find(package.text());
    if (it == at.end()) internal_error("internal solver error");
    auto& list = cache[it->second].second;
    if (position >= list.size()) internal_error("a chosen position lies outside its candidate list");
    out.emplace(package.text(), std::move(list[position].project));
  }
  return out;
}

}  // namespace kestro::solve
