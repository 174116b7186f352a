// Git repositories made by the tests with the git command.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kestro {

inline void run_quietly(const std::string& command) {
  ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
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
  std::string git = "git -C " + work.string() + " -c user.name=t -c user.email=t@t -c init.defaultBranch=trunk ";
  run_quietly(git + "init -q");
  run_quietly(git + "add -A");
  run_quietly(git + "commit -q --allow-empty -m init");
  run_quietly("git clone -q --bare " + work.string() + " " + (dir / name).string());
  return "file://" + (dir / name).string();
}

}  // namespace kestro
