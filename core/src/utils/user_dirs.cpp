#include "kestro/utils/user_dirs.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kestro {

std::optional<std::filesystem::path> home_dir() {
  if (const char* h = std::getenv("HOME"); h && h[0] != '\0') return std::filesystem::path(h);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir ||
      found->pw_dir[0] == '\0')
    return std::nullopt;
  return std::filesystem::path(found->pw_dir);
}

std::optional<std::filesystem::path> absolute_env_dir(const char* name) {
  const char* v = std::getenv(name);
  if (v && v[0] == '/') return std::filesystem::path(v);
  return std::nullopt;
}

}  // namespace kestro
