// A version solver of the PubGrub family: unit propagation over
// incompatibilities, decisions one package at a time, and conflict-driven
// learning with backjumping. A failed solve ends with the derivation tree of
// the learned incompatibility that rules out the root.
//
// The solver is generic over its provider, which names four types and
// answers three questions:
//
//   using Package = ...;  // equality and std::hash
//   using Version = ...;  // equality
//   using Set = ...;      // empty(), full(), singleton(v), complement(),
//                         // intersection(s), union_with(s), contains(v), ==
//   using Error = ...;
//   std::uint64_t prioritize(const Package&, const Set&);  // smaller first
//   std::expected<std::optional<Version>, Error> choose_version(const Package&, const Set&);
//   std::expected<std::vector<std::pair<Package, Set>>, Error> get_dependencies(const Package&, const Version&);
//
// Packages are numbered in the order the solver first meets them, and every
// walk over packages follows that order, so a run is deterministic when the
// provider is. Ties of priority go to the package met first. The dependency
// question for one (package, version) is asked at most once per run: the
// incompatibilities it gave are kept across backjumps.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <algorithm>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/utils/error.hpp"

namespace kestro::solve::pubgrub {

// A statement about one package: selected at a version of `set` (positive),
// or not selected at any version of `set` (negative; an unselected package
// satisfies it).
template <typename S>
struct Term {
  bool positive = true;
  S set;

  Term negate() const { return Term{!positive, set}; }
  Term intersection(const Term& other) const {
    if (positive && other.positive) return Term{true, set.intersection(other.set)};
    if (positive) return Term{true, set.intersection(other.set.complement())};
    if (other.positive) return Term{true, other.set.intersection(set.complement())};
    return Term{false, set.union_with(other.set)};
  }
  // Selected, at no version: no assignment satisfies it.
  bool is_empty() const { return positive && set == S::empty(); }
  // Not selected at no version: every assignment satisfies it.
  bool is_any() const { return !positive && set == S::empty(); }
  bool subset_of(const Term& other) const { return intersection(other) == *this; }
  friend bool operator==(const Term&, const Term&) = default;
};

// The proof of a failed solve. External nodes are facts the provider gave;
// a derived node holds the incompatibility its two causes prove together.
template <typename P, typename V, typename S>
struct DerivationTree {
  // The root package must be selected at `version`.
  struct NotRoot { P package; V version; };
  // No version of `package` in `set` can be chosen.
  struct NoVersions { P package; S set; };
  // `package` at a version of `set` needs `dependency` at a version of
  // `dependency_set`.
  struct FromDependencyOf {
    P package;
    S set;
    P dependency;
    S dependency_set;
  };
  struct Unavailable { P package; S set; std::string reason; };
  struct Derived {
    std::shared_ptr<const DerivationTree> cause1;
    std::shared_ptr<const DerivationTree> cause2;
    // Terms that cannot all hold; empty when nothing can be selected.
    std::vector<std::pair<P, Term<S>>> terms = {};
  };
  std::variant<NotRoot, NoVersions, FromDependencyOf, Unavailable, Derived> node;
};

// Why a run ended without a solution.
template <typename P, typename V, typename S, typename E>
struct Failure {
  struct NoSolution { DerivationTree<P, V, S> tree; };
  struct RetrievingDependencies { P package; V version; E err; };
  struct ChoosingVersion { P package; E err; };
  std::variant<NoSolution, RetrievingDependencies, ChoosingVersion> value;
};

template <typename Pr>
using FailureOf = Failure<typename Pr::Package, typename Pr::Version, typename Pr::Set, typename Pr::Error>;
// Every selected package with its version, in the order of first sight.
template <typename Pr>
using SolutionOf = std::vector<std::pair<typename Pr::Package, typename Pr::Version>>;

namespace detail {

template <typename Pr>
class Run {
 public:
  using P = typename Pr::Package;
  using V = typename Pr::Version;
  using S = typename Pr::Set;
  using T = Term<S>;
  using Tree = DerivationTree<P, V, S>;
  using Fail = FailureOf<Pr>;
  using PkgId = std::uint32_t;
  using IncompatId = std::uint32_t;
  using Terms = std::vector<std::pair<PkgId, T>>;

  explicit Run(Pr& provider) : provider_(provider) {}

