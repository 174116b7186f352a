// Helpers shared by the C++ tests.
#pragma once

#include <grp.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <string_view>

namespace kestro {

// Whether an error sum holds the variant V: a column of expected variants in
// a table of cases, as `HoldsCheck<E> expected = holds<E::Name>`.
template <typename E>
using HoldsCheck = bool (*)(const E&);
template <typename V, typename E>
bool holds(const E& error) {
  return error.template holds<V>();
}

// A fresh directory under the system's temporary area, removed on scope exit.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestro-test-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs `body` in a child process without privileges (as nobody when the
// tests run as root, as the current user otherwise) and returns its result,
// so that permission failures are real even under a root CI.
inline int run_unprivileged(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(125);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 126;
}

inline void write_text(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace kestro
