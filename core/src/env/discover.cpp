#include "kestro/env/discover.hpp"

#include <string>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::env {
namespace {

namespace fs = std::filesystem;

// `path` without trailing separators and trailing `.` parts, which name no
// component of their own (a leading `.` does, and the root stays).
std::string_view without_tail(std::string_view path) {
  for (;;) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    if (path.size() < 2 || !path.ends_with("/.")) return path;
    path.remove_suffix(1);
  }
}

// The path without its last component, taken lexically: none for the root
// and the empty path, the empty path for one relative component (`src`,
// `.` or `..`).
std::optional<fs::path> lexical_parent(const fs::path& path) {
  const std::string_view text = without_tail(path.native());
  if (text.empty() || text == "/") return std::nullopt;
  const std::size_t slash = text.rfind('/');
  if (slash == std::string_view::npos) return fs::path();
  if (slash == 0) return fs::path("/");
  return fs::path(std::string(without_tail(text.substr(0, slash))));
}

// The upward walk shared by both discoveries: the first candidate for which
// `test` gives true, none, or the test's failure.
template <typename Test>
std::expected<std::optional<fs::path>, FsIoError> walk_up(const fs::path& start, Test&& test) {
  fs::path candidate = start;
  for (;;) {
    auto hit = test(candidate);
    if (!hit) return std::unexpected(std::move(hit.error()));
    if (*hit) {
      log::debug(kDiscoverLogTarget, "discover: found in `{}`", display_path(candidate));
      return candidate;
    }
    std::optional<fs::path> parent = lexical_parent(candidate);
    if (!parent) {
      log::debug(kDiscoverLogTarget, "discover: not found");
      return std::nullopt;
    }
    if (!parent->empty()) {
      log::debug(kDiscoverLogTarget, "discover: checking in `{}`", display_path(*parent));
      candidate = std::move(*parent);
      continue;
    }
    log::debug(kDiscoverLogTarget, "discover: hit empty relative path, trying to canonicalize");
    auto canonical = canonicalize_utf8_path(candidate);
    if (!canonical) {
      log::debug(kDiscoverLogTarget, "discover: unable to canonicalize path `{}`: {}", display_path(candidate),
                 canonical.error().io().message());
      return std::nullopt;
    }
    // The canonical path names the directory just tested: the walk goes on
    // above it.
    parent = lexical_parent(*canonical);
    if (!parent) {
      log::debug(kDiscoverLogTarget, "discover: canonicalized path `{}` has no parent either",
                 display_path(*canonical));
      return std::nullopt;
    }
    candidate = std::move(*parent);
  }
}

}  // namespace

std::expected<bool, FsIoError> has_project_files(const fs::path& dir) {
  auto info = stat_is_regular_file(dir / ".project.json");
  if (!info || *info) return info;
  return stat_is_regular_file(dir / ".meta.json");
}

std::expected<std::optional<LocalSrcProject>, FsIoError> discover_project_root(const fs::path& start) {
  log::debug(kDiscoverLogTarget, "trying to discover project in `{}`", display_path(start));
  auto root = walk_up(start, has_project_files);
  if (!root) return std::unexpected(std::move(root.error()));
  if (!*root) return std::nullopt;
  return LocalSrcProject(std::move(**root), ".");
}

std::expected<std::optional<LoadedWorkspace>, WorkspaceError> discover_workspace_root(const fs::path& start) {
  log::debug(kDiscoverLogTarget, "trying to discover workspace in `{}`", display_path(start));
  auto root = walk_up(start, [](const fs::path& dir) { return stat_is_regular_file(dir / kWorkspaceFile); });
  if (!root) return std::unexpected(WorkspaceError::Io{std::move(root.error())});
  if (!*root) return std::nullopt;
  auto workspace = read_workspace_file(std::move(**root));
  if (!workspace) return std::unexpected(std::move(workspace.error()));
  return std::move(*workspace);
}

}  // namespace kestro::env
