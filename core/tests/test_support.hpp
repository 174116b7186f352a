// Helpers shared by the C++ tests.
#pragma once

#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
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

// Points the system's temporary area ($TMPDIR) at a fresh directory for its
// lifetime, so that the directories code under test creates can be counted.
class ScopedTmpdir {
 public:
  ScopedTmpdir() {
    if (const char* old = ::getenv("TMPDIR")) old_ = old;
    ::setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~ScopedTmpdir() {
    if (old_)
      ::setenv("TMPDIR", old_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  ScopedTmpdir(const ScopedTmpdir&) = delete;
  ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_.path()), {}));
  }

 private:
  TempDir dir_;
  std::optional<std::string> old_;
};

// Runs `body` in a forked child and returns its exit status; 126 when the
// child was killed, 127 when an exception left `body` (the child never
// returns into the test runner).
inline int run_in_child(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int code = 127;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 126;
}

// Runs `body` with files limited to `bytes` (a write past it fails with
// EFBIG, as on a full disk) and returns its result; the limit is lifted after.
template <typename Body>
auto with_file_size_limit(rlim_t bytes, Body&& body) {
  struct rlimit old;
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = {bytes, old.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &small);
  auto result = body();
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, old_handler);
  return result;
}

// Runs `body` in a child process without privileges (as nobody when the
// tests run as root, as the current user otherwise) and returns its result,
// so that permission failures are real even under a root CI.
inline int run_unprivileged(const std::function<int()>& body) {
  return run_in_child([&] {
    if (::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return 125;
    }
    return body();
  });
}

// Runs `body` in a child process whose address space may grow by at most
// `extra_bytes` beyond what it holds when it starts, so that an oversized
// allocation fails for real; returns the child's result as run_in_child.
inline int run_with_memory_limit(std::uint64_t extra_bytes, const std::function<int()>& body) {
  return run_in_child([&] {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    if (pages <= 0) return 125;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + extra_bytes;
    if (::setrlimit(RLIMIT_AS, &limit) != 0) return 125;
    return body();
  });
}

// Everything a reader (anything with `read(span) -> expected<size_t, ...>`)
// yields, up to its end or first failure.
template <typename Reader>
std::string read_to_end(Reader& reader) {
  std::string out;
  char buffer[4096];
  for (;;) {
    auto n = reader.read(buffer);
    if (!n || *n == 0) return out;
    out.append(buffer, *n);
  }
}

inline void write_text(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace kestro
