// Helpers shared by the C++ tests.
#pragma once

#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
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

// A fresh directory under the system's temporary area, removed with all it
// holds on scope exit. When it cannot be made the constructor throws with the
// reason (a test fails with that text, never runs on a bad path); when it
// cannot be removed, directories the test locked are opened and removal is
// tried again, and what still stays is reported on standard error.
class TempDir {
 public:
  TempDir() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
      // The variable the standard library took the directory from, in its order.
      std::string where = "`/tmp`";
      for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"})
        if (const char* value = ::getenv(name)) {
          where = "`" + std::string(value) + "` ($" + name + ")";
          break;
        }
      throw std::runtime_error("cannot make a temporary directory under " + where + ": " + ec.message());
    }
    std::string tmpl = (base / "kestro-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr)
      throw std::runtime_error("cannot make a temporary directory `" + tmpl + "`: " + std::strerror(errno));
    path_ = tmpl;
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::remove_all(path_, ec);
    if (!ec) return;
    // Directories a test left without write or search rights.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    ec.clear();
    fs::remove_all(path_, ec);
    if (ec) std::fprintf(stderr, "warning: temporary directory `%s` left behind: %s\n", path_.c_str(), ec.message().c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets environment variables for one scope (nullopt unsets) and restores
// them after.
class ScopedEnv {
 public:
  explicit ScopedEnv(const std::map<std::string, std::optional<std::string>>& vars) {
    for (const auto& [k, v] : vars) {
      const char* old = std::getenv(k.c_str());
      saved_[k] = old ? std::optional<std::string>(old) : std::nullopt;
      set(k, v);
    }
  }
  ~ScopedEnv() {
    for (const auto& [k, v] : saved_) set(k, v);
  }

 private:
  static void set(const std::string& k, const std::optional<std::string>& v) {
    if (v)
      ::setenv(k.c_str(), v->c_str(), 1);
    else
      ::unsetenv(k.c_str());
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

// Points the system's temporary area ($TMPDIR) at a fresh directory for its
// lifetime, so that the directories code under test creates can be counted.
class ScopedTmpdir {
 public:
  ScopedTmpdir() = default;
  ScopedTmpdir(const ScopedTmpdir&) = delete;
  ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_.path()), {}));
  }

 private:
  TempDir dir_;
  ScopedEnv env_{{{"TMPDIR", dir_.path().string()}}};
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

// Writes `text` to `path`, making its parent directories.
inline void write_text(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The bytes of the file at `path` (empty when it cannot be read).
inline std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

}  // namespace kestro
