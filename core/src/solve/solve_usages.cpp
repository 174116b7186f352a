#include "kestro/solve/solve_usages.hpp"

#include "kestro/model/usage_match.hpp"

namespace kestro::solve {

DependencyIdentifier root_of(const std::vector<InterchangeProjectUsage>& usages,
                             const std::optional<std::filesystem::path>& base_path) {
  DependencyIdentifier::Root root;
  root.usages.reserve(usages.size());
  for (const auto& usage : usages)
    root.usages.push_back(DependencyIdentifier::Target{usage_identifier(usage), UsageInContext{usage, base_path}});
  return DependencyIdentifier{std::move(root)};
}

SolverError solver_error_of(const DerivationTree& failure, CandidateMap candidates) {
  DerivationTree tree = pubgrub::collapse_no_versions(failure);
  std::string report = pubgrub::report(tree, SolverWords{});
  return SolverError(SolverError::NoSolution{std::move(tree), std::move(report), std::move(candidates)});
}

}  // namespace kestro::solve
