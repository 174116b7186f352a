#include "kestro/solve/solver_error.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "kestro/model/usage_match.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::solve {

namespace {

const std::vector<CandidateSnapshot> kNoCandidates;

const std::vector<CandidateSnapshot>& candidates_of(const CandidateMap& map, const std::string& id) {
  auto it = map.find(id);
  return it == map.end() ? kNoCandidates : it->second;
}

const std::optional<semver::VersionReq>* constraint_of(const UsageInContext& usage) {
  if (const auto* r = std::get_if<ResourceUsageG<iri::Iri, semver::VersionReq>>(&usage.usage))
    return &r->version_constraint;
  return nullptr;
}

std::string constraint_text(const UsageInContext& usage) {
  const auto* c = constraint_of(usage);
  return c && *c ? (*c)->to_string() : "*";
}

// A resource usage without a constraint of its own whose versions come from
// a source that offers several.
bool defaulted(const DependencyIdentifier::Target& target, const CandidateMap& map) {
  const auto* c = constraint_of(target.usage);
  if (!c || *c) return false;
  const auto& cands = candidates_of(map, target.identifier);
  return std::any_of(cands.begin(), cands.end(), [](const auto& s) { return s.source_may_offer_multiple_versions; });
}

// Versions of the candidates the set holds (all of them for the empty set),
// by precedence with build metadata last, each once.
std::vector<std::string> found_versions(const CandidateMap& map, const std::string& id, const DiscreteHashSet* set) {
  std::vector<semver::Version> versions;
  for (const auto& s : candidates_of(map, id))
    if (!set || set->contains(s.index)) versions.push_back(s.version);
  std::sort(versions.begin(), versions.end());
  versions.erase(std::unique(versions.begin(), versions.end()), versions.end());
  std::vector<std::string> out;
  for (const auto& v : versions) out.push_back(v.to_string());
  return out;
}

// The usage that stated P's requirement on D (see collect_solver_facts).
DependencyIdentifier::Target stating_usage(const DerivationTree::FromDependencyOf& e, const CandidateMap& map) {
  const auto& dep = std::get<DependencyIdentifier::Target>(e.dependency.value);
  std::vector<const DependencyIdentifier::Target*> named;
  if (const auto* root = std::get_if<DependencyIdentifier::Root>(&e.package.value)) {
    for (const auto& u : root->usages)
      if (u.identifier == dep.identifier) named.push_back(&u);
  } else {
    for (const auto& s : candidates_of(map, e.package.text()))
      if (e.set.contains(s.index))
        for (const auto& u : s.usages)
          if (u.identifier == dep.identifier) named.push_back(&u);
  }
  const auto& dep_cands = candidates_of(map, dep.identifier);
  for (const auto* u : named) {
    const auto* c = constraint_of(u->usage);
    if (!c || !*c) continue;
    bool same = std::all_of(dep_cands.begin(), dep_cands.end(), [&](const CandidateSnapshot& s) {
      return (*c)->matches(s.version) == e.dependency_set.contains(s.index);
    });
    if (same) return *u;
  }
  return named.empty() ? dep : *named.front();
}

std::optional<SolverFact> fact_of(const DerivationTree& tree, const CandidateMap& map) {
  using T = DerivationTree;
  if (const auto* e = std::get_if<T::NoVersions>(&tree.node)) {
    if (e->package.is_root()) return std::nullopt;
    const auto& p = std::get<DependencyIdentifier::Target>(e->package.value);
    const bool empty = e->set == DiscreteHashSet::empty();
    return SolverFact{SolverFact::NoVersions{p.identifier, constraint_text(p.usage),
                                             found_versions(map, p.identifier, empty ? nullptr : &e->set),
                                             std::nullopt, defaulted(p, map)}};
  }
  if (const auto* e = std::get_if<T::FromDependencyOf>(&tree.node)) {
    if (e->dependency.is_root()) return std::nullopt;
    const auto u = stating_usage(*e, map);
    const std::string& dep = e->dependency.text();
    std::optional<std::string> required_by;
    if (!e->package.is_root()) required_by = e->package.text();
    if (e->dependency_set == DiscreteHashSet::empty())
      return SolverFact{SolverFact::NoVersions{dep, constraint_text(u.usage), found_versions(map, dep, nullptr),
                                               required_by, defaulted(u, map)}};
    return SolverFact{SolverFact::Constraint{dep, constraint_text(u.usage), required_by}};
  }
  if (const auto* e = std::get_if<T::Unavailable>(&tree.node)) {
    if (e->package.is_root()) return std::nullopt;
    return SolverFact{SolverFact::NotFound{e->package.text(), e->reason}};
  }
  return std::nullopt;
}

}  // namespace

const std::string& DependencyIdentifier::text() const {
  static const std::string kRoot;
  if (const auto* t = std::get_if<Target>(&value)) return t->identifier;
  return kRoot;
}

