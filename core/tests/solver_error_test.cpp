// Facts and messages of a failed solve, over small derivation trees.
#include "kestro/solve/solver_error.hpp"

#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace kestro::solve {
namespace {

using Target = DependencyIdentifier::Target;
using T = DerivationTree;
using S = DiscreteHashSet;

Target target(const std::string& iri, const char* req = nullptr) {
  ResourceUsageG<iri::Iri, semver::VersionReq> u{*iri::Iri::parse(iri), std::nullopt};
  if (req) u.version_constraint = *semver::VersionReq::parse(req);
  return Target{iri, UsageInContext{u, std::nullopt}};
}
DependencyIdentifier pkg(const Target& t) { return {t}; }
DependencyIdentifier root(std::vector<Target> usages) { return {DependencyIdentifier::Root{std::move(usages)}}; }
CandidateSnapshot cand(const char* version, std::uint64_t index, bool multiple = true) {
  return {{}, *semver::Version::parse(version), index, multiple};
}
std::shared_ptr<const T> node(T::Derived d) { return std::make_shared<const T>(T{d}); }
template <typename E>
std::shared_ptr<const T> ext(E e) {
  return std::make_shared<const T>(T{std::move(e)});
}
T derived(std::shared_ptr<const T> a, std::shared_ptr<const T> b) { return T{T::Derived{std::move(a), std::move(b)}}; }
std::string no_solution(T tree, CandidateMap map, std::string report = "R") {
  return SolverError(SolverError::NoSolution{std::move(tree), std::move(report), std::move(map)})
      .message();
}

TEST(SolverMessage, OneNoVersionsFact) {
  const Target a = target("urn:a");
  CandidateMap map{{"urn:a", {cand("1.0.0-rc.2", 1), cand("1.0.0-rc.1", 0), cand("1.0.0-rc.1", 2)}}};
  // Unordered, repeated candidates: sorted by precedence, each once.
  EXPECT_EQ(no_solution(T{T::NoVersions{pkg(a), S::empty()}}, map),
            "no usable version: project `urn:a`\nwas found, but the default version constraint `*`\nwas not "
            "satisfied by any of the found versions:\n`1.0.0-rc.1`, `1.0.0-rc.2`");
  const Target a1 = target("urn:a", "^2");
  EXPECT_EQ(no_solution(T{T::NoVersions{pkg(a1), S::listed({1})}}, map),
            "requested version unavailable: project `urn:a`\nwas found, but the requested version constraint `" +
                semver::VersionReq::parse("^2")->to_string() +
                "`\nwas not satisfied by any of the found versions:\n`1.0.0-rc.2`");
  EXPECT_EQ(no_solution(T{T::NoVersions{pkg(a), S::empty()}}, {}),
            "requested version unavailable: project `urn:a`\nwas found, but the requested version constraint "
            "`*`\nwas not satisfied by any of the found versions:\n");
}

TEST(SolverMessage, SeveralFactsShowTheReport) {
  const Target a = target("urn:a"), b = target("urn:b");
  T tree = derived(ext(T::NoVersions{pkg(a), S::empty()}), ext(T::NoVersions{pkg(b), S::empty()}));
  EXPECT_EQ(no_solution(tree, {}, "line 1\nline 2"), "failed to satisfy usage constraints:\nline 1\nline 2\n");
  // A root-only tree has no fact: the report again.
  EXPECT_EQ(no_solution(T{T::NotRoot{root({}), 0}}, {}), "failed to satisfy usage constraints:\nR\n");
  // One fact of another kind: the report.
  EXPECT_EQ(no_solution(T{T::Unavailable{pkg(a), S::full(), "gone"}}, {}), "failed to satisfy usage constraints:\nR\n");
}

TEST(SolverFacts, DepthFirstEachOnce) {
  const Target a = target("urn:a"), b = target("urn:b", "^1");
  auto same = ext(T::Unavailable{pkg(a), S::full(), "gone"});
  T tree = derived(node(T::Derived{same, ext(T::FromDependencyOf{root({b}), S::full(), pkg(b), S::listed({0})})}),
                   same);
  std::vector<SolverFact> facts;
  collect_solver_facts(tree, {{"urn:b", {cand("1.0.0", 0)}}}, facts);
  const std::vector<SolverFact> expected{
      {SolverFact::NotFound{"urn:a", "gone"}},
      {SolverFact::Constraint{"urn:b", semver::VersionReq::parse("^1")->to_string(), std::nullopt}},
  };
  EXPECT_EQ(facts, expected);
}

TEST(SolverFacts, StatingUsageSelectsTheDependencySet) {
  // P's candidate 0 requires D twice; the constraint that selects exactly
  // D's set wins over the first one met.
  const Target p = target("urn:p");
  const Target d_wide = target("urn:d", ">=1"), d_narrow = target("urn:d", "^2");
  CandidateSnapshot pc = cand("1.0.0", 0);
  pc.usages = {d_wide, d_narrow};
  CandidateMap map{{"urn:p", {pc}}, {"urn:d", {cand("1.0.0", 0), cand("2.0.0", 1)}}};
  std::vector<SolverFact> facts;
  collect_solver_facts(T{T::FromDependencyOf{pkg(p), S::listed({0}), pkg(d_wide), S::listed({1})}}, map, facts);
  ASSERT_EQ(facts.size(), 1u);
  EXPECT_EQ(facts[0], (SolverFact{SolverFact::Constraint{"urn:d", semver::VersionReq::parse("^2")->to_string(), "urn:p"}}));
  // An empty dependency set: NoVersions with all of D's versions.
  facts.clear();
  collect_solver_facts(T{T::FromDependencyOf{pkg(p), S::listed({0}), pkg(d_wide), S::empty()}}, map, facts);
  ASSERT_EQ(facts.size(), 1u);
  EXPECT_EQ(facts[0], (SolverFact{SolverFact::NoVersions{"urn:d", semver::VersionReq::parse(">=1")->to_string(),
                                                          {"1.0.0", "2.0.0"}, "urn:p", false}}));
}

TEST(SolverMessage, RetrievalAndChoice) {
  const Target a = target("urn:a");
  using R = SolverRetrievalError;
  const R no_candidates = R::NoValidCandidates{a.usage};
  SolverError at_root(SolverError::RetrievingDependencies{root({a}), 0, no_candidates});
  EXPECT_EQ(at_root.message(), "failed to retrieve project(s): no valid candidates found for project IRI `urn:a`");
  SolverError at_a(SolverError::RetrievingDependencies{pkg(a), 0, no_candidates});
  EXPECT_EQ(at_a.message(),
            "failed to retrieve usages of `IRI `urn:a``: no valid candidates found for project IRI `urn:a`");
  EXPECT_EQ(solver_error_facts(at_a),
            (std::vector<SolverFact>{{SolverFact::NotFound{"urn:a", "no valid candidates found for project IRI `urn:a`"}}}));
  SolverError choice(SolverError::ChoosingVersion{pkg(a), no_candidates});
  EXPECT_EQ(choice.message(), "unable to select version of `IRI `urn:a``: no valid candidates found for project IRI `urn:a`");
  EXPECT_TRUE(solver_error_facts(choice).empty());
  SolverError resolver(
      SolverError::RetrievingDependencies{pkg(a), 0, R::Resolution{SolverResolverError::NullEnvironment{}}});
  EXPECT_TRUE(solver_error_facts(resolver).empty());
}

}  // namespace
}  // namespace kestro::solve