  std::expected<SolutionOf<Pr>, Fail> solve(const P& root, const V& root_version) {
    root_ = intern(root);
    IncompatId first = add_incompat(Terms{{root_, T{false, S::singleton(root_version)}}}, NotRootCause{root_, root_version});
    attach(first);
    PkgId next = root_;
    while (true) {
      if (auto terminal = propagate(next)) return std::unexpected(Fail{typename Fail::NoSolution{tree_of(*terminal)}});
      auto pick = next_undecided();
      if (!pick) break;
      next = *pick;
      const S set = pkgs_[next].acc->set;
      auto choice = provider_.choose_version(packages_[next], set);
      if (!choice) return std::unexpected(Fail{typename Fail::ChoosingVersion{packages_[next], std::move(choice.error())}});
      if (!*choice) {
        attach(add_incompat(Terms{{next, T{true, set}}}, NoVersionsCause{next, set}));
        continue;
      }
      const V version = std::move(**choice);
      if (!set.contains(version)) internal_error("the provider chose a version outside the asked set");
      auto deps = dependencies_of(next, version);
      if (!deps) return std::unexpected(std::move(deps.error()));
      // A dependency that the partial solution already contradicts would
      // make the decision a conflict at once: leave the version undecided
      // and let propagation rule it out.
      bool blocked = false;
      for (IncompatId id : **deps)
        if (satisfied_with(id, next, version)) blocked = true;
      if (!blocked) decide(next, version);
    }
    SolutionOf<Pr> solution;
    for (PkgId id = 0; id < pkgs_.size(); ++id)
      if (pkgs_[id].decision) solution.emplace_back(packages_[id], *pkgs_[id].decision);
    return solution;
  }

 private:
  struct NotRootCause { PkgId package; V version; };
  struct NoVersionsCause { PkgId package; S set; };
  struct DependencyCause { PkgId package; S set; PkgId dependency; S dependency_set; };
  struct DerivedCause { IncompatId cause1; IncompatId cause2; };
  using Cause = std::variant<NotRootCause, NoVersionsCause, DependencyCause, DerivedCause>;

  struct Incompat {
    Terms terms;
    Cause cause;
  };
  struct Assignment {
    PkgId package;
    T term;
    std::uint32_t level;
    std::optional<IncompatId> cause;  // none for a decision
  };
  struct Expansion {
    V version;
    std::vector<IncompatId> incompats;
  };
  struct PkgState {
    std::vector<std::uint32_t> assignments;
    std::optional<T> acc;  // the intersection of the assignments
    std::optional<V> decision;
    std::vector<IncompatId> incompats;
    std::optional<std::uint64_t> priority;
    std::vector<Expansion> expansions;
  };
  enum class Relation { Satisfied, Contradicted, AlmostSatisfied, Inconclusive };

  PkgId intern(const P& package) {
    auto [it, fresh] = ids_.try_emplace(package, static_cast<PkgId>(packages_.size()));
    if (fresh) {
      packages_.push_back(package);
      pkgs_.emplace_back();
    }
    return it->second;
  }

  // Terms of one package are joined; terms every assignment satisfies
  // are dropped.
  static void merge_term(Terms& terms, PkgId package, const T& term) {
    for (auto& [p, t] : terms)
      if (p == package) {
        t = t.intersection(term);
        return;
      }
    terms.emplace_back(package, term);
  }
  IncompatId add_incompat(Terms terms, Cause cause) {
    std::erase_if(terms, [](const auto& pt) { return pt.second.is_any(); });
    incompats_.push_back(Incompat{std::move(terms), std::move(cause)});
    return static_cast<IncompatId>(incompats_.size() - 1);
  }
  // Makes the incompatibility take part in propagation.
  void attach(IncompatId id) {
    for (const auto& [p, t] : incompats_[id].terms) pkgs_[p].incompats.push_back(id);
  }

  std::expected<const std::vector<IncompatId>*, Fail> dependencies_of(PkgId pkg, const V& version) {
    for (const Expansion& e : pkgs_[pkg].expansions)
      if (e.version == version) return &e.incompats;
    auto deps = provider_.get_dependencies(packages_[pkg], version);
    if (!deps)
      return std::unexpected(Fail{typename Fail::RetrievingDependencies{packages_[pkg], version, std::move(deps.error())}});
    Expansion expansion{version, {}};
    for (auto& [dep, dep_set] : *deps) {
      const PkgId d = intern(dep);
      const S own = S::singleton(version);
      Terms terms{{pkg, T{true, own}}};
      merge_term(terms, d, T{false, dep_set});
      IncompatId id = add_incompat(std::move(terms), DependencyCause{pkg, own, d, std::move(dep_set)});
      attach(id);
      expansion.incompats.push_back(id);
    }
    pkgs_[pkg].expansions.push_back(std::move(expansion));
    return &pkgs_[pkg].expansions.back().incompats;
  }

