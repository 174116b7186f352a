// A failed solve: the solver's packages and candidates, the derivation tree
// of a failure, the facts drawn from it and the message of the failure.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kestro/env/env_error.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/resolve/composite_error.hpp"
#include "kestro/resolve/resolution_error.hpp"
#include "kestro/solve/discrete_set.hpp"
#include "kestro/solve/pubgrub.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::solve {

// A solver package: the root (the locked project, with its own usages) or
// one usage target, by its identifier text and the usage it came from.
struct DependencyIdentifier {
  struct Target {
    std::string identifier;
    UsageInContext usage;
  };
  struct Root {
    std::vector<Target> usages;
  };
  std::variant<Root, Target> value;

  bool is_root() const { return std::holds_alternative<Root>(value); }
  // The identifier text; empty for the root.
  const std::string& text() const;
  // "requested project(s)" for the root, else the usage's label.
  std::string display() const;

  // By identifier texts alone: targets by their text, roots by the texts of
  // their usages in order; a root never equals a target.
  friend bool operator==(const DependencyIdentifier& a, const DependencyIdentifier& b);
};

// One candidate the provider offered for an identifier. `index` is the
// number the solver works with.
struct CandidateSnapshot {
  std::vector<DependencyIdentifier::Target> usages;
  semver::Version version;
  std::uint64_t index = 0;
  bool source_may_offer_multiple_versions = false;
};
using CandidateMap = std::map<std::string, std::vector<CandidateSnapshot>>;

// The proof of a failed solve over candidate positions.
using DerivationTree = pubgrub::DerivationTree<DependencyIdentifier, std::uint64_t, DiscreteHashSet>;

// One statement about a failed solve. An absent `required_by` means the
// locked project itself.
struct SolverFact {
  struct Constraint {
    std::string iri;
    std::string constraint;
    std::optional<std::string> required_by;
    friend bool operator==(const Constraint&, const Constraint&) = default;
  };
  struct NoVersions {
    std::string iri;
    std::string constraint;
    std::vector<std::string> found;
    std::optional<std::string> required_by;
    bool defaulted = false;
    friend bool operator==(const NoVersions&, const NoVersions&) = default;
  };
  struct NotFound {
    std::string iri;
    std::string reason;
    friend bool operator==(const NotFound&, const NotFound&) = default;
  };
  std::variant<Constraint, NoVersions, NotFound> value;
  friend bool operator==(const SolverFact&, const SolverFact&) = default;
};

// Appends the facts of the tree, depth first, left cause first, each once.
void collect_solver_facts(const DerivationTree& tree, const CandidateMap& candidates, std::vector<SolverFact>& facts);

// The display of a sum whose every variant holds one error, `err`, and shows
// it as its own: text, cause and debug form.
struct ShowsHeldError {
  template <typename V>
  static std::string text_of(const V& v) {
    return v.err.message();
  }
  template <typename V>
  static std::string debug_of(const V& v) {
    return v.err.debug();
  }
  template <typename V>
  static const Error* cause_of(const V& v) {
    return v.err.cause();
  }
};

// The resolver's error of the solver's resolver chains: the combined
// resolver's (lock, clone), the local environment's (solving against an
// installed environment) or an environment's that holds no projects.
struct SolverResolverVariants {
  struct Combined { CombinedResolverError err; };
  struct LocalEnvironment { LocalDirectoryEnvReadError err; };
  struct NullEnvironment { NullEnvironmentError err; };
  using Sum = std::variant<Combined, LocalEnvironment, NullEnvironment>;
};
class SolverResolverError : public ErrorSum<SolverResolverError, SolverResolverVariants>, public ShowsHeldError {
 public:
  using ErrorSum::ErrorSum;
};

// The read error of the candidate projects those chains yield: the
// combined resolver's projects and the installed environment's (an
// environment with no projects yields none).
struct SolverProjectVariants {
  struct Combined { CombinedProjectError err; };
  struct LocalEnvironment { LocalSrcError err; };
  using Sum = std::variant<Combined, LocalEnvironment>;
};
class SolverProjectError : public ErrorSum<SolverProjectError, SolverProjectVariants>, public ShowsHeldError {
 public:
  using ErrorSum::ErrorSum;
};
using SolverRetrievalError = RetrievalError<SolverResolverError, SolverProjectError>;

// The solver's failures.
struct SolverVariants {
  // No choice of versions satisfies the constraints: the derivation tree,
  // the solver's own text report of it, and the candidates it saw.
  struct NoSolution { DerivationTree tree; std::string report; CandidateMap candidates; };
  struct RetrievingDependencies { DependencyIdentifier package; std::uint64_t version; SolverRetrievalError err; };
  struct ChoosingVersion { DependencyIdentifier package; SolverRetrievalError err; };
  using Sum = std::variant<NoSolution, RetrievingDependencies, ChoosingVersion>;
};

// One `NoVersions` fact explains itself in four lines; any other failure to
// satisfy the constraints shows the solver's report. The debug form is the
// variant with the package, version and error it holds. No cause.
class SolverError : public ErrorSum<SolverError, SolverVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const NoSolution& v);
  static std::string text_of(const RetrievingDependencies& v);
  static std::string text_of(const ChoosingVersion& v);
  static std::string debug_of(const NoSolution& v);
  static std::string debug_of(const RetrievingDependencies& v);
  static std::string debug_of(const ChoosingVersion& v);
};

std::vector<SolverFact> solver_error_facts(const SolverError& error);

// The text of the found versions in a failure message: each in backticks,
// joined by ", ".
std::string join_comma_separated(const std::vector<std::string>& items);

}  // namespace kestro::solve

template <>
struct std::hash<kestro::solve::DependencyIdentifier> {
  std::size_t operator()(const kestro::solve::DependencyIdentifier& id) const noexcept;
};
