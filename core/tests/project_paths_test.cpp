#include "kestro/project/paths.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace kestro::project {
namespace {

TEST(GetSourcePath, ResolvesUnderRoot) {
  const std::filesystem::path root = "/w/proj";
  struct Case {
    std::string path;
    std::string resolved;  // empty: fails with `error`
    std::string error;
  } cases[] = {
      {"a/b.sysml", "/w/proj/a/b.sysml", ""},
      {"a//b/./c", "/w/proj/a/b/c", ""},
      {"./a/", "/w/proj/a", ""},
      {"./a//b/", "/w/proj/a/b", ""},
      {"a/../b", "/w/proj/b", ""},
      {"a/..", "/w/proj", ""},
      {"", "/w/proj", ""},
      {".", "/w/proj", ""},
      {"a\\b", "/w/proj/a\\b", ""},
      {"../x", "", "path `../x` is unsafe: path attempts to escape original path"},
      {"a/../../x", "", "path `a/../../x` is unsafe: path attempts to escape original path"},
      {"/etc/x", "", "path `/etc/x` is absolute"},
      {"/etc/passwd", "", "path `/etc/passwd` is absolute"},
      {"../\xff", "", "path `../\xEF\xBF\xBD` is unsafe: path attempts to escape original path"},
  };
  for (const auto& c : cases) {
    auto r = get_source_path(root, c.path);
    if (c.resolved.empty()) {
      ASSERT_FALSE(r) << c.path;
      EXPECT_EQ(r.error().message(), c.error);
      EXPECT_EQ(r.error().cause(), nullptr);
    } else {
      ASSERT_TRUE(r) << c.path << ": " << r.error().message();
      EXPECT_EQ(r->native(), c.resolved) << c.path;
    }
  }
  EXPECT_EQ(get_source_path(root, "a\\b")->filename(), "a\\b");
}

TEST(RelativizePath, Cases) {
  EXPECT_EQ(relativize_path("/w/p/q", "/w"), "p/q");
  EXPECT_EQ(relativize_path("/w", "/w"), ".");
  EXPECT_EQ(relativize_path("/x/y", "/w/z"), "../../x/y");
  EXPECT_EQ(relativize_path("/w", "/w/p/"), "..");
  // Mixed absolute and relative paths, and `..` on either side (a path not
  // made canonical), have no relative path: an error value, never a throw.
  struct Refused {
    const char* path;
    const char* root;
  } refused[] = {{"w/p", "/w"}, {"./w", "/w"}, {"/w/../x", "/w"}, {"/w/x", "/w/.."}};
  for (const auto& c : refused) {
    auto r = relativize_path(c.path, c.root);
    ASSERT_FALSE(r) << c.path;
    EXPECT_EQ(r.error().message(), fmt::format("unable to relativize path `{}` with respect to `{}`", c.path, c.root));
  }
}

TEST(PathComponents, EqualSpellingsAreOneKey) {
  PathComponentLess less;
  auto same = [&](std::string_view a, std::string_view b) { return !less(a, b) && !less(b, a); };
  EXPECT_TRUE(same("a/b", "a//b"));
  EXPECT_TRUE(same("a/b", "a/./b"));
  EXPECT_TRUE(same("a/b", "a/b/"));
  EXPECT_FALSE(same("a/b", "A/b"));
  EXPECT_FALSE(same("a/b", "./a/b"));
  EXPECT_FALSE(same("a/b", "/a/b"));
  EXPECT_FALSE(same("a/../b", "b"));
}

}  // namespace
}  // namespace kestro::project
