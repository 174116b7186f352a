// Retrieving the candidates of a usage through a resolver chain: the
// screening of bad candidates (skipped for a resource usage, fatal for a
// directory usage), the mapping of the chain's answer, and the priority
// rule for a memory resolver holding an empty list.
#include "kestro/solve/resolver_source.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/resolve/memory_resolver.hpp"
#include "kestro/solve/solve_usages.hpp"
#include "support/log_capture.hpp"

namespace kestro::solve {
namespace {

// In-memory candidates: never fail to read, read in place from no directory,
// and offer several versions only when a test says so.
struct MemoryChain {
  static SolverResolverError resolver_error(resolve::Infallible) { internal_error("an infallible resolver failed"); }
  template <typename E>
  static SolverProjectError project_error(E&&) {
    internal_error("an in-memory project failed to read");
  }
  template <typename P>
  static std::optional<std::filesystem::path> base_path(const P&) {
    return std::nullopt;
  }
  template <typename P>
  static bool offers_multiple_versions(const P&) {
    return false;
  }
};

// A project with a version (none: no records at all) and raw usages.
InMemoryProject candidate(const char* version, std::vector<InterchangeProjectUsageRaw> usages = {}) {
  InMemoryProject p;
  if (!version) return p;
  InterchangeProjectInfoRaw info;
  info.name = "p";
  info.version = version;
  info.usage = std::move(usages);
  p.info = std::move(info);
  return p;
}

InterchangeProjectUsageRaw resource(const std::string& iri, std::optional<std::string> req = std::nullopt) {
  return ResourceUsageRaw{iri, std::move(req)};
}

const char* kIri = "urn:kestro:x";

DependencyIdentifier::Target lenient() {
  return {kIri, UsageInContext{ResourceUsageG<iri::Iri, semver::VersionReq>{*iri::Iri::parse(kIri), std::nullopt}, std::nullopt}};
}
DependencyIdentifier::Target strict() {
  InterchangeProjectUsage u = DirectoryUsageG<std::string>{"lib/x", "pub", "x"};
  return {usage_identifier(u), UsageInContext{u, std::filesystem::path("/root")}};
}

using Memory = MemoryResolver<InMemoryProject>;
using MemorySource = ResolverCandidateSource<Memory, MemoryChain, InMemoryProject>;

std::vector<std::string> versions_of(const std::vector<CachedCandidate<InMemoryProject>>& list) {
  std::vector<std::string> out;
  for (const auto& c : list) out.push_back(c.version.to_string());
  return out;
}

struct ScreenCase {
  const char* name;
  std::vector<InMemoryProject> candidates;
  bool strict;
  std::vector<std::string> accepted;  // empty: the retrieval fails
  std::string error;                  // "{}": the target's label
  std::vector<std::string> debug;     // lines' starts, "{}" the label
};

std::string with_label(std::string text, const std::string& label) {
  if (auto at = text.find("{}"); at != std::string::npos) text.replace(at, 2, label);
  return text;
}

TEST(ResolverSource, ScreensCandidatesInOrderAndFailsStrictUsagesAtOnce) {
  const std::vector<InterchangeProjectUsageRaw> third_bad = {resource("urn:kestro:a"), resource("urn:kestro:b"),
                                                             resource("urn:kestro:c", "not a requirement")};
  const std::vector<ScreenCase> cases = {
      {"lenient skips a two-number version",
       {candidate("1.0.0"), candidate("1.0"), candidate("2.0.0")},
       false,
       {"1.0.0", "2.0.0"},
       "",
       {"candidate project for {} has invalid version `1.0`: "}},
      {"strict fails on a two-number version",
       {candidate("1.0.0"), candidate("1.0"), candidate("2.0.0")},
       true,
       {},
       "usage {} resolved to a project that has an invalid version",
       {}},
      {"lenient without a version ends without candidates",
       {candidate(nullptr)},
       false,
       {},
       "no valid candidates found for project {}",
       {"candidate project for {} did not expose a version"}},
      {"strict without a version",
       {candidate(nullptr)},
       true,
       {},
       "usage {} resolved to a project that does not expose its version",
       {}},
      {"lenient drops a candidate whose third usage is invalid",
       {candidate("1.0.0", third_bad), candidate("1.1.0", {resource("urn:kestro:a")})},
       false,
       {"1.1.0"},
       "",
       {"candidate project for {} has invalid usage: "}},
      {"strict fails on the third usage", {candidate("1.0.0", third_bad)}, true, {}, "usage {} resolved to an error", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DependencyIdentifier::Target target = c.strict ? strict() : lenient();
    MemorySource source(Memory({{target.identifier, c.candidates}}));
    log::ScopedCapture capture;
    auto got = source.retrieve(target);
    const std::string label = target.usage.label();
    if (c.accepted.empty()) {
      ASSERT_FALSE(got);
      EXPECT_EQ(got.error().message(), with_label(c.error, label));
    } else {
      ASSERT_TRUE(got) << got.error().message();
      EXPECT_EQ(versions_of(*got), c.accepted);
    }
    auto lines = testing::messages_of(capture, {kSolveTarget});
    ASSERT_EQ(lines.size(), c.debug.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_TRUE(lines[i].starts_with(with_label(c.debug[i], label))) << lines[i];
  }
}

TEST(ResolverSource, DependenciesFollowTheUsageListWithValidatedIdentifiers) {
  MemorySource source(Memory({{kIri, {candidate("1.0.0", {resource("urn:kestro:b", "^1"), resource("urn:kestro:a")})}}}));
  auto got = source.retrieve(lenient());
  ASSERT_TRUE(got);
  ASSERT_EQ(got->size(), 1u);
  const auto& deps = (*got)[0].dependencies;
  ASSERT_EQ(deps.size(), 2u);
  EXPECT_EQ(deps[0].identifier, "urn:kestro:b");
  EXPECT_EQ(deps[1].identifier, "urn:kestro:a");
  EXPECT_FALSE(deps[0].usage.project_dir);
  EXPECT_FALSE((*got)[0].source_may_offer_multiple_versions);
}

TEST(ResolverSource, AnEmptyListInTheHigherMemoryResolverIsFinal) {
  using Pair = PriorityResolver<Memory, Memory>;
  using Item = Pair::item_type;
  ResolverCandidateSource<Pair, MemoryChain, Item> source(
      Pair(Memory(Memory::Map{{kIri, {}}}), Memory({{kIri, {candidate("1.0.0")}}})));
  log::ScopedCapture capture;
  auto got = source.retrieve(lenient());
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().message(), "no valid candidates found for project " + lenient().usage.label());
  EXPECT_TRUE(testing::messages_of(capture, {"kestro_core::resolve::priority"}).empty());
}

TEST(ResolverSource, RefusalsOfTheLastResolverBecomeRetrievalErrors) {
  using Pair = PriorityResolver<Memory, Memory>;
  ResolverCandidateSource<Pair, MemoryChain, Pair::item_type> source(Pair(Memory{}, Memory{}));
  log::ScopedCapture capture;
  auto got = source.retrieve(lenient());
  ASSERT_FALSE(got);
  const std::string label = lenient().usage.label();
  EXPECT_EQ(got.error().message(), "project " + label + " not found: project is not present in this memory resolver");
  EXPECT_EQ(testing::messages_of(capture, {"kestro_core::resolve::priority"}),
            std::vector<std::string>{"higher priority resolver did not find usage " + label +
                                     ": project is not present in this memory resolver"});
}

TEST(ResolverSource, SolvesOverScreenedCandidatesAndSkipsTheBadOnes) {
  const std::string b = "urn:kestro:b";
  Memory::Map graph{{kIri, {candidate("1.0.0", {resource(b, "^1.0")})}},
                    {b, {candidate("1.0"), candidate("2.0.0"), candidate("1.2.0"), candidate("1.0.0")}}};
  // A listed set takes its earliest admitted position: the bad first
  // candidate is gone, so that is 1.2.0.
  InterchangeProjectUsage root = ResourceUsageG<iri::Iri, semver::VersionReq>{*iri::Iri::parse(kIri), std::nullopt};
  auto solved = solve_usages<InMemoryProject>({root}, std::nullopt, std::make_unique<MemorySource>(Memory(graph)));
  ASSERT_TRUE(solved) << solved.error().message();
  ASSERT_EQ(solved->size(), 2u);
  EXPECT_EQ(solved->at(kIri).info->version, "1.0.0");
  EXPECT_EQ(solved->at(b).info->version, "1.2.0");
}

}  // namespace
}  // namespace kestro::solve
