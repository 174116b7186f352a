// The provider's answers to the solver: priorities, version choice and the
// positions a usage admits, as tables.
#include "kestro/solve/provider.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"

namespace kestro::solve {
namespace {

using S = DiscreteHashSet;

UsageInContext resource(const char* req) {
  ResourceUsageG<iri::Iri, semver::VersionReq> u{*iri::Iri::parse("urn:a"), std::nullopt};
  if (req) u.version_constraint = *semver::VersionReq::parse(req);
  return UsageInContext{u, std::nullopt};
}

std::vector<semver::Version> versions(const std::vector<const char*>& texts) {
  std::vector<semver::Version> out;
  for (const char* t : texts) out.push_back(*semver::Version::parse(t));
  return out;
}

TEST(VersionChoice, Priority) {
  const struct {
    S set;
    std::uint64_t priority;
  } cases[] = {{S::full(), 0}, {S::all_except({1, 2, 3}), 0}, {S::empty(), 0}, {S::listed({4}), 1}, {S::listed({3, 1, 9}), 3}};
  for (const auto& c : cases) EXPECT_EQ(set_priority(c.set), c.priority) << c.set.text();
}

TEST(VersionChoice, Choose) {
  struct Case {
    const char* what;
    std::vector<const char*> versions;
    S set;
    std::optional<std::uint64_t> choice;
    std::string line;
  };
  const Case cases[] = {
      {"explicit: the smallest member, not the highest version", {"1.0.0", "3.0.0", "2.0.0", "9.0.0"}, S::listed({3, 1}), 1,
       "choosing version for request (Some(1))"},
      {"explicit and empty", {"1.0.0"}, S::empty(), std::nullopt, "choosing version for request (None)"},
      {"all-except: the highest, a pre-release too", {"1.0.0", "2.0.0-rc.1", "1.5.0"}, S::full(), 1,
       "chose version for IRI `urn:a`: 2.0.0-rc.1"},
      {"all-except with the highest excluded", {"1.0.0", "2.0.0-rc.1", "1.5.0"}, S::all_except({1}), 2,
       "chose version for IRI `urn:a`: 1.5.0"},
      {"equal versions: the earlier position", {"1.0.0", "2.0.0", "2.0.0"}, S::full(), 1,
       "chose version for IRI `urn:a`: 2.0.0"},
      {"build metadata orders equal precedence", {"2.0.0+a", "2.0.0+b"}, S::full(), 1,
       "chose version for IRI `urn:a`: 2.0.0+b"},
      {"everything excluded", {"1.0.0", "2.0.0"}, S::all_except({0, 1}), std::nullopt,
       "no allowed versions for IRI `urn:a`, considered: [(1, 2.0.0), (0, 1.0.0)]"},
      {"no candidates", {}, S::full(), std::nullopt, "no allowed versions for IRI `urn:a`, considered: []"},
  };
  const DependencyIdentifier::Target target{"urn:a", resource(nullptr)};
  for (const Case& c : cases) {
    log::ScopedCapture capture;
    const auto vs = versions(c.versions);
    std::optional<std::uint64_t> got;
    if (c.set.form() == S::Form::Listed) {
      got = choose_listed(c.set);
    } else {
      std::vector<PositionedVersion> positioned;
      for (std::uint64_t i = 0; i < vs.size(); ++i) positioned.push_back({i, &vs[i]});
      got = choose_highest(target, c.set, positioned);
    }
    EXPECT_EQ(got, c.choice) << c.what;
    ASSERT_EQ(capture.records().size(), 1u) << c.what;
    EXPECT_EQ(capture.records()[0].message, c.line) << c.what;
    EXPECT_EQ(capture.records()[0].target, "kestro_core::solve::pubgrub") << c.what;
  }
  log::ScopedCapture capture;
  EXPECT_EQ(choose_for_root(), std::nullopt);
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].message, "unknown version for request");
}

TEST(VersionChoice, AdmittedPositions) {
  struct Case {
    const char* what;
    UsageInContext usage;
    std::vector<const char*> versions;
    bool multi;
    S set;
  };
  const Case cases[] = {
      {"caret", resource("^1.0"), {"1.2.0", "2.0.0", "1.5.0-rc.1"}, false, S::listed({0})},
      {"index without requirement: `*`", resource(nullptr), {"1.0.0", "2.0.0-beta.1"}, true, S::listed({0})},
      {"index, pre-releases only", resource(nullptr), {"1.0.0-a", "2.0.0-b"}, true, S::empty()},
      {"no index, no requirement: all", resource(nullptr), {"1.0.0", "2.0.0-beta.1"}, false, S::full()},
      {"a directory usage: all", UsageInContext{DirectoryUsageG<std::string>{"../b", "acme", "b"}, std::nullopt},
       {"1.0.0"}, true, S::full()},
  };
  for (const Case& c : cases) {
    const auto vs = versions(c.versions);
    std::vector<const semver::Version*> ptrs;
    for (const auto& v : vs) ptrs.push_back(&v);
    EXPECT_EQ(admitted_positions(c.usage, ptrs, c.multi), c.set) << c.what;
  }
}

}  // namespace
}  // namespace kestro::solve
