#include "kestro/utils/path_parts.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kestro {
namespace {

using K = PathPart::Kind;
using F = PathFault;

std::string listing(std::string_view path, DotSpelling spelling = DotSpelling::Plain) {
  static constexpr const char* names[] = {"R", "E", "C", "P", "N"};
  std::string out;
  for (const PathPart& p : PathParts(path, spelling)) {
    if (!out.empty()) out += ' ';
    out += names[static_cast<int>(p.kind)];
    if (p.kind == K::Name) out += std::string(":") + std::string(p.text);
    if (p.leading) out += '^';
  }
  return out;
}

TEST(PathParts, SplitsEveryPiece) {
  struct Case {
    const char* path;
    const char* parts;
  } cases[] = {
      {"", ""},
      {"/", "R^ E"},
      {"a", "N:a^"},
      {"a/b/", "N:a^ N:b E"},
      {"//a", "R^ E N:a"},
      {"./a/./..", "C^ N:a C P"},
      {"/./a", "R^ C N:a"},
      {"...", "N:...^"},
      {"%2e/%2E%2e", "N:%2e^ N:%2E%2e"},
  };
  for (const auto& c : cases) EXPECT_EQ(listing(c.path), c.parts) << c.path;
  EXPECT_EQ(listing("%2e/%2E%2e/.%2e/%2e./%2e%2e%2e", DotSpelling::PercentEncoded), "C^ P P P N:%2e%2e%2e");
}

TEST(PathParts, DotSpellingsAreTheUrlParsers) {
  struct Case {
    const char* part;
    K plain;
    K encoded;
  } cases[] = {
      {".", K::Current, K::Current},   {"..", K::Parent, K::Parent},  {"%2e", K::Name, K::Current},
      {"%2E", K::Name, K::Current},    {".%2E", K::Name, K::Parent},  {"%2e.", K::Name, K::Parent},
      {"%2E%2e", K::Name, K::Parent},  {"...", K::Name, K::Name},     {"%2", K::Name, K::Name},
      {"%2f", K::Name, K::Name},       {"", K::Name, K::Name},        {".a", K::Name, K::Name},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dot_kind(c.part), c.plain) << c.part;
    EXPECT_EQ(dot_kind(c.part, DotSpelling::PercentEncoded), c.encoded) << c.part;
  }
}

// One row per input, one column per policy: what each kind of path may hold.
TEST(PathPolicy, Verdicts) {
  using P = PathPolicy;
  const std::optional<F> ok;
  struct Case {
    std::string path;
    std::optional<F> relative, project, below, normal, archive, remote;
  } cases[] = {
      {"a/b", ok, ok, ok, ok, ok, ok},
      {"", F::EmptyPart, F::EmptyPart, ok, ok, F::EmptyPart, ok},
      {"a//b", F::EmptyPart, F::EmptyPart, ok, ok, ok, ok},
      {"a/", F::EmptyPart, F::EmptyPart, ok, ok, ok, ok},
      {"/a", F::Absolute, F::Absolute, F::Absolute, F::Absolute, F::Absolute, ok},
      {"./a", ok, F::Current, ok, F::Current, ok, F::Current},
      {"a/.", ok, F::Current, ok, ok, ok, F::Current},
      {"a/..", ok, F::Parent, ok, F::Parent, ok, F::Parent},
      {"a/../..", ok, F::Parent, F::Escapes, F::Parent, F::Escapes, F::Parent},
      {"../a", ok, F::Parent, F::Escapes, F::Parent, F::Escapes, F::Parent},
      {"a/./../b", ok, F::Current, ok, F::Parent, ok, F::Current},
      {"a//../..", F::EmptyPart, F::EmptyPart, F::Escapes, F::Parent, F::Escapes, F::Parent},
      {"a/%2e%2e/b", ok, ok, ok, ok, ok, F::Parent},
      {"%2E/b", ok, ok, ok, ok, ok, F::Current},
      {"a\\..\\..", ok, ok, ok, ok, ok, ok},
      {std::string("a\0b", 3), ok, ok, ok, ok, F::Nul, ok},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(path_fault(c.path, P::Relative), c.relative);
    EXPECT_EQ(path_fault(c.path, P::ProjectRelative), c.project);
    EXPECT_EQ(path_fault(c.path, P::BelowRoot), c.below);
    EXPECT_EQ(path_fault(c.path, P::NormalBelowRoot), c.normal);
    EXPECT_EQ(path_fault(c.path, P::ArchiveEntry), c.archive);
    EXPECT_EQ(path_fault(c.path, P::RemoteSegment), c.remote);
    // A path is below its root exactly when its names can be resolved there.
    if (!c.path.starts_with('/')) {
      EXPECT_EQ(names_below_root(c.path).has_value(), !c.below);
    }
  }
  EXPECT_EQ(*names_below_root("./a//b/../c/."), (std::vector<std::string_view>{"a", "c"}));
}

TEST(ComparePaths, OneOrderForEverySpelling) {
  // In order: root, a leading `.`, `..`, then names by unsigned bytes; equal
  // spellings on one line.
  const std::vector<std::vector<std::string>> ordered = {
      {"/", "//", "/."},
      {"/a", "/./a", "//a/"},
      {"."},
      {"./a"},
      {".."},
      {"../a"},
      {"-"},
      {"A"},
      {"a", "a/", "a/.", "a//"},
      {"a/b", "a//b", "a/./b"},
      {"a/b/c"},
      {"a-b"},
      {"ab"},
      {"\xc3\xa9"},
  };
  for (std::size_t i = 0; i < ordered.size(); ++i)
    for (std::size_t j = 0; j < ordered.size(); ++j)
      for (const auto& a : ordered[i])
        for (const auto& b : ordered[j]) EXPECT_EQ(compare_paths(a, b), i <=> j) << a << " vs " << b;
}

TEST(IsWithin, ComparesWholeParts) {
  struct Case {
    const char* path;
    const char* dir;
    bool within;
  } cases[] = {
      {"/a/b", "/a/b", true},  {"/a/b/c", "/a/b", true}, {"/a/b/c", "/a/b/", true}, {"/a/bc", "/a/b", false},
      {"/a", "/a/b", false},   {"/a/b", "/", true},      {"a/b", "/a", false},      {"/a//b/c", "/a/b", true},
  };
  for (const auto& c : cases) EXPECT_EQ(is_within(c.path, c.dir), c.within) << c.path << " in " << c.dir;
}

}  // namespace
}  // namespace kestro
