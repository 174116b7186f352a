#include "kestro/project/paths.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::project {

// The unsafe path is a file-system path: invalid UTF-8 is shown as U+FFFD.
std::string PathCheckError::text_of(const UnsafePath& v) {
  return fmt::format("path `{}` is unsafe: {}", utf8_lossy(v.path), v.reason);
}
std::string PathCheckError::text_of(const AbsolutePath& v) { return fmt::format("path `{}` is absolute", v.path); }
std::string PathCheckError::debug_of(const UnsafePath& v) {
  return fmt::format("UnsafePath({}, {})", debug_quote(v.path), debug_quote(v.reason));
}
std::string PathCheckError::debug_of(const AbsolutePath& v) {
  return fmt::format("AbsolutePath({})", debug_quote(v.path));
}

std::string RelativizeError::text_of(const NoCommonPrefix& v) {
  return fmt::format("unable to relativize path `{}` with respect to `{}`", v.path, v.root);
}
std::string RelativizeError::debug_of(const NoCommonPrefix& v) {
  return fmt::format("NoCommonPrefix {{ path: {}, root: {} }}", debug_quote(v.path), debug_quote(v.root));
}

std::vector<std::string_view> path_components(std::string_view path) {
  std::vector<std::string_view> out;
  for_each_significant_part(path, [&](const PathPart& p) { out.push_back(p.text); });
  return out;
}

bool PathComponentLess::operator()(std::string_view a, std::string_view b) const { return compare_paths(a, b) < 0; }

std::expected<std::filesystem::path, PathCheckError> get_source_path(const std::filesystem::path& root,
                                                                    std::string_view path) {
  if (!path.empty() && path[0] == '/') return std::unexpected(PathCheckError::AbsolutePath{std::string(path)});
  auto names = names_below_root(path);
  if (!names) return std::unexpected(PathCheckError::UnsafePath{std::string(path), PathCheckError::kEscapesRoot});
  std::filesystem::path result = root;
  for (auto name : *names) result /= std::filesystem::path(std::string(name));
  return result;
}

std::expected<std::string, RelativizeError> relativize_path(const std::filesystem::path& path,
                                                            const std::filesystem::path& root) {
  auto cp = path_components(path.native());
  auto cr = path_components(root.native());
  // A `..` makes the lexical comparison meaningless (the names before it may
  // be links): such a pair has no relative path here.
  auto has_parent = [](const auto& list) { return std::find(list.begin(), list.end(), "..") != list.end(); };
  if (cp.empty() || cr.empty() || cp[0] != cr[0] || has_parent(cp) || has_parent(cr))
    return std::unexpected(RelativizeError::NoCommonPrefix{display_path(path), display_path(root)});
  auto [ip, ir] = std::mismatch(cp.begin(), cp.end(), cr.begin(), cr.end());
  std::string out;
  auto add = [&](std::string_view c) {
    if (!out.empty()) out += '/';
    out += c;
  };
  for (; ir != cr.end(); ++ir) add("..");
  for (; ip != cp.end(); ++ip) add(*ip);
  return out.empty() ? std::string(".") : out;
}

}  // namespace kestro::project
