// Project-relative paths: resolving them under a project root, comparing
// them component by component, and expressing one absolute path relative to
// another.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::project {

struct PathCheckVariants {
  // `reason` is one of the fixed texts of the check; only kEscapesRoot is
  // produced.
  struct UnsafePath {
    std::string path;
    std::string reason;
  };
  struct AbsolutePath {
    std::string path;
  };
  using Sum = std::variant<UnsafePath, AbsolutePath>;
};

// A project-relative path that cannot be resolved under a project root.
class PathCheckError : public ErrorSum<PathCheckError, PathCheckVariants> {
 public:
  using ErrorSum::ErrorSum;
  static constexpr const char* kEscapesRoot = "path attempts to escape original path";
  static std::string text_of(const UnsafePath& v);
  static std::string text_of(const AbsolutePath& v);
  static std::string debug_of(const UnsafePath& v);
  static std::string debug_of(const AbsolutePath& v);
};

struct RelativizeVariants {
  struct NoCommonPrefix {
    std::string path;
    std::string root;
  };
  using Sum = std::variant<NoCommonPrefix>;
};

// A path that cannot be expressed relative to a root.
class RelativizeError : public ErrorSum<RelativizeError, RelativizeVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const NoCommonPrefix& v);
  static std::string debug_of(const NoCommonPrefix& v);
};

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

}  // namespace kestro::project
