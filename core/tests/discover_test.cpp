#include "kestro/env/discover.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/log_capture.hpp"
#include "test_support.hpp"

namespace kestro::env {
namespace {

namespace fs = std::filesystem;
using testing::messages_of;

// Runs in another current directory for one scope.
class ScopedCwd {
 public:
  explicit ScopedCwd(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~ScopedCwd() { fs::current_path(old_); }
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  fs::path old_;
};

std::vector<std::string> discover_lines(const log::ScopedCapture& capture) {
  return messages_of(capture, {kDiscoverLogTarget});
}

TEST(HasProjectFiles, WhatMarksAProject) {
  TempDir tmp;
  const fs::path& t = tmp.path();
  struct Case {
    std::string what;
    std::function<void(const fs::path&)> make;
    bool expected;
  } cases[] = {
      {"empty directory", [](const fs::path&) {}, false},
      {"information record", [](const fs::path& d) { write_text(d / ".project.json", ""); }, true},
      {"only the metadata record", [](const fs::path& d) { write_text(d / ".meta.json", "{"); }, true},
      {"information record is a directory", [](const fs::path& d) { fs::create_directory(d / ".project.json"); },
       false},
      {"a directory, then the metadata record",
       [](const fs::path& d) {
         fs::create_directory(d / ".project.json");
         write_text(d / ".meta.json", "");
       },
       true},
      {"both directories",
       [](const fs::path& d) {
         fs::create_directory(d / ".project.json");
         fs::create_directory(d / ".meta.json");
       },
       false},
      {"link to a regular file",
       [](const fs::path& d) {
         write_text(d / "real.json", "");
         fs::create_symlink("real.json", d / ".project.json");
       },
       true},
      {"dangling link", [](const fs::path& d) { fs::create_symlink("gone.json", d / ".project.json"); }, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path dir = t / std::to_string(n++);
    fs::create_directory(dir);
    c.make(dir);
    auto r = has_project_files(dir);
    ASSERT_TRUE(r) << c.what << ": " << r.error().message();
    EXPECT_EQ(*r, c.expected) << c.what;
  }
  auto missing = has_project_files(t / "missing");
  ASSERT_TRUE(missing);
  EXPECT_FALSE(*missing);
}

// A file where a directory is expected, or a directory that may not be
// searched, is a failure, not an absent project; `.meta.json` is then not
// looked at.
TEST(HasProjectFiles, LookupFailuresAreErrors) {
  TempDir tmp;
  write_text(tmp.path() / "file.txt", "x");
  auto on_file = has_project_files(tmp.path() / "file.txt");
  ASSERT_FALSE(on_file);
  EXPECT_EQ(on_file.error().message(),
            fmt::format("failed to get metadata to determine if\n  `{}/file.txt/.project.json` is a regular file:\n  "
                        "Not a directory (os error 20)",
                        tmp.path().string()));

  const fs::path locked = tmp.path() / "locked";
  write_text(locked / ".meta.json", "");
  fs::permissions(tmp.path(), fs::perms::all, fs::perm_options::add);
  ::chmod(locked.c_str(), 0600);
  const std::string expected =
      fmt::format("failed to get metadata to determine if\n  `{}/.project.json` is a regular file:\n  "
                  "Permission denied (os error 13)",
                  locked.string());
  EXPECT_EQ(run_unprivileged([&] {
              auto r = has_project_files(locked);
              if (r) return 1;
              return r.error().message() == expected && r.error().holds<FsIoError::IsFile>() ? 0 : 2;
            }),
            0);
}

TEST(DiscoverProjectRoot, RelativeStartClimbsLexically) {
  TempDir tmp;
  write_text(tmp.path() / "proj/.project.json", "{}");
  fs::create_directories(tmp.path() / "proj/a/b");
  ScopedCwd cwd(tmp.path());
  log::ScopedCapture capture;
  auto found = discover_project_root("proj/a/b");
  ASSERT_TRUE(found) << found.error().message();
  ASSERT_TRUE(*found);
  EXPECT_EQ((*found)->project_path, fs::path("proj"));
  EXPECT_EQ((*found)->nominal_path, ".");
  EXPECT_EQ(discover_lines(capture), (std::vector<std::string>{
                                         "trying to discover project in `proj/a/b`",
                                         "discover: checking in `proj/a`",
                                         "discover: checking in `proj`",
                                         "discover: found in `proj`",
                                     }));
}

// Trailing separators and inner `.` parts are no components; `..` is
// dropped like a name, without looking at the disk.
TEST(DiscoverProjectRoot, LexicalParentsOfSpellings) {
  TempDir tmp;
  write_text(tmp.path() / "proj/.project.json", "{}");
  fs::create_directories(tmp.path() / "proj/a/b");
  ScopedCwd cwd(tmp.path());
  struct Case {
    std::string start;
    std::vector<std::string> checked;
    std::string root = "proj";
  } cases[] = {
      {"proj/a/b/", {"proj/a", "proj"}},
      {"proj/a/./b/.", {"proj/a", "proj"}},
      {"proj//a//b", {"proj//a", "proj"}},
      // `proj/a/..` is tested as written, and names the project.
      {"proj/a/../a/b", {"proj/a/../a", "proj/a/.."}, "proj/a/.."},
  };
  for (const Case& c : cases) {
    log::ScopedCapture capture;
    auto found = discover_project_root(c.start);
    ASSERT_TRUE(found && *found) << c.start;
    EXPECT_EQ((*found)->project_path, fs::path(c.root)) << c.start;
    std::vector<std::string> expected = {fmt::format("trying to discover project in `{}`", c.start)};
    for (const std::string& dir : c.checked) expected.push_back(fmt::format("discover: checking in `{}`", dir));
    expected.push_back(fmt::format("discover: found in `{}`", c.root));
    EXPECT_EQ(discover_lines(capture), expected) << c.start;
  }
}

TEST(DiscoverProjectRoot, StartItselfQualifies) {
  TempDir tmp;
  write_text(tmp.path() / ".meta.json", "{}");
  log::ScopedCapture capture;
  auto found = discover_project_root(tmp.path());
  ASSERT_TRUE(found && *found);
  EXPECT_EQ((*found)->project_path, tmp.path());
  EXPECT_EQ(discover_lines(capture),
            (std::vector<std::string>{fmt::format("trying to discover project in `{}`", tmp.path().string()),
                                      fmt::format("discover: found in `{}`", tmp.path().string())}));
}

// A used-up relative path is canonicalised and the walk goes on above the
// directory just tested, without a "checking in" line for that step.
TEST(DiscoverProjectRoot, CanonicalisesAUsedUpRelativePath) {
  TempDir tmp;
  const fs::path root = fs::canonical(tmp.path());
  write_text(root / ".project.json", "{}");
  fs::create_directories(root / "x");
  ScopedCwd cwd(root / "x");
  log::ScopedCapture capture;
  auto found = discover_project_root(".");
  ASSERT_TRUE(found && *found);
  EXPECT_EQ((*found)->project_path, root);
  EXPECT_EQ(discover_lines(capture), (std::vector<std::string>{
                                         "trying to discover project in `.`",
                                         "discover: hit empty relative path, trying to canonicalize",
                                         fmt::format("discover: found in `{}`", root.string()),
                                     }));
}

TEST(DiscoverProjectRoot, EndsWithoutAProject) {
  TempDir tmp;
  fs::create_directories(tmp.path() / "x");
  ScopedCwd cwd(tmp.path() / "x");
  {
    // The empty path tests the current directory and has no parent.
    log::ScopedCapture capture;
    auto found = discover_project_root("");
    ASSERT_TRUE(found);
    EXPECT_FALSE(*found);
    EXPECT_EQ(discover_lines(capture),
              (std::vector<std::string>{"trying to discover project in ``", "discover: not found"}));
  }
  {
    // A relative path whose first component does not exist.
    log::ScopedCapture capture;
    auto found = discover_project_root("missing/dir");
    ASSERT_TRUE(found);
    EXPECT_FALSE(*found);
    EXPECT_EQ(discover_lines(capture), (std::vector<std::string>{
                                           "trying to discover project in `missing/dir`",
                                           "discover: checking in `missing`",
                                           "discover: hit empty relative path, trying to canonicalize",
                                           "discover: unable to canonicalize path `missing`: No such file or "
                                           "directory (os error 2)",
                                       }));
  }
  {
    // An absolute path ends after the root.
    log::ScopedCapture capture;
    auto found = discover_project_root(tmp.path() / "x");
    ASSERT_TRUE(found);
    EXPECT_FALSE(*found);
    const auto lines = discover_lines(capture);
    ASSERT_GE(lines.size(), 3U);
    EXPECT_EQ(lines[lines.size() - 2], "discover: checking in `/`");
    EXPECT_EQ(lines.back(), "discover: not found");
  }
}

TEST(DiscoverProjectRoot, RegularFileAsStartFails) {
  TempDir tmp;
  write_text(tmp.path() / "proj/.project.json", "{}");
  write_text(tmp.path() / "proj/model.sysml", "package P;");
  auto found = discover_project_root(tmp.path() / "proj/model.sysml");
  ASSERT_FALSE(found);
  ASSERT_TRUE(found.error().holds<FsIoError::IsFile>());
  EXPECT_EQ(found.error().path(), tmp.path() / "proj/model.sysml/.project.json");
}

// The walk climbs the path as written: through a link it finds the project
// the link names, and never the one above the link's target.
TEST(DiscoverProjectRoot, SymlinkedDirectories) {
  TempDir tmp;
  const fs::path& t = tmp.path();
  write_text(t / "real/proj/.project.json", "{}");
  fs::create_directories(t / "real/proj/src");
  fs::create_directory_symlink(t / "real/proj", t / "alias");
  auto via_link = discover_project_root(t / "alias/src");
  ASSERT_TRUE(via_link && *via_link);
  EXPECT_EQ((*via_link)->project_path, t / "alias");

  fs::create_directories(t / "outside");
  fs::create_directory_symlink(t / "real/proj/src", t / "outside/src");
  auto above_target = discover_project_root(t / "outside/src");
  ASSERT_TRUE(above_target);
  EXPECT_FALSE(*above_target);
}

TEST(DiscoverWorkspaceRoot, FindsAndReadsTheInnermost) {
  TempDir tmp;
  const fs::path& t = tmp.path();
  write_text(t / "ws/.workspace.json", R"({"projects": [{"path": "a", "iris": ["urn:kestro:a"]}]})");
  fs::create_directories(t / "ws/a/.workspace.json");  // a directory: passed over
  fs::create_directories(t / "ws/a/src");
  log::ScopedCapture capture;
  auto found = discover_workspace_root(t / "ws/a/src");
  ASSERT_TRUE(found) << found.error().message();
  ASSERT_TRUE(*found);
  EXPECT_EQ((*found)->root, t / "ws");
  ASSERT_EQ((*found)->info.projects.size(), 1U);
  EXPECT_EQ((*found)->info.projects[0].iris[0].as_str(), "urn:kestro:a");
  EXPECT_EQ(discover_lines(capture).front(), fmt::format("trying to discover workspace in `{}`", (t / "ws/a/src").string()));
  EXPECT_EQ(discover_lines(capture).back(), fmt::format("discover: found in `{}`", (t / "ws").string()));
}

TEST(DiscoverWorkspaceRoot, MalformedInnerFileFailsDespiteAValidOuterOne) {
  TempDir tmp;
  const fs::path& t = tmp.path();
  write_text(t / "ws/.workspace.json", R"({"projects": []})");
  write_text(t / "ws/inner/.workspace.json", R"({"projects": [)");
  auto found = discover_workspace_root(t / "ws/inner");
  ASSERT_FALSE(found);
  ASSERT_TRUE(found.error().holds<WorkspaceError::Deserialize>());
  EXPECT_TRUE(found.error().message().starts_with(
      "failed to deserialize `.workspace.json`: workspace deserialization error: failed to deserialize "
      "`.workspace.json`: "))
      << found.error().message();

  write_text(t / "file", "");
  auto on_file = discover_workspace_root(t / "file");
  ASSERT_FALSE(on_file);
  EXPECT_TRUE(on_file.error().holds<WorkspaceError::Io>());
}

}  // namespace
}  // namespace kestro::env
