// Project-relative paths: resolving them under a project root, comparing
// them component by component, and expressing one absolute path relative to
// another.
#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/fs_error.hpp"

namespace kestro {

// The platform path of a project-relative Unix path under `root`. Repeated
// separators and `.` components are ignored, `..` removes the previous
// component; a path that starts with `/` is AbsolutePath, one whose `..`
// climbs above `root` is UnsafePath with the whole path. A backslash is an
// ordinary character of a name. Purely lexical: nothing is looked up on disk.
std::expected<std::filesystem::path, PathCheckError> get_source_path(const std::filesystem::path& root,
                                                                    std::string_view path);

// The relative Unix path that leads from `root` to `path` ("." when they are
// the same), built from their components: one `..` per component of `root`
// past the shared start, then the rest of `path`. Paths with different
// first components (one absolute, one relative) and paths holding a `..`
// component (for which the lexical answer could be wrong) give the error.
std::expected<std::string, RelativizeError> relativize_path(const std::filesystem::path& path,
                                                            const std::filesystem::path& root);

// The components of a Unix path as paths compare them: a leading `/` is a
// component of its own, empty components and `.` are dropped except for a
// `.` that starts a relative path, `..` is kept.
std::vector<std::string_view> path_components(std::string_view path);

// Orders Unix paths by their components, so that `a/b`, `a//b`, `a/./b` and
// `a/b/` are one key.
struct PathComponentLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

}  // namespace kestro