std::string DependencyIdentifier::display() const {
  if (const auto* t = std::get_if<Target>(&value)) return t->usage.label();
  return "requested project(s)";
}

bool operator==(const DependencyIdentifier& a, const DependencyIdentifier& b) {
  if (a.is_root() != b.is_root()) return false;
  if (!a.is_root()) return a.text() == b.text();
  const auto& x = std::get<DependencyIdentifier::Root>(a.value).usages;
  const auto& y = std::get<DependencyIdentifier::Root>(b.value).usages;
  return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                    [](const auto& u, const auto& v) { return u.identifier == v.identifier; });
}

std::string join_comma_separated(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "`" : ", `") + item + "`";
  return out;
}

void collect_solver_facts(const DerivationTree& tree, const CandidateMap& candidates, std::vector<SolverFact>& facts) {
  if (const auto* d = std::get_if<DerivationTree::Derived>(&tree.node)) {
    collect_solver_facts(*d->cause1, candidates, facts);
    collect_solver_facts(*d->cause2, candidates, facts);
    return;
  }
  auto fact = fact_of(tree, candidates);
  if (fact && std::find(facts.begin(), facts.end(), *fact) == facts.end()) facts.push_back(std::move(*fact));
}

namespace {

std::string debug_package(const DependencyIdentifier& p) {
  return p.is_root() ? std::string("Root") : "Target(" + debug_quote(p.text()) + ")";
}

}  // namespace

std::string SolverError::text_of(const RetrievingDependencies& f) {
  if (f.package.is_root()) return "failed to retrieve project(s): " + f.err.message();
  const auto& t = std::get<DependencyIdentifier::Target>(f.package.value);
  return fmt::format("failed to retrieve usages of `{}`: {}", t.usage.label(), f.err.message());
}

std::string SolverError::text_of(const ChoosingVersion& f) {
  const auto* t = std::get_if<DependencyIdentifier::Target>(&f.package.value);
  return fmt::format("unable to select version of `{}`: {}", t ? t->usage.label() : std::string("root"),
                     f.err.message());
}

std::string SolverError::text_of(const NoSolution& f) {
  std::vector<SolverFact> facts;
  collect_solver_facts(f.tree, f.candidates, facts);
  if (facts.size() == 1) {
    if (const auto* nv = std::get_if<SolverFact::NoVersions>(&facts.front().value)) {
      return fmt::format(
          "{}: project `{}`\nwas found, but the {} `{}`\nwas not satisfied by any of the found versions:\n{}",
          nv->defaulted ? "no usable version" : "requested version unavailable", nv->iri,
          nv->defaulted ? "default version constraint" : "requested version constraint", nv->constraint,
          join_comma_separated(nv->found));
    }
  }
  return "failed to satisfy usage constraints:\n" + f.report + "\n";
}

std::string SolverError::debug_of(const RetrievingDependencies& f) {
  return fmt::format("RetrievingDependencies {{ package: {}, version: {}, err: {} }}", debug_package(f.package),
                     f.version, f.err.debug());
}
std::string SolverError::debug_of(const ChoosingVersion& f) {
  return fmt::format("ChoosingVersion {{ package: {}, err: {} }}", debug_package(f.package), f.err.debug());
}
std::string SolverError::debug_of(const NoSolution& f) { return fmt::format("NoSolution({})", debug_quote(f.report)); }

std::vector<SolverFact> solver_error_facts(const SolverError& error) {
  std::vector<SolverFact> facts;
  if (const auto* none = error.get_if<SolverError::NoSolution>()) {
    collect_solver_facts(none->tree, none->candidates, facts);
  } else if (const auto* f = error.get_if<SolverError::RetrievingDependencies>()) {
    using R = SolverRetrievalError;
    if (f->err.holds<R::Resolution>() || f->err.holds<R::ResolvedError>()) return facts;
    const UsageInContext& usage = f->err.visit([](const auto& v) -> const UsageInContext& {
      if constexpr (requires { v.usage; }) return v.usage;
      else internal_error("a retrieval error without a usage");
    });
    facts.push_back(SolverFact{SolverFact::NotFound{usage_identifier(usage.usage), render_error_chain(f->err)}});
  }
  return facts;
}

}  // namespace kestro::solve

std::size_t std::hash<kestro::solve::DependencyIdentifier>::operator()(
    const kestro::solve::DependencyIdentifier& id) const noexcept {
  using kestro::solve::DependencyIdentifier;
  const std::hash<std::string> text;
  if (!id.is_root()) return text(id.text()) * 2 + 1;
  std::size_t h = 0;
  for (const auto& u : std::get<DependencyIdentifier::Root>(id.value).usages) h = h * 31 + text(u.identifier);
  return h * 2;
}
