// Solving over a memory resolver of small stand-in projects: the choice
// rules, the classic scenarios, and the failure texts and facts.
#include "kestro/solve/solve_usages.hpp"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/resolve/memory_resolver.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::solve {
namespace {

// A project as the stand-in source reads it: a version and usages given as
// (IRI, requirement or none).
struct Fake {
  std::string version;
  std::vector<std::pair<std::string, const char*>> usages = {};
  bool from_index = false;
};

InterchangeProjectUsage usage(const std::string& iri, const char* req = nullptr) {
  ResourceUsageG<iri::Iri, semver::VersionReq> u{*iri::Iri::parse(iri), std::nullopt};
  if (req) u.version_constraint = *semver::VersionReq::parse(req);
  return u;
}

// Candidates through a memory resolver; counts the retrievals per text.
class FakeSource : public CandidateSource<Fake> {
 public:
  FakeSource(MemoryResolver<Fake> resolver, std::map<std::string, int>& asked) : resolver_(std::move(resolver)), asked_(asked) {}
  std::expected<std::vector<CachedCandidate<Fake>>, SolverRetrievalError> retrieve(
      const DependencyIdentifier::Target& target) override {
    ++asked_[target.identifier];
    auto outcome = resolver_.lookup(target.usage);
    if (!outcome.resolved()) return std::unexpected(SolverRetrievalError::NotFound{target.usage, *outcome.reason()});
    std::vector<CachedCandidate<Fake>> out;
    auto& seq = std::get<ResolutionOutcome<Fake>::Resolved>(outcome.value).candidates;
    while (auto p = seq->next()) {
      CachedCandidate<Fake> c{{}, *semver::Version::parse(p->version), p->from_index, *p};
      for (const auto& [iri, req] : p->usages)
        c.dependencies.push_back({iri, UsageInContext{usage(iri, req), std::nullopt}});
      out.push_back(std::move(c));
    }
    return out;
  }

