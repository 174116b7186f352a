#include "kestro/model/relative_path.hpp"

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::model {

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Whether the path, read as a Windows path (both `/` and `\` separate),
// starts with a prefix that makes it absolute, followed by a separator:
// - a drive, `C:` (one ASCII letter);
// - a share, two separators, a server, a separator and a share name. Device
//   prefixes (`\\.\name`) and verbatim prefixes (`\\?\C:`, `\\?\name`,
//   `\\?\UNC\server\share`) have this shape too, with `.` or `?` in place of
//   the server, so this rule covers them.
bool has_absolute_windows_prefix(std::string_view p) {
  if (p.size() >= 3 && is_ascii_alpha(p[0]) && p[1] == ':' && is_separator(p[2])) return true;
  if (p.size() < 2 || !is_separator(p[0]) || !is_separator(p[1])) return false;
  std::size_t server_end = 2;
  while (server_end < p.size() && !is_separator(p[server_end])) ++server_end;
  if (server_end == 2 || server_end == p.size()) return false;
  std::size_t share_end = server_end + 1;
  while (share_end < p.size() && !is_separator(p[share_end])) ++share_end;
  return share_end > server_end + 1 && share_end < p.size();
}

}  // namespace

std::string RelativePathError::text_of(const Absolute& v) { return fmt::format("path `{}` is absolute", v.path); }
std::string RelativePathError::text_of(const ContainsBackslash& v) {
  return fmt::format(
      "path `{}` contains a backslash `\\`;\nbackslash is not allowed in paths to preserve "
      "consistent\ninterpretation across different operating systems;\nbackslash could be "
      "present because the path is Windows path",
      v.path);
}
std::string RelativePathError::text_of(const ContainsDoubleSlash& v) {
  return fmt::format("path `{}` contains two consecutive\ndirectory separators `/`, which is forbidden", v.path);
}
std::string RelativePathError::text_of(const ContainsCurrent& v) {
  return fmt::format("path `{}` contains a forbidden relative component `.`", v.path);
}
std::string RelativePathError::text_of(const ContainsParent& v) {
  return fmt::format("path `{}` contains a forbidden relative component `..`", v.path);
}
// The only text that quotes its path: a NUL would otherwise end up in it.
std::string RelativePathError::text_of(const ContainsNull& v) {
  return fmt::format("path `{}` contains a NULL character", debug_quote(v.path));
}
std::string RelativePathError::text_of(const DirectoryPath& v) {
  return fmt::format("path `{}` is a directory path\n(ends with a separator `/`), but a file path was expected",
                     v.path);
}

std::string RelativePathError::debug_path(const char* name, const std::string& path) {
  return fmt::format("{} {{ path: {} }}", name, debug_quote(path));
}

std::expected<std::string_view, RelativePathError> validate_relative_path(std::string_view path,
                                                                          RelativePathKind kind) {
  using E = RelativePathError;
  auto fail = [&]<typename V>(V) { return std::unexpected(E(V{std::string(path)})); };
  const bool directory = kind == RelativePathKind::ProjectDirectory || kind == RelativePathKind::RelativeDirectory;
  const bool in_project = kind == RelativePathKind::ProjectFile || kind == RelativePathKind::ProjectDirectory;

  if (directory && path == ".") return path;
  if (has_absolute_windows_prefix(path)) return fail(E::Absolute{});
  if (path.empty()) return fail(E::ContainsDoubleSlash{});
  if (path.front() == '/') return fail(E::Absolute{});
  for (char c : path) {
    if (c == '\0') return fail(E::ContainsNull{});
    if (c == '\\') return fail(E::ContainsBackslash{});
  }
  std::string_view body = path;
  if (body.back() == '/') {
    if (!directory) return fail(E::DirectoryPath{});
    body.remove_suffix(1);
  }
  const auto fault = path_fault(body, in_project ? PathPolicy::ProjectRelative : PathPolicy::Relative);
  if (fault == PathFault::EmptyPart) return fail(E::ContainsDoubleSlash{});
  if (fault == PathFault::Parent) return fail(E::ContainsParent{});
  if (fault == PathFault::Current) return fail(E::ContainsCurrent{});
  return path;  // a root was refused above, and these policies find nothing else
}

}  // namespace kestro::model
