#include "kestro/modeler/glob.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace kestro::modeler {
namespace {

const CompiledGlob& as_glob(const std::expected<GlobPattern, GlobError>& translated) {
  EXPECT_TRUE(translated.has_value()) << translated.error().message;
  return std::get<CompiledGlob>(*translated);
}

TEST(Glob, PatternsWithoutWildcardsAreLiteralPaths) {
  ScopedEnv env({{"HOME", std::optional<std::string>("/home/u")}});
  struct Case {
    std::string pattern, literal;
  };
  const std::vector<Case> cases = {
      {"models/a.sysml", "models/a.sysml"},
      {"./models/a.sysml", "models/a.sysml"},
      {"a\\[1\\].sysml", "a[1].sysml"},
      {"~/m/a.sysml", "/home/u/m/a.sysml"},
      {"", ""},
  };
  for (const auto& c : cases) {
    const auto translated = glob_to_regex(c.pattern);
    ASSERT_TRUE(translated.has_value()) << c.pattern;
    ASSERT_TRUE(std::holds_alternative<std::string>(*translated)) << c.pattern;
    EXPECT_EQ(std::get<std::string>(*translated), c.literal) << c.pattern;
  }
}

TEST(Glob, TranslatesTheRestAfterTheRoot) {
  struct Case {
    std::string pattern, root, regex;
    std::optional<std::string> directory;
  };
  const std::vector<Case> cases = {
      {"src/*.sysml", "src/", "[^./][^/]*\\.sysml", std::nullopt},
      {"**/*.sysml", "", "([^./][^/]*(/[^./][^/]*)*/?)?[^/]*\\.sysml", "([^./][^/]*(/[^./][^/]*)*/?)?"},
      {"models/**", "models/", "[^./][^/]*/?", std::nullopt},
      {"*/x/*.sysml", "", "[^./][^/]*/x/[^./][^/]*\\.sysml", "[^./][^/]*/x"},
      {"{a,b}.sysml", "", "(a|b)\\.sysml", std::nullopt},
      {"[!x].sysml", "", "[^x]\\.sysml", std::nullopt},
      {"[]a]", "", "[\\]a]", std::nullopt},
      {"[ab", "", "\\[ab", std::nullopt},
      {"a+b*", "", "a\\+b[^/]*/?", std::nullopt},
      {"a/b?/c/*.kerml", "a/", "b[^/]/c/[^./][^/]*\\.kerml", "b[^/]/c"},
      {"m/x\\*y*", "m/", "x\\*y[^/]*/?", std::nullopt},
      {"}{,]", "", "\\}\\{,\\]", std::nullopt},
      {"{a,[b,c]}", "", "(a|[b|c])", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto translated = glob_to_regex(c.pattern);
    const CompiledGlob& glob = as_glob(translated);
    EXPECT_EQ(glob.pattern, c.pattern);
    EXPECT_EQ(glob.root, c.root) << c.pattern;
    EXPECT_EQ(glob.walk_root, c.root.empty() ? std::nullopt : std::optional<fs::path>(c.root)) << c.pattern;
    ASSERT_TRUE(glob.path_regexes) << c.pattern;
    EXPECT_EQ(glob.path_regexes->source(), c.regex) << c.pattern;
    EXPECT_EQ(glob.dir_regexes ? std::optional(glob.dir_regexes->source()) : std::nullopt, c.directory) << c.pattern;
  }
}

TEST(Glob, ExpandsTheHomeDirectory) {
  struct Case {
    std::optional<std::string> home, userprofile;
    std::string text, expanded;
  };
  const std::vector<Case> cases = {
      {"/home/u", std::nullopt, "~/m/", "/home/u/m/"},
      {"/home/u", std::nullopt, "~bob/x/", "/home/ubob/x/"},
      {std::nullopt, "C:\\Users\\u", "~/m/", "C:/Users/u/m/"},
      {std::nullopt, std::nullopt, "~/m/", "/m/"},
      {"/home/u", std::nullopt, "./a\\b/", "ab/"},
      {"/home/u", std::nullopt, "", ""},
  };
  for (const auto& c : cases) {
    ScopedEnv env({{"HOME", c.home}, {"USERPROFILE", c.userprofile}});
    std::string out = "<";
    EXPECT_EQ(expand_tilde(c.text, out), c.expanded.size() + 1) << c.text;
    EXPECT_EQ(out, "<" + c.expanded) << c.text;
  }
  ScopedEnv env({{"HOME", std::optional<std::string>("/home/u")}});
  const auto translated = glob_to_regex("~/m/*.sysml");
  EXPECT_EQ(as_glob(translated).root, "/home/u/m/");
}

TEST(Glob, TakesInFilesAndEntersDirectoriesBelowTheRoot) {
  struct Case {
    std::string pattern;
    std::string below;  // the entry's path below the root
    bool is_dir;
    bool taken;
  };
  const std::vector<Case> cases = {
      {"src/*.sysml", "a.sysml", false, true},
      {"src/*.sysml", ".a.sysml", false, false},
      {"src/*.sysml", "sub", true, false},
      {"src/*.sysml", "sub/a.sysml", false, false},
      {"**/*.sysml", "a.sysml", false, true},
      {"**/*.sysml", "x/y/a.sysml", false, true},
      {"**/*.sysml", "x/.h.sysml", false, true},
      {"**/*.sysml", "x", true, true},
      {"**/*.sysml", "x/y/z", true, true},
      {"**/*.sysml", ".git", true, false},
      {"**/*.sysml", "x/.hidden", true, false},
      {"**/a.sysml", "xa.sysml", false, true},
      {"models/**", "a.sysml", false, true},
      {"models/**", ".a.sysml", false, false},
      {"models/**", "sub", true, false},
      {"models/**", "sub/a.sysml", false, false},
      {"*/x/*.sysml", "a", true, true},
      {"*/x/*.sysml", "a/x", true, true},
      {"*/x/*.sysml", "a/y", true, false},
      {"*/x/*.sysml", "a/x/y", true, false},
      {"*/x/*.sysml", ".a", true, false},
      {"*/x/*.sysml", "a/x/b.sysml", false, true},
      {"*/x/*.sysml", "a/y/b.sysml", false, false},
      // A file below a directory that the directory part does not cut into
      // components: every directory on the way is entered.
      {"{a,b/c}/*.sysml", "b", true, true},
      {"{a,b/c}/*.sysml", "b/c", true, true},
      {"{a,b/c}/*.sysml", "d", true, false},
      {"a*/**/x/*.sysml", "ab/c", true, true},
      {"a*/**/x/*.sysml", "ab/c/x", true, true},
      {"a*/**/x/*.sysml", "ab/c/x/m.sysml", false, true},
      {"a*/**/x/*.sysml", "b", true, false},
      {"{x,y}.sysml", "y.sysml", false, true},
      {"[!x].sysml", "x.sysml", false, false},
      {"[!x].sysml", "y.sysml", false, true},
      // `?` and classes never stand for a separator; dots match themselves.
      {"a?b.sysml", "a/b.sysml", false, false},
      {"a*.sysml", "aXsysml", false, false},
      // The whole name must match: a line end after it is not ignored.
      {"*.sysml", "a.sysml\n", false, false},
  };
  const fs::path root = "/w/root";
  for (const auto& c : cases) {
    const auto translated = glob_to_regex(c.pattern);
    const CompiledGlob& glob = as_glob(translated);
    EXPECT_EQ(glob_matches_under_root(root, glob, root / c.below, c.is_dir), c.taken)
        << c.pattern << " on " << c.below << (c.is_dir ? " (directory)" : "");
  }
  const auto translated = glob_to_regex("*.sysml");
  EXPECT_FALSE(glob_matches_under_root(root, as_glob(translated), "/w/rootx/a.sysml", false));
  EXPECT_FALSE(glob_matches_under_root(root, as_glob(translated), "/elsewhere/a.sysml", false));
  EXPECT_TRUE(glob_matches_under_root("/w/root/", as_glob(translated), "/w/root/a.sysml", false));
}

TEST(Glob, ExpressionsTheEngineRefusesAreGlobErrors) {
  // A class opened inside a brace group and closed after it leaves the
  // group unclosed in the expression.
  for (const std::string pattern : {"[{]}", "{[}]", "{{a,b}"}) {
    const auto translated = glob_to_regex(pattern);
    if (pattern == "{{a,b}") {
      // The outer brace has no match and stays a literal.
      EXPECT_TRUE(translated.has_value()) << pattern;
      continue;
    }
    ASSERT_FALSE(translated.has_value()) << pattern;
    EXPECT_EQ(translated.error().pattern, pattern);
    EXPECT_TRUE(translated.error().message.starts_with("regex parse error: ")) << translated.error().message;
  }
  const auto set = build_exclusion_set({"ok", "[{]}", "{[}]"});
  ASSERT_FALSE(set.has_value());
  EXPECT_EQ(set.error().pattern, "[{]}");
}

TEST(Glob, ExclusionsMatchWholeComponents) {
  struct Case {
    std::string pattern, path;
    bool excluded;
  };
  const std::vector<Case> cases = {
      {"legacy", "/p/legacy/a.sysml", true},
      {"legacy", "/p/legacy.sysml", false},
      // Only the first occurrence counts, and it lies inside `oldlegacy`.
      {"legacy", "/p/oldlegacy/legacy/a.sysml", false},
      {"build/*.sysml", "/p/build/a.sysml", true},
      {"build/*.sysml", "/p/build/sub/a.sysml", false},
      {"build/*.sysml", "/p/xbuild/a.sysml", false},
      {"/p/build/*.sysml", "/p/build/a.sysml", true},
      {"/q/build/*.sysml", "/p/q/build/a.sysml", false},
      {"*.kerml", "/p/a.kerml", true},
      {"*.kerml", "/p/a.kerml.sysml", false},
      {"**/gen/**", "/p/x/gen/a.sysml", true},
      {"gen/**", "/p/gen/sub/a.sysml", true},
      {"a\\b", "/p/a/b", false},
      {"", "/p/a.sysml", true},
      {"", "p/a.sysml", false},
  };
  for (const auto& c : cases) {
    const auto set = build_exclusion_set({c.pattern});
    ASSERT_TRUE(set.has_value()) << c.pattern;
    EXPECT_EQ(exclusion_keeps(*set, c.path), !c.excluded) << c.pattern << " on " << c.path;
  }
}

}  // namespace
}  // namespace kestro::modeler
