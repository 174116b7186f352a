// The engine over random small graphs against brute force: every solution
// satisfies every dependency of every selected version, and every failure
// is a graph that has no solution. Each dependency question is asked at
// most once per run.
#include "kestro/solve/pubgrub.hpp"

#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/solve/discrete_set.hpp"
#include "kestro/solve/pubgrub_report.hpp"

namespace kestro::solve {
namespace {

using S = DiscreteHashSet;

// Package 0 is the root (one version, 0); package p has versions[p]
// versions; deps[p][v] lists what (p, v) needs.
struct Graph {
  std::vector<std::uint64_t> versions;
  std::vector<std::vector<std::vector<std::pair<int, S>>>> deps;
};

class GraphProvider {
 public:
  using Package = int;
  using Version = std::uint64_t;
  using Set = S;
  using Error = std::string;

  explicit GraphProvider(const Graph& g) : g_(g) {}
  std::uint64_t prioritize(int, const S& s) const { return s.form() == S::Form::AllExcept ? 0 : s.numbers().size(); }
  std::expected<std::optional<std::uint64_t>, std::string> choose_version(int p, const S& s) const {
    for (std::uint64_t v = g_.versions[p]; v-- > 0;)
      if (s.contains(v)) return v;
    return std::nullopt;
  }
  std::expected<std::vector<std::pair<int, S>>, std::string> get_dependencies(int p, std::uint64_t v) {
    if (++asked[{p, v}] > 1) ADD_FAILURE() << "dependencies of " << p << "@" << v << " asked again";
    return g_.deps[p][v];
  }
  std::map<std::pair<int, std::uint64_t>, int> asked;

