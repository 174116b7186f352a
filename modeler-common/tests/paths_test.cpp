#include "kestro/modeler/paths.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "paths_test_support.hpp"
#include "test_support.hpp"

namespace kestro::modeler {
namespace {

TEST(LexicalPath, ParentAndFileName) {
  struct Case {
    std::string path;
    std::optional<std::string> parent;
    std::optional<std::string> name;
  };
  const std::vector<Case> cases = {
      {"x", "", "x"},
      {"./x", ".", "x"},
      {"foo/.", "", "foo"},
      {"a//b/", "a", "b"},
      {"a/./b", "a", "b"},
      {"/x", "/", "x"},
      {"/a/b/c", "/a/b", "c"},
      {"dir/..", "dir", std::nullopt},
      {".", "", std::nullopt},
      {"./", "", std::nullopt},
      {"..", "", std::nullopt},
      {"/", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto parent = lexical_parent(c.path);
    const auto name = file_name(c.path);
    EXPECT_EQ(parent ? std::optional<std::string>(*parent) : std::nullopt, c.parent) << c.path;
    EXPECT_EQ(name ? std::optional<std::string>(*name) : std::nullopt, c.name) << c.path;
  }
}

class CanonicalizeKeepLast : public ::testing::Test {
 protected:
  // The tree: dir/ (real), link-dir -> dir, dir/link -> dir/target, a/.
  CanonicalizeKeepLast() {
    namespace fs = std::filesystem;
    fs::create_directories(tmp_.path() / "dir");
    fs::create_directories(tmp_.path() / "a");
    std::ofstream(tmp_.path() / "dir" / "target") << "x";
    fs::create_symlink("target", tmp_.path() / "dir" / "link");
    fs::create_directory_symlink("dir", tmp_.path() / "link-dir");
    root_ = fs::canonical(tmp_.path());
  }
  TempDir tmp_;
  std::filesystem::path root_;
};

TEST_F(CanonicalizeKeepLast, JoinsTheCanonicalDirectoryWithTheNameAsTyped) {
  ScopedCwd cwd(tmp_.path());
  struct Case {
    std::string path;
    std::filesystem::path expected;
  };
  const std::vector<Case> cases = {
      {"x", root_ / "x"},
      {"./x", root_ / "x"},
      {"foo/.", root_ / "foo"},
      {"dir/link", root_ / "dir" / "link"},       // the link keeps its own name
      {"link-dir/x", root_ / "dir" / "x"},        // links in the directory part are resolved
      {"a//b/", root_ / "a" / "b"},
      {"dir/../a/new.csv", root_ / "a" / "new.csv"},
      {"/x", "/x"},
      {(root_ / "dir" / "link").string(), root_ / "dir" / "link"},
  };
  for (const auto& c : cases) {
    const auto got = canonicalize_keep_last(c.path);
    ASSERT_TRUE(got.has_value()) << c.path << ": " << got.error().message();
    EXPECT_EQ(got->string(), c.expected.string()) << c.path;
  }
}

TEST_F(CanonicalizeKeepLast, Refuses) {
  ScopedCwd cwd(tmp_.path());
  struct Case {
    std::string path;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"missing/x", "failed to canonicalize parent path `missing`: No such file or directory (os error 2)"},
      {"dir/target/y/x", "failed to canonicalize parent path `dir/target/y`: Not a directory (os error 20)"},
      // The parent is resolved first, so its failure wins over the missing name.
      {"missing/..", "failed to canonicalize parent path `missing`: No such file or directory (os error 2)"},
      {"missing\xff/x", "failed to canonicalize parent path `missing\xef\xbf\xbd`: No such file or directory (os error 2)"},
      {"/", "path / has no file name"},
      {".", "path . has no file name"},
      {"dir/..", "path dir/.. has no file name"},
      {"", "path  has no file name"},
  };
  for (const auto& c : cases) {
    const auto got = canonicalize_keep_last(c.path);
    ASSERT_FALSE(got.has_value()) << c.path << " gave " << got->string();
    EXPECT_EQ(got.error().message(), c.message) << c.path;
  }
}

TEST(CanonicalCurrentDir, ResolvesLinksInTheCurrentDirectory) {
  TempDir tmp;
  std::filesystem::create_directory(tmp.path() / "real");
  std::filesystem::create_directory_symlink("real", tmp.path() / "via");
  ScopedCwd cwd(tmp.path() / "via");
  const auto got = canonical_current_dir();
  ASSERT_TRUE(got.has_value()) << got.error().message();
  EXPECT_EQ(*got, std::filesystem::canonical(tmp.path()) / "real");
}

TEST(CanonicalCurrentDir, FailsWhenTheCurrentDirectoryIsGone) {
  TempDir tmp;
  const auto gone = tmp.path() / "gone";
  std::filesystem::create_directory(gone);
  ScopedCwd cwd(gone);
  std::filesystem::remove(gone);
  const std::string expected = "failed to get current directory: No such file or directory (os error 2)";
  const auto dir = canonical_current_dir();
  ASSERT_FALSE(dir.has_value());
  EXPECT_EQ(dir.error().message(), expected);
  // A bare name needs the current directory, and reports its failure.
  const auto name = canonicalize_keep_last("x");
  ASSERT_FALSE(name.has_value());
  EXPECT_EQ(name.error().message(), expected);
  // An absolute path does not.
  EXPECT_TRUE(canonicalize_keep_last(tmp.path() / "x").has_value());
}

}  // namespace
}  // namespace kestro::modeler
