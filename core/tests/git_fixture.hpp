// Git repositories made by the tests with the git command.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.hpp"
#include "test_support.hpp"

namespace kestro {

// Runs `argv`; a failure fails the test with the command and its output.
inline void run_quietly(const std::vector<std::string>& argv) {
  const auto result = testing::run_command(argv);
  ASSERT_EQ(result.status, 0) << testing::command_line(argv) << "\n" << result.out;
}

// Commits `files` (and symbolic links: path to target) in a work tree under
// `dir` and clones it bare to `dir`/`name`; returns the file URL of the bare
// repository and leaves the work tree at `dir`/work.
inline std::string make_repo(const std::filesystem::path& dir, const std::map<std::string, std::string>& files,
                             const std::map<std::string, std::string>& links = {},
                             const std::string& name = "repo.git") {
  auto work = dir / "work";
  std::filesystem::create_directories(work);
  for (const auto& [path, text] : files) write_text(work / path, text);
  for (const auto& [path, target] : links) {
    std::filesystem::create_directories((work / path).parent_path());
    std::filesystem::create_symlink(target, work / path);
  }
  const auto git = [&](std::vector<std::string> args) {
    std::vector<std::string> argv{"git", "-C", work.string(), "-c", "user.name=t", "-c", "user.email=t@t",
                                  "-c", "init.defaultBranch=trunk"};
    argv.insert(argv.end(), args.begin(), args.end());
    run_quietly(argv);
  };
  git({"init", "-q"});
  git({"add", "-A"});
  git({"commit", "-q", "--allow-empty", "-m", "init"});
  run_quietly({"git", "clone", "-q", "--bare", work.string(), (dir / name).string()});
  return "file://" + (dir / name).string();
}

}  // namespace kestro