 private:
  const Graph& g_;
};

struct Words {
  std::string package(int p) const { return "p" + std::to_string(p); }
  bool is_root(int p) const { return p == 0; }
  std::string version(std::uint64_t v) const { return std::to_string(v); }
  std::string set(const S& s) const { return s.text(); }
};

// choice[p]: the version of p, or -1 when p is not selected.
bool valid(const Graph& g, const std::vector<int>& choice) {
  if (choice[0] != 0) return false;
  for (std::size_t p = 0; p < choice.size(); ++p) {
    if (choice[p] < 0) continue;
    for (const auto& [q, set] : g.deps[p][choice[p]])
      if (choice[q] < 0 || !set.contains(static_cast<std::uint64_t>(choice[q]))) return false;
  }
  return true;
}

bool brute_force(const Graph& g, std::vector<int>& choice, std::size_t p) {
  if (p == choice.size()) return valid(g, choice);
  const int lowest = p == 0 ? 0 : -1;
  const int highest = p == 0 ? 0 : static_cast<int>(g.versions[p]) - 1;
  for (int v = lowest; v <= highest; ++v) {
    choice[p] = v;
    if (brute_force(g, choice, p + 1)) return true;
  }
  return false;
}

S random_set(std::mt19937& rng, std::uint64_t versions) {
  std::vector<std::uint64_t> members;
  for (std::uint64_t v = 0; v < versions; ++v)
    if (rng() % 2) members.push_back(v);
  switch (rng() % 6) {
    case 0: return S::full();
    case 1: return S::all_except(members);
    case 2: return S::empty();
    default: return S::listed(members);
  }
}

Graph random_graph(std::mt19937& rng) {
  Graph g;
  const int packages = 2 + static_cast<int>(rng() % 5);
  g.versions.push_back(1);
  for (int p = 1; p < packages; ++p) g.versions.push_back(1 + rng() % 3);
  g.deps.resize(packages);
  for (int p = 0; p < packages; ++p)
    for (std::uint64_t v = 0; v < g.versions[p]; ++v) {
      std::vector<std::pair<int, S>> deps;
      const int count = static_cast<int>(rng() % (p == 0 ? 4 : 3));
      for (int i = 0; i < count; ++i) {
        const int q = static_cast<int>(rng() % packages);
        deps.emplace_back(q, random_set(rng, g.versions[q]));
      }
      g.deps[p].push_back(std::move(deps));
    }
  return g;
}

TEST(PubGrubProperty, AgreesWithBruteForce) {
  int solved = 0, failed = 0;
  for (unsigned seed = 0; seed < 4000; ++seed) {
    std::mt19937 rng(seed);
    const Graph g = random_graph(rng);
    GraphProvider provider(g);
    auto result = pubgrub::solve(provider, 0, std::uint64_t{0});
    std::vector<int> choice(g.versions.size(), -1);
    const bool exists = brute_force(g, choice, 0);
    if (result) {
      ++solved;
      std::vector<int> got(g.versions.size(), -1);
      for (const auto& [p, v] : *result) got[p] = static_cast<int>(v);
      EXPECT_TRUE(valid(g, got)) << "seed " << seed << ": the solution breaks a dependency";
    } else {
      ++failed;
      ASSERT_TRUE(std::holds_alternative<pubgrub::FailureOf<GraphProvider>::NoSolution>(result.error().value));
      EXPECT_FALSE(exists) << "seed " << seed << ": reported a failure where a solution exists";
      const auto& tree = std::get<pubgrub::FailureOf<GraphProvider>::NoSolution>(result.error().value).tree;
      EXPECT_FALSE(pubgrub::report(pubgrub::collapse_no_versions(tree), Words{}).empty());
    }
  }
  // Both outcomes occur often enough to mean something.
  EXPECT_GT(solved, 500);
  EXPECT_GT(failed, 500);
}

TEST(PubGrubProperty, ProviderErrorsEndTheRun) {
  struct Failing : GraphProvider {
    using GraphProvider::GraphProvider;
    std::expected<std::vector<std::pair<int, S>>, std::string> get_dependencies(int p, std::uint64_t v) {
      if (p == 1) return std::unexpected(std::string("no usages of 1"));
      return GraphProvider::get_dependencies(p, v);
    }
  };
  Graph g{{1, 2}, {{{{1, S::full()}}}, {{}, {}}}};
  Failing provider(g);
  auto result = pubgrub::solve(provider, 0, std::uint64_t{0});
  ASSERT_FALSE(result);
  const auto* f = std::get_if<pubgrub::FailureOf<Failing>::RetrievingDependencies>(&result.error().value);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->package, 1);
  EXPECT_EQ(f->version, 1u);  // the highest version is tried first
  EXPECT_EQ(f->err, "no usages of 1");
}

TEST(PubGrubCollapse, NoVersionFactsFoldIntoTheirNeighbour) {
  using Tree = pubgrub::DerivationTree<int, std::uint64_t, S>;
  auto node = [](Tree t) { return std::make_shared<const Tree>(std::move(t)); };
  const Tree none{Tree::NoVersions{2, S::listed({3})}};
  const Tree dep{Tree::FromDependencyOf{1, S::listed({0}), 2, S::listed({1})}};
  // A dependency fact beside the no-version fact: its set naming package 2
  // is widened, in either order of the causes.
  for (const Tree& t : {Tree{Tree::Derived{node(none), node(dep)}}, Tree{Tree::Derived{node(dep), node(none)}}}) {
    const Tree folded = pubgrub::collapse_no_versions(t);
    const auto* d = std::get_if<Tree::FromDependencyOf>(&folded.node);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->dependency_set, S::listed({1, 3}));
    EXPECT_EQ(d->set, S::listed({0}));
  }
  // Beside another no-version fact the node stays as it is.
  const Tree pair{Tree::Derived{node(none), node(Tree{Tree::NoVersions{1, S::full()}})}};
  EXPECT_TRUE(std::holds_alternative<Tree::Derived>(pubgrub::collapse_no_versions(pair).node));
  // Beside a derived node, that node (folded) takes the place.
  const Tree inner{Tree::Derived{node(dep), node(Tree{Tree::NotRoot{0, 0}})}};
  const Tree outer = pubgrub::collapse_no_versions(Tree{Tree::Derived{node(none), node(inner)}});
  const auto* d = std::get_if<Tree::Derived>(&outer.node);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(std::holds_alternative<Tree::FromDependencyOf>(d->cause1->node));
  EXPECT_TRUE(std::holds_alternative<Tree::NotRoot>(d->cause2->node));
}

}  // namespace
}  // namespace kestro::solve