  // Whether deciding `pkg` at `version` would satisfy every term of the
  // incompatibility.
  bool satisfied_with(IncompatId id, PkgId pkg, const V& version) const {
    for (const auto& [p, t] : incompats_[id].terms) {
      if (p == pkg) {
        if (!T{true, S::singleton(version)}.subset_of(t)) return false;
        continue;
      }
      const auto& acc = pkgs_[p].acc;
      if (!acc || !acc->subset_of(t)) return false;
    }
    return true;
  }

  std::optional<PkgId> next_undecided() {
    std::optional<PkgId> best;
    std::uint64_t best_priority = 0;
    for (PkgId id = 0; id < pkgs_.size(); ++id) {
      PkgState& st = pkgs_[id];
      if (st.decision || !st.acc || !st.acc->positive) continue;
      if (!st.priority) st.priority = provider_.prioritize(packages_[id], st.acc->set);
      if (!best || *st.priority < best_priority) {
        best = id;
        best_priority = *st.priority;
      }
    }
    return best;
  }

  void push_assignment(PkgId pkg, T term, std::optional<IncompatId> cause) {
    PkgState& st = pkgs_[pkg];
    st.acc = st.acc ? st.acc->intersection(term) : term;
    st.priority.reset();
    st.assignments.push_back(static_cast<std::uint32_t>(assignments_.size()));
    assignments_.push_back(Assignment{pkg, std::move(term), level_, cause});
  }
  void decide(PkgId pkg, const V& version) {
    ++level_;
    pkgs_[pkg].decision = version;
    push_assignment(pkg, T{true, S::singleton(version)}, std::nullopt);
  }

  void backtrack(std::uint32_t level) {
    std::vector<PkgId> touched;
    while (!assignments_.empty() && assignments_.back().level > level) {
      const PkgId pkg = assignments_.back().package;
      if (!assignments_.back().cause) pkgs_[pkg].decision.reset();
      pkgs_[pkg].assignments.pop_back();
      touched.push_back(pkg);
      assignments_.pop_back();
    }
    for (PkgId pkg : touched) {
      PkgState& st = pkgs_[pkg];
      st.acc.reset();
      st.priority.reset();
      for (std::uint32_t a : st.assignments)
        st.acc = st.acc ? st.acc->intersection(assignments_[a].term) : assignments_[a].term;
    }
    level_ = level;
  }

  Relation relation(IncompatId id, std::size_t& unsatisfied) const {
    std::optional<std::size_t> open;
    const Terms& terms = incompats_[id].terms;
    for (std::size_t i = 0; i < terms.size(); ++i) {
      const auto& acc = pkgs_[terms[i].first].acc;
      if (acc) {
        const T common = acc->intersection(terms[i].second);
        if (common == *acc) continue;
        if (common.is_empty()) return Relation::Contradicted;
      }
      if (open) return Relation::Inconclusive;
      open = i;
    }
    if (!open) return Relation::Satisfied;
    unsatisfied = *open;
    return Relation::AlmostSatisfied;
  }

  // Unit propagation from `start`; the terminal incompatibility when the
  // root is ruled out.
  std::optional<IncompatId> propagate(PkgId start) {
    std::vector<PkgId> changed{start};
    while (!changed.empty()) {
      const PkgId pkg = changed.back();
      changed.pop_back();
      for (std::size_t k = pkgs_[pkg].incompats.size(); k-- > 0;) {
        const IncompatId id = pkgs_[pkg].incompats[k];
        std::size_t open = 0;
        const Relation rel = relation(id, open);
        if (rel == Relation::Satisfied) {
          auto learned = resolve_conflict(id);
          if (!learned) return learned.error();
          if (relation(*learned, open) != Relation::AlmostSatisfied)
            internal_error("a learned incompatibility is not almost satisfied after backjumping");
          const auto& [p, t] = incompats_[*learned].terms[open];
          push_assignment(p, t.negate(), *learned);
          changed.assign(1, p);
          break;
        }
        if (rel == Relation::AlmostSatisfied) {
          const auto& [p, t] = incompats_[id].terms[open];
          push_assignment(p, t.negate(), id);
          if (std::find(changed.begin(), changed.end(), p) == changed.end()) changed.push_back(p);
        }
      }
    }
    return std::nullopt;
  }

  bool is_terminal(IncompatId id) const {
    const Terms& terms = incompats_[id].terms;
    return terms.empty() || (terms.size() == 1 && terms[0].first == root_ && terms[0].second.positive);
  }

  // The position of the earliest assignment of `pkg`, below `limit`, at
  // which the package's assignments (joined with `extra`) satisfy `term`.
  std::optional<std::uint32_t> earliest_satisfying(PkgId pkg, const T& term, std::uint32_t limit,
                                                   const std::optional<T>& extra) const {
    std::optional<T> acc = extra;
    for (std::uint32_t a : pkgs_[pkg].assignments) {
      if (a >= limit) break;
      acc = acc ? acc->intersection(assignments_[a].term) : assignments_[a].term;
      if (acc->subset_of(term)) return a;
    }
    return std::nullopt;
  }

