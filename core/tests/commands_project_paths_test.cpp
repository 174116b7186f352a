#include "kestro/commands/project_paths.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include "test_support.hpp"

namespace kestro::commands {
namespace {

namespace fs = std::filesystem;

// Moves the process into a directory for one scope.
class ScopedCwd {
 public:
  explicit ScopedCwd(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
  ~ScopedCwd() {
    std::error_code ec;
    fs::current_path(previous_, ec);
  }

 private:
  fs::path previous_;
};

// A project tree: /base/app (the root) with app/sub, a sibling /base/lib, a
// directory outside the base and a link inside the project to it.
struct Tree {
  TempDir temp;
  fs::path base = fs::canonical(temp.path());
  fs::path root = base / "app";
  fs::path outside;
  Tree() {
    fs::create_directories(root / "sub");
    fs::create_directories(base / "lib" / "x");
    fs::create_directories(base / "elsewhere" / "real");
    outside = base / "elsewhere" / "real";
    fs::create_directory_symlink(outside, root / "link");
  }
};

// The path on success, or the error's text.
template <typename E>
void expect_result(const std::expected<std::string, E>& got, bool ok, const std::string& expected,
                   const std::string& typed) {
  if (ok) {
    ASSERT_TRUE(got) << typed << ": " << got.error().message();
    EXPECT_EQ(*got, expected) << typed;
  } else {
    ASSERT_FALSE(got) << typed << " gave " << *got;
    EXPECT_EQ(got.error().message(), expected) << typed;
  }
}

TEST(ProjectPaths, MakePathUsageRelative) {
  Tree t;
  struct Case {
    fs::path cwd;
    std::string typed;
    std::string result;  // or the error text
    bool ok;
  } cases[] = {
      // At the root, relative paths stay exactly as typed, existing or not.
      {t.root, "../lib", "../lib", true},
      {t.root, "./x/../y", "./x/../y", true},
      {t.root, "missing/dir", "missing/dir", true},
      // ... except one that names the project itself.
      {t.root, ".", "cannot add current project as usage of itself", false},
      {t.root, "./", "cannot add current project as usage of itself", false},
      {t.root, "././.", "cannot add current project as usage of itself", false},
      // Elsewhere the path is resolved and made relative to the root.
      {t.root / "sub", "..", "cannot add current project as usage of itself", false},
      {t.root / "sub", "../../lib", "../lib", true},
      {t.root / "sub", "../../lib/x/", "../lib/x", true},
      {t.base, "lib", "../lib", true},
      // A link to a directory outside the project is recorded by its target.
      {t.root / "sub", "../link", "../elsewhere/real", true},
      {t.root, (t.root / "link").string(), "../elsewhere/real", true},
      {t.root / "sub", "nowhere", "No such file or directory (os error 2)", false},
  };
  for (const auto& c : cases) {
    ScopedCwd cwd(c.cwd);
    expect_result(make_path_usage_relative(c.typed, t.root, c.cwd), c.ok, c.result, c.typed);
  }
}

TEST(ProjectPaths, WeaklyCanonicalize) {
  Tree t;
  struct Case {
    fs::path path;
    fs::path expected;
  } cases[] = {
      {t.root / "new" / "a.sysml", t.root / "new" / "a.sysml"},
      {t.root / "sub" / ".." / "new" / "a.sysml", t.root / "new" / "a.sysml"},
      {t.root / "link" / "new" / "b.kerml", t.outside / "new" / "b.kerml"},
      {t.root / "link", t.outside},
      // A `..` after a missing name cannot be taken off: the rest stays.
      {t.root / "new" / ".." / "a", t.root / "new" / ".." / "a"},
      {"nothing/here", "nothing/here"},
  };
  for (const auto& c : cases) EXPECT_EQ(weakly_canonicalize(c.path), c.expected) << c.path;
}

TEST(ProjectPaths, RelativizeSourcePath) {
  Tree t;
  ScopedCwd cwd(t.root / "sub");
  struct Case {
    std::string typed;
    std::string result;  // or the error text
    bool ok;
  } cases[] = {
      {(t.root / "new" / "a.sysml").string(), "new/a.sysml", true},
      {"b.sysml", "sub/b.sysml", true},
      {"./c/../d.sysml", "sub/c/../d.sysml", true},
      {"../e.sysml", "e.sysml", true},
      {t.root.string(), "", true},
      {(t.base / "lib" / "x" / "f.sysml").string(),
       "path `" + (t.base / "lib" / "x" / "f.sysml").string() + "`\n  is outside the project directory", false},
      {"../../lib/g.sysml", "path `../../lib/g.sysml`\n  is outside the project directory", false},
      {"../link/h.sysml", "path `../link/h.sysml`\n  is outside the project directory", false},
      {"", "path ``\n  is outside the project directory", false},
  };
  for (const auto& c : cases) {
    expect_result(relativize_source_path(t.root, c.typed), c.ok, c.result, c.typed);
  }
  auto missing_root = relativize_source_path(t.base / "gone", "a.sysml");
  ASSERT_FALSE(missing_root);
  EXPECT_EQ(missing_root.error().message(), "failed to canonicalize\n  `" + (t.base / "gone").string() +
                                                "`:\n  No such file or directory (os error 2)");
}

}  // namespace
}  // namespace kestro::commands
