// Version solving over a synthetic graph: projects × versions × usages per
// version, each usage a range of majors that always holds the target's
// intended version, so the graph is solvable but highest-first choices meet
// conflicts. Prints our time at 250, 500 and 1,000 projects (or the counts
// given) and its growth, beside a plain chronological backtracking solver on
// the same graph.
//
//   bench_solve [projects] [versions] [usages] [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "kestro/solve/solve_usages.hpp"

namespace {

using namespace kestro;
using namespace kestro::solve;
using Clock = std::chrono::steady_clock;

struct Range {
  int target;
  int lo, hi;  // majors, both included
};
struct Graph {
  int versions = 0;
  std::vector<std::vector<std::vector<Range>>> deps;  // [project][major - 1]
};

Graph make_graph(int projects, int versions, int usages, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> intended(projects);
  for (int& v : intended) v = 1 + static_cast<int>(rng() % versions);
  Graph g{versions, std::vector<std::vector<std::vector<Range>>>(projects)};
  for (int p = 0; p < projects; ++p)
    for (int v = 0; v < versions; ++v) {
      std::vector<Range> deps;
      for (int u = 0; p + 1 < projects && u < usages; ++u) {
        const int q = p + 1 + static_cast<int>(rng() % std::min(50, projects - p - 1));
        const int width = 1 + static_cast<int>(rng() % 4);
        deps.push_back({q, std::max(1, intended[q] - width), std::min(versions, intended[q] + width)});
      }
      g.deps[p].push_back(std::move(deps));
    }
  return g;
}

std::string iri_of(int p) { return "urn:kestro:bench/p" + std::to_string(p); }

InterchangeProjectUsage usage_of(const Range& r) {
  ResourceUsageG<iri::Iri, semver::VersionReq> u{*iri::Iri::parse(iri_of(r.target)), std::nullopt};
  u.version_constraint = *semver::VersionReq::parse(">=" + std::to_string(r.lo) + ".0.0, <=" + std::to_string(r.hi) + ".0.0");
  return u;
}

// Every project's candidates built once; each retrieval hands out copies,
// as a memory resolver does.
class GraphSource : public CandidateSource<int> {
 public:
  explicit GraphSource(const Graph& g) {
    for (std::size_t p = 0; p < g.deps.size(); ++p) {
      std::vector<CachedCandidate<int>> list;
      for (int v = g.versions; v >= 1; --v) {
        CachedCandidate<int> c{{}, *semver::Version::parse(std::to_string(v) + ".0.0"), false, v};
        for (const Range& r : g.deps[p][v - 1])
          c.dependencies.push_back({iri_of(r.target), UsageInContext{usage_of(r), std::nullopt}});
        list.push_back(std::move(c));
      }
      lists_.emplace(iri_of(static_cast<int>(p)), std::move(list));
    }
  }
  std::expected<std::vector<CachedCandidate<int>>, SolverRetrievalError> retrieve(
      const DependencyIdentifier::Target& target) override {
    return lists_.at(target.identifier);
  }

 private:
  std::unordered_map<std::string, std::vector<CachedCandidate<int>>> lists_;
};

// Chronological backtracking: the first required, undecided project (by
// number) takes each admitted version, highest first; a dead end undoes the
// last choice. Gives up after `budget` tries.
struct Naive {
  const Graph& g;
  long budget;
  long tries = 0;
  std::vector<int> chosen;
  std::vector<std::vector<Range>> bounds;  // active ranges per target

  bool admitted(int q, int v) const {
    for (const Range& r : bounds[q])
      if (v < r.lo || v > r.hi) return false;
    return true;
  }
  std::optional<bool> search() {
    int next = -1;
    for (std::size_t q = 0; q < chosen.size(); ++q)
      if (!chosen[q] && (q == 0 || !bounds[q].empty())) {
        next = static_cast<int>(q);
        break;
      }
    if (next < 0) return true;
    for (int v = g.versions; v >= 1; --v) {
      if (++tries > budget) return std::nullopt;
      if (!admitted(next, v)) continue;
      bool fits = true;
      for (const Range& r : g.deps[next][v - 1])
        if (chosen[r.target] && (chosen[r.target] < r.lo || chosen[r.target] > r.hi)) fits = false;
      if (!fits) continue;
      chosen[next] = v;
      for (const Range& r : g.deps[next][v - 1]) bounds[r.target].push_back(r);
      auto found = search();
      if (found != false) return found;
      for (const Range& r : g.deps[next][v - 1]) bounds[r.target].pop_back();
      chosen[next] = 0;
    }
    return false;
  }
};

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes{250, 500, 1000};
  if (argc > 1) sizes = {std::atoi(argv[1])};
  const int versions = argc > 2 ? std::atoi(argv[2]) : 20;
  const int usages = argc > 3 ? std::atoi(argv[3]) : 5;
  const int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
  std::printf("%-9s %12s %10s %14s %12s\n", "projects", "ours ms", "growth", "backtrack ms", "ratio");
  double previous = 0;
  int previous_size = 0;
  for (int n : sizes) {
    const Graph g = make_graph(n, versions, usages, 7);
    double best = 1e9;
    std::size_t solved = 0;
    for (int r = 0; r < rounds; ++r) {
      auto source = std::make_unique<GraphSource>(g);
      std::vector<InterchangeProjectUsage> root{usage_of({0, 1, versions})};
      auto start = Clock::now();
      auto result = solve_usages<int>(std::move(root), std::nullopt, std::move(source));
      best = std::min(best, seconds_since(start));
      if (!result) {
        std::printf("no solution at %d projects:\n%s\n", n, result.error().message().c_str());
        return 1;
      }
      solved = result->size();
    }
    Naive naive{g, 50'000'000, 0, std::vector<int>(n, 0), std::vector<std::vector<Range>>(n)};
    naive.bounds[0].push_back({0, 1, versions});
    auto start = Clock::now();
    auto found = naive.search();
    const double naive_s = seconds_since(start);
    char growth[32] = "-";
    if (previous > 0)
      std::snprintf(growth, sizeof growth, "x%.2f/x%.1f", best / previous, static_cast<double>(n) / previous_size);
    char peer[48];
    if (found) std::snprintf(peer, sizeof peer, "%.2f", naive_s * 1e3);
    else std::snprintf(peer, sizeof peer, "gave up %.0f", naive_s * 1e3);
    std::printf("%-9d %12.2f %10s %14s %12.2f   (%zu chosen, %ld backtracking tries)\n", n, best * 1e3, growth, peer,
                naive_s / best, solved, naive.tries);
    previous = best;
    previous_size = n;
  }
  return 0;
}
