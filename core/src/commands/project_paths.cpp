#include "kestro/commands/project_paths.hpp"

#include <algorithm>
#include <system_error>
#include <vector>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::commands {

namespace {

// A path rebuilt from the components `path_components` gives.
std::filesystem::path join_components(const std::vector<std::string_view>& parts, std::size_t count) {
  std::filesystem::path out;
  for (std::size_t i = 0; i < count; ++i) out /= std::string(parts[i]);
  return out;
}

bool same_components(const std::filesystem::path& a, const std::filesystem::path& b) {
  return path_components(a.native()) == path_components(b.native());
}

// Joined to the current directory without looking at the file system: `.`
// components dropped, `..` kept. None when there is no current directory.
std::optional<std::filesystem::path> lexically_absolute(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return std::nullopt;
  std::filesystem::path out;
  for (const auto& part : cwd / path) {
    if (part == "." || part.empty()) continue;
    out /= part;
  }
  return out;
}

// The operating system's error inside a failed canonicalization.
IoError canonical_io_error(const FsIoError& err) {
  if (const auto* c = err.get_if<FsIoError::Canonicalize>()) return c->io;
  return IoError::custom(err.message());
}

}  // namespace

std::expected<std::string, PathUsageError> make_path_usage_relative(std::string path, const std::filesystem::path& root,
                                                                    const std::filesystem::path& current_dir) {
  std::filesystem::path typed(path);
  if (typed.is_relative() && same_components(current_dir, root)) {
    auto parts = path_components(path);
    bool only_current = !parts.empty() && std::all_of(parts.begin(), parts.end(), [](auto p) { return p == "."; });
    if (only_current) return std::unexpected(PathUsageError::CurrentProject{});
    return path;
  }
  auto canonical = canonicalize_utf8_path(typed);
  if (!canonical) {
    return std::unexpected(PathUsageError::Io{canonical_io_error(canonical.error())});
  }
  auto relative = relativize_path(*canonical, root);
  if (!relative) return std::unexpected(PathUsageError::Relativize{std::move(relative.error())});
  if (path_components(*relative) == path_components(".")) return std::unexpected(PathUsageError::CurrentProject{});
  return std::move(*relative);
}

std::filesystem::path weakly_canonicalize(const std::filesystem::path& path) {
  auto parts = path_components(path.native());
  std::size_t kept = parts.size();
  while (true) {
    if (kept > 0) {
      if (auto canonical = canonicalize_utf8_path(join_components(parts, kept))) {
        std::filesystem::path out = std::move(*canonical);
        for (std::size_t i = kept; i < parts.size(); ++i) out /= std::string(parts[i]);
        return out;
      }
    }
    // Only a normal name with a parent is taken off.
    if (kept <= 1) break;
    std::string_view last = parts[kept - 1];
    if (last == "." || last == ".." || last == "/") break;
    --kept;
  }
  return kept == 0 ? path : join_components(parts, parts.size());
}

std::expected<std::string, IncludePathError> relativize_source_path(const std::filesystem::path& root,
                                                                    const std::string& path) {
  auto canonical_root = canonicalize_utf8_path(root);
  if (!canonical_root) {
    return std::unexpected(
        IncludePathError::Canonicalize{display_path(root), canonical_io_error(canonical_root.error())});
  }
  auto outside = [&] { return std::unexpected(IncludePathError::PathOutsideProject{path}); };
  if (path.empty()) return outside();
  std::filesystem::path absolute(path);
  if (absolute.is_relative()) {
    auto joined = lexically_absolute(absolute);
    if (!joined || !is_valid_utf8(joined->native())) return outside();
    absolute = std::move(*joined);
  }
  auto file_parts_owner = weakly_canonicalize(absolute).native();
  auto root_parts_owner = weakly_canonicalize(*canonical_root).native();
  auto file_parts = path_components(file_parts_owner);
  auto root_parts = path_components(root_parts_owner);
  if (root_parts.size() > file_parts.size() || !std::equal(root_parts.begin(), root_parts.end(), file_parts.begin()))
    return outside();
  std::string out;
  for (std::size_t i = root_parts.size(); i < file_parts.size(); ++i) {
    if (!out.empty()) out += '/';
    out += file_parts[i];
  }
  return out;
}

}  // namespace kestro::commands