  // Conflict resolution: derives new incompatibilities from the satisfied
  // one until one of them is satisfied at an earlier decision level, then
  // backjumps there and returns it. The terminal incompatibility as the
  // error when the root is ruled out.
  std::expected<IncompatId, IncompatId> resolve_conflict(IncompatId incompat) {
    bool learned = false;
    constexpr auto kEnd = static_cast<std::uint32_t>(-1);
    while (true) {
      if (is_terminal(incompat)) return std::unexpected(incompat);
      const Terms terms = incompats_[incompat].terms;
      std::uint32_t satisfier = 0;
      std::size_t satisfier_term = 0;
      std::vector<std::uint32_t> found(terms.size());
      for (std::size_t i = 0; i < terms.size(); ++i) {
        auto a = earliest_satisfying(terms[i].first, terms[i].second, kEnd, std::nullopt);
        if (!a) internal_error("a satisfied incompatibility has a term without satisfier");
        found[i] = *a;
        if (i == 0 || *a > satisfier) {
          satisfier = *a;
          satisfier_term = i;
        }
      }
      std::optional<std::uint32_t> previous;
      for (std::size_t i = 0; i < terms.size(); ++i)
        if (i != satisfier_term && (!previous || found[i] > *previous)) previous = found[i];
      const Assignment sat = assignments_[satisfier];
      const auto& [sat_pkg, sat_term] = terms[satisfier_term];
      if (auto own = earliest_satisfying(sat_pkg, sat_term, satisfier, sat.term))
        if (!previous || *own > *previous) previous = own;
      const std::uint32_t previous_level = previous ? assignments_[*previous].level : 1;

      if (!sat.cause || previous_level != sat.level) {
        if (learned) attach(incompat);
        backtrack(previous_level);
        return incompat;
      }
      Terms prior;
      for (const auto& [p, t] : terms)
        if (p != sat_pkg) merge_term(prior, p, t);
      for (const auto& [p, t] : incompats_[*sat.cause].terms)
        if (p != sat_pkg) merge_term(prior, p, t);
      if (!sat.term.subset_of(sat_term)) merge_term(prior, sat_pkg, sat.term.intersection(sat_term.negate()).negate());
      incompat = add_incompat(std::move(prior), DerivedCause{incompat, *sat.cause});
      learned = true;
    }
  }

  std::shared_ptr<const Tree> tree_node(IncompatId id, std::vector<std::shared_ptr<const Tree>>& memo) const {
    if (memo[id]) return memo[id];
    const Incompat& inc = incompats_[id];
    Tree tree = std::visit(
        [&](const auto& c) -> Tree {
          using C = std::decay_t<decltype(c)>;
          if constexpr (std::is_same_v<C, NotRootCause>) {
            return Tree{typename Tree::NotRoot{packages_[c.package], c.version}};
          } else if constexpr (std::is_same_v<C, NoVersionsCause>) {
            return Tree{typename Tree::NoVersions{packages_[c.package], c.set}};
          } else if constexpr (std::is_same_v<C, DependencyCause>) {
            return Tree{typename Tree::FromDependencyOf{packages_[c.package], c.set, packages_[c.dependency],
                                                        c.dependency_set}};
          } else {
            typename Tree::Derived d{tree_node(c.cause1, memo), tree_node(c.cause2, memo)};
            for (const auto& [p, t] : inc.terms) d.terms.emplace_back(packages_[p], t);
            return Tree{std::move(d)};
          }
        },
        inc.cause);
    memo[id] = std::make_shared<const Tree>(std::move(tree));
    return memo[id];
  }
  Tree tree_of(IncompatId id) const {
    std::vector<std::shared_ptr<const Tree>> memo(incompats_.size());
    return *tree_node(id, memo);
  }

  Pr& provider_;
  PkgId root_ = 0;
  std::vector<P> packages_;
  std::unordered_map<P, PkgId> ids_;
  std::vector<PkgState> pkgs_;
  std::vector<Incompat> incompats_;
  std::vector<Assignment> assignments_;
  std::uint32_t level_ = 0;
};

}  // namespace detail

// Solves from `root`, which must be selected at `root_version`.
template <typename Pr>
std::expected<SolutionOf<Pr>, FailureOf<Pr>> solve(Pr& provider, const typename Pr::Package& root,
                                                  const typename Pr::Version& root_version) {
  return detail::Run<Pr>(provider).solve(root, root_version);
}

}  // namespace kestro::solve::pubgrub