 private:
  MemoryResolver<Fake> resolver_;
  std::map<std::string, int>& asked_;
};

using Graph = std::unordered_map<std::string, std::vector<Fake>>;

struct Outcome {
  std::expected<SolvedMap<Fake>, SolverError> result;
  std::map<std::string, int> asked;
};
Outcome run(const Graph& graph, std::vector<InterchangeProjectUsage> root) {
  std::map<std::string, int> asked;
  auto result = solve_usages<Fake>(std::move(root), std::nullopt,
                                   std::make_unique<FakeSource>(MemoryResolver<Fake>(graph), asked));
  return Outcome{std::move(result), std::move(asked)};
}
// "a=1.0.0 b=2.0.0" over the solved map.
std::string chosen(const Outcome& o) {
  if (!o.result) return "error: " + o.result.error().message();
  std::string out;
  for (const auto& [id, p] : *o.result) out += (out.empty() ? "" : " ") + id.substr(4) + "=" + p.version;
  return out;
}

TEST(SolveUsages, NoUsagesSolvesTheRootAlone) {
  Outcome o = run({}, {});
  ASSERT_TRUE(o.result);
  EXPECT_TRUE(o.result->empty());
  EXPECT_TRUE(o.asked.empty());
}

TEST(SolveUsages, ChoiceRules) {
  struct Case {
    const char* what;
    Graph graph;
    std::vector<InterchangeProjectUsage> root;
    std::string chosen;
  };
  const Case cases[] = {
      {"unconstrained: the highest, pre-release included",
       {{"urn:a", {{"1.0.0"}, {"2.0.0-rc.1"}, {"1.5.0"}}}}, {usage("urn:a")}, "a=2.0.0-rc.1"},
      {"constrained: the earliest admitted position, not the highest",
       {{"urn:a", {{"1.2.0"}, {"1.9.0"}, {"2.0.0"}}}}, {usage("urn:a", "^1")}, "a=1.2.0"},
      {"from an index without requirement: `*` leaves pre-releases out",
       {{"urn:a", {{"2.0.0-beta.1", {}, true}, {"1.0.0", {}, true}}}}, {usage("urn:a")}, "a=1.0.0"},
      {"two usages of one project intersect",
       {{"urn:a", {{"1.0.0"}, {"2.0.0"}, {"3.0.0"}}}}, {usage("urn:a", ">=2"), usage("urn:a", "<3")}, "a=2.0.0"},
      {"a diamond",
       {{"urn:a", {{"1.0.0", {{"urn:b", nullptr}, {"urn:c", nullptr}}}}},
        {"urn:b", {{"1.0.0", {{"urn:d", "^1"}}}}},
        {"urn:c", {{"1.0.0", {{"urn:d", ">=1.1"}}}}},
        {"urn:d", {{"1.0.0"}, {"1.1.0"}, {"1.2.0"}, {"2.0.0"}}}},
       {usage("urn:a")}, "a=1.0.0 b=1.0.0 c=1.0.0 d=1.1.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(chosen(run(c.graph, c.root)), c.chosen) << c.what;
}

TEST(SolveUsages, ChooseVersionLines) {
  log::ScopedCapture capture;
  Graph graph{{"urn:a", {{"1.0.0", {{"urn:b", "^9"}}}}}, {"urn:b", {{"1.0.0"}}}};
  Outcome o = run(graph, {usage("urn:a")});
  ASSERT_FALSE(o.result);
  std::vector<std::string> lines;
  for (const auto& r : capture.records())
    if (r.target == "kestro_core::solve::pubgrub") lines.push_back(r.message);
  const std::vector<std::string> expected{
      "choosing version for request (Some(0))",
      "chose version for IRI `urn:a`: 1.0.0",
      "no allowed versions for IRI `urn:a`, considered: [(0, 1.0.0)]",
  };
  EXPECT_EQ(lines, expected);
}

TEST(SolveUsages, BackjumpOverSeveralDecisions) {
  // a's newest version needs x 2, which nothing offers; b, c and d are
  // decided between a and the conflict.
  Graph graph{
      {"urn:a", {{"1.0.0", {{"urn:b", nullptr}, {"urn:x", "^1"}}}, {"2.0.0", {{"urn:b", nullptr}, {"urn:c", nullptr}, {"urn:x", "^2"}}}}},
      {"urn:b", {{"1.0.0", {{"urn:d", nullptr}}}}},
      {"urn:c", {{"1.0.0"}}},
      {"urn:d", {{"1.0.0"}}},
      {"urn:x", {{"1.0.0"}}},
  };
  Outcome o = run(graph, {usage("urn:a")});
  EXPECT_EQ(chosen(o), "a=1.0.0 b=1.0.0 d=1.0.0 x=1.0.0");
  for (const auto& [id, n] : o.asked) EXPECT_EQ(n, 1) << id << " retrieved more than once";
}

TEST(SolveUsages, PartialSatisfierAfterSeveralDecisions) {
  // b and c each narrow d; only their combination rules out d 2, found
  // after both were decided.
  Graph graph{
      {"urn:a", {{"1.0.0", {{"urn:b", nullptr}, {"urn:c", nullptr}}}}},
      {"urn:b", {{"1.0.0", {{"urn:d", ">=1"}}}, {"2.0.0", {{"urn:d", ">=2"}}}}},
      {"urn:c", {{"1.0.0", {{"urn:d", "<2"}}}, {"2.0.0", {{"urn:d", "<2"}}}}},
      {"urn:d", {{"1.0.0"}, {"2.0.0"}}},
  };
  EXPECT_EQ(chosen(run(graph, {usage("urn:a")})), "a=1.0.0 b=1.0.0 c=2.0.0 d=1.0.0");
}

TEST(SolveUsages, ChainOfAThousand) {
  Graph graph;
  for (int i = 0; i < 1000; ++i) {
    std::vector<std::pair<std::string, const char*>> next;
    if (i + 1 < 1000) next.push_back({"urn:p" + std::to_string(i + 1), "^1"});
    graph["urn:p" + std::to_string(i)] = {{"1.0.0", next}, {"2.0.0", next}};
  }
  Outcome o = run(graph, {usage("urn:p0", "^1")});
  ASSERT_TRUE(o.result);
  EXPECT_EQ(o.result->size(), 1000u);
  for (const auto& [id, p] : *o.result) EXPECT_EQ(p.version, "1.0.0") << id;
}

TEST(SolveUsages, FailureTexts) {
  struct Case {
    const char* what;
    Graph graph;
    std::vector<InterchangeProjectUsage> root;
    std::string message;
  };
  const Case cases[] = {
      {"default constraint",
       {{"urn:a", {{"1.0.0-rc.1", {}, true}, {"1.0.0-rc.2", {}, true}}}}, {usage("urn:a")},
       "no usable version: project `urn:a`\nwas found, but the default version constraint `*`\nwas not satisfied by "
       "any of the found versions:\n`1.0.0-rc.1`, `1.0.0-rc.2`"},
      {"requested constraint",
       {{"urn:a", {{"1.0.0"}, {"1.1.0"}}}}, {usage("urn:a", "^2")},
       "requested version unavailable: project `urn:a`\nwas found, but the requested version constraint `^2`\nwas "
       "not satisfied by any of the found versions:\n`1.0.0`, `1.1.0`"},
      {"nothing found",
       {{"urn:a", {}}}, {usage("urn:a", "^2")},
       "requested version unavailable: project `urn:a`\nwas found, but the requested version constraint `^2`\nwas "
       "not satisfied by any of the found versions:\n"},
      {"a retrieval failure of the root's usages",
       {}, {usage("urn:gone")},
       "failed to retrieve project(s): project IRI `urn:gone` not found: project is not present in this memory resolver"},
      {"a retrieval failure below",
       {{"urn:a", {{"1.0.0", {{"urn:gone", nullptr}}}}}}, {usage("urn:a")},
       "failed to retrieve usages of `IRI `urn:a``: project IRI `urn:gone` not found: project is not present in this "
       "memory resolver"},
  };
  for (const Case& c : cases) {
    Outcome o = run(c.graph, c.root);
    ASSERT_FALSE(o.result) << c.what;
    EXPECT_EQ(o.result.error().message(), c.message) << c.what;
  }
}

TEST(SolveUsages, UnsatisfiablePairNamesBothConstraints) {
  Graph graph{
      {"urn:a", {{"1.0.0", {{"urn:c", "^1"}}}}},
      {"urn:b", {{"1.0.0", {{"urn:c", "^2"}}}}},
      {"urn:c", {{"1.0.0"}, {"2.0.0"}}},
  };
  Outcome o = run(graph, {usage("urn:a"), usage("urn:b")});
  ASSERT_FALSE(o.result);
  const std::string message = o.result.error().message();
  EXPECT_TRUE(message.starts_with("failed to satisfy usage constraints:\n")) << message;
  EXPECT_TRUE(message.ends_with("\n")) << message;
  const std::vector<SolverFact> facts = solver_error_facts(o.result.error());
  const SolverFact by_a{SolverFact::Constraint{"urn:c", "^1", "urn:a"}};
  const SolverFact by_b{SolverFact::Constraint{"urn:c", "^2", "urn:b"}};
  EXPECT_NE(std::find(facts.begin(), facts.end(), by_a), facts.end()) << message;
  EXPECT_NE(std::find(facts.begin(), facts.end(), by_b), facts.end()) << message;
  // The same graph gives the same report every time.
  EXPECT_EQ(run(graph, {usage("urn:a"), usage("urn:b")}).result.error().message(), message);
  // Every retrieved list is kept, numbered in retrieval order.
  const auto& none = *o.result.error().get_if<SolverError::NoSolution>();
  ASSERT_EQ(none.candidates.count("urn:c"), 1u);
  EXPECT_EQ(none.candidates.at("urn:c")[1].index, 1u);
}

}  // namespace
}  // namespace kestro::solve
