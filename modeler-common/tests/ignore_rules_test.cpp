#include "kestro/modeler/ignore_rules.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kestro/modeler/ignore_walk.hpp"
#include "support/process.hpp"
#include "test_support.hpp"

namespace kestro::modeler {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

// A path of the table: a trailing `/` makes it a directory.
void create(const fs::path& root, const std::string& entry) {
  if (entry.ends_with('/'))
    fs::create_directories(root / entry);
  else
    write(root / entry, "x");
}

// Git run in `repo` with a home of the test's own and no system
// configuration, so that only the files the test writes count.
testing::CommandResult git(const fs::path& repo, const fs::path& home, std::vector<std::string> args,
                           const std::string& input = "") {
  std::vector<std::string> argv = {"git", "-C", repo.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  const auto env = testing::environment_with(
      {{"HOME", home.string()}, {"XDG_CONFIG_HOME", ""}, {"GIT_CONFIG_NOSYSTEM", "1"}, {"GIT_CONFIG_GLOBAL", ""}});
  return testing::run_command(argv, env, input);
}

std::set<std::string> lines_of(const std::string& text) {
  std::set<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.insert(line);
  return out;
}

// Our answer for a path below the file's directory: ignored when a leading
// directory is, as nothing below an ignored directory is ever looked at.
bool ignored(const IgnoreFile& file, const std::string& entry) {
  const bool is_dir = entry.ends_with('/');
  const std::string path = is_dir ? entry.substr(0, entry.size() - 1) : entry;
  for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
    if (file.match(path.substr(0, slash), true) == IgnoreVerdict::Ignore) return true;
  return file.match(path, is_dir) == IgnoreVerdict::Ignore;
}

// The walk from `start` with git's configuration taken from `home` alone,
// as paths relative to `root`.
std::set<std::string> walked_names(const fs::path& home, const fs::path& root, const fs::path& start) {
  ScopedEnv env({{"HOME", home.string()}, {"XDG_CONFIG_HOME", std::nullopt}, {"GIT_CONFIG_NOSYSTEM", "1"},
                 {"GIT_CONFIG_GLOBAL", std::nullopt}});
  const auto walked = walk_unignored(start);
  EXPECT_TRUE(walked.has_value()) << walked.error();
  std::set<std::string> out;
  if (walked)
    for (const auto& entry : *walked) out.insert(entry.path.lexically_relative(root).string());
  return out;
}

TEST(IgnoreRules, AgreesWithGitCheckIgnore) {
  struct Case {
    std::string patterns;
    std::vector<std::string> entries;
  };
  const std::vector<Case> cases = {
      {"*.log", {"a.log", "d/b.log", "d/b.logx", "c.log/"}},
      {"/build", {"build/", "d/build/", "buildx"}},
      {"doc/*.txt", {"doc/a.txt", "doc/x/a.txt", "x/doc/a.txt"}},
      {"**/foo", {"foo", "a/foo", "a/b/foo", "a/foox"}},
      {"a/**/b", {"a/b", "a/x/b", "a/x/y/b", "ab", "x/a/b"}},
      {"abc/**", {"abc/x", "abc/y/z", "abc/", "abcd/x"}},
      {"*.sysml\n!keep.sysml", {"a.sysml", "keep.sysml", "d/keep.sysml", "d/a.sysml"}},
      {"out/\n!out/x", {"out/x", "out/y"}},
      {"[a-c]?.txt", {"a1.txt", "d1.txt", "c/.txt", "b.txt"}},
      {"[!ab]*\n!*/", {"a", "c", "ab", "x/b", "x/c"}},
      {"[^a]", {"a", "b"}},
      {"\\#hash\n\\!bang\ntrail\\ \nspace   ", {"#hash", "!bang", "trail ", "space", "trail"}},
      {"dir/", {"x/dir/", "y/dir"}},
      {"a**b", {"axb", "ax/b", "ab"}},
      {"[[:digit:]]x\n[[:upper:]]", {"1x", "ax", "B", "b"}},
      {"*/b", {"a/b", "a/c/b", "b"}},
      {"#comment\n\n  \nx\r\n", {"#comment", "x", "  "}},
      {"foo/*", {"foo/a", "foo/b/c", "foo/"}},
      {"a\\*b\n[]]z\n[x-]y", {"a*b", "axb", "]z", "-y", "xy", "zy"}},
      {"**", {"a", "b/c"}},
      {"/*.c\nsub/**/*.h", {"a.c", "d/a.c", "sub/a.h", "sub/x/y/a.h", "x/sub/a.h"}},
      {"*\n!*.keep\n!*/", {"a", "a.keep", "d/a.keep", "d/a"}},
      {"a?c\n[b-]x", {"abc", "a/c", "bx", "-x", "cx"}},
  };
  for (const auto& c : cases) {
    TempDir repo, home;
    ASSERT_EQ(git(repo.path(), home.path(), {"init", "-q"}).status, 0);
    write(repo.path() / ".gitignore", c.patterns);
    std::string input;
    for (const auto& entry : c.entries) {
      create(repo.path(), entry);
      input += (entry.ends_with('/') ? entry.substr(0, entry.size() - 1) : entry) + "\n";
    }
    const auto answer = git(repo.path(), home.path(), {"check-ignore", "--stdin"}, input);
    ASSERT_TRUE(answer.status == 0 || answer.status == 1) << answer.out;
    const std::set<std::string> git_ignored = lines_of(answer.out);
    const IgnoreFile file = IgnoreFile::parse(c.patterns);
    for (const auto& entry : c.entries) {
      const std::string path = entry.ends_with('/') ? entry.substr(0, entry.size() - 1) : entry;
      EXPECT_EQ(ignored(file, entry), git_ignored.contains(path)) << "patterns:\n" << c.patterns << "\npath: " << entry;
    }
  }
}

TEST(IgnoreRules, WalkListsWhatGitListsAsUntrackedAndNotIgnored) {
  TempDir repo, home;
  ASSERT_EQ(git(repo.path(), home.path(), {"init", "-q"}).status, 0);
  write(home.path() / ".gitconfig", "[core]\n\texcludesFile = ~/global-ignore\n");
  write(home.path() / "global-ignore", "*.bak\n");
  write(repo.path() / ".git/info/exclude", "secret*\n");
  write(repo.path() / ".gitignore", "*.tmp\nbuild/\n!keep.tmp\n");
  write(repo.path() / "sub/.gitignore", "local.sysml\n!important.tmp\n/deep/skip/\n");
  for (const std::string entry : {"a.sysml", "x.tmp", "keep.tmp", "build/b.sysml", "sub/local.sysml",
                                  "sub/important.tmp", "sub/other.sysml", "secret.sysml", "sub/secret2", "z.bak",
                                  "sub/deep/c.sysml", "sub/deep/skip/d.sysml", "sub/deep/local.sysml", "n/build"})
    create(repo.path(), entry);
  const auto listed = git(repo.path(), home.path(), {"ls-files", "--others", "--exclude-standard"});
  ASSERT_EQ(listed.status, 0) << listed.out;
  std::set<std::string> expected;
  for (const auto& line : lines_of(listed.out))
    if (!line.starts_with('.') && line.find("/.") == std::string::npos) expected.insert(line);

  const fs::path root = fs::canonical(repo.path());
  const std::set<std::string> ours = walked_names(home.path(), root, root);
  EXPECT_EQ(ours, expected);
  EXPECT_TRUE(expected.contains("sub/important.tmp"));
  EXPECT_FALSE(expected.contains("z.bak"));
}

TEST(IgnoreRules, DeeperFilesWinThenIgnoreOverGitignoreThenExcludeThenGlobal) {
  TempDir repo, home;
  ASSERT_EQ(git(repo.path(), home.path(), {"init", "-q"}).status, 0);
  write(home.path() / ".config/git/ignore", "!s.sysml\nt.sysml\n");
  write(repo.path() / ".git/info/exclude", "s.sysml\n");
  write(repo.path() / ".gitignore", "p.sysml\nq.sysml\n!t.sysml\nu.sysml\n");
  write(repo.path() / ".ignore", "!p.sysml\nr.sysml\n");
  write(repo.path() / "sub/.gitignore", "!q.sysml\n!r.sysml\n");
  for (const std::string entry : {"p.sysml", "q.sysml", "sub/q.sysml", "r.sysml", "sub/r.sysml", "s.sysml", "t.sysml",
                                  "sub/u.sysml"})
    create(repo.path(), entry);
  const fs::path root = fs::canonical(repo.path());
  auto names = [&](const fs::path& start) { return walked_names(home.path(), root, start); };
  EXPECT_EQ(names(root), (std::set<std::string>{"p.sysml", "sub/q.sysml", "sub/r.sysml", "t.sysml"}));
  // The files of the start directory's parents count too.
  EXPECT_EQ(names(root / "sub"), (std::set<std::string>{"sub/q.sysml", "sub/r.sysml"}));
}

}  // namespace
}  // namespace kestro::modeler
