// Test helpers for code that reads the current directory.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <exception>
#include <stdexcept>
#include <string>

namespace kestro::modeler {

// Makes `dir` the process's current directory for one scope and returns to
// the previous one after (by path: the previous directory must still exist).
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& dir) : saved_(std::filesystem::current_path()) {
    if (::chdir(dir.c_str()) != 0) throw std::runtime_error("cannot enter `" + dir.string() + "`");
  }
  ~ScopedCwd() {
    if (::chdir(saved_.c_str()) != 0) std::terminate();
  }
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::filesystem::path saved_;
};

}  // namespace kestro::modeler
