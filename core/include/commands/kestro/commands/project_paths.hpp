// Paths typed by a user turned into the project-relative paths the project
// files store: a path usage's directory or archive, and a source file given
// to include or exclude (which need not exist).
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <filesystem>
#include <string>
#include <variant>

#include "kestro/commands/command_error.hpp"
#include "kestro/project/paths.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::commands {

// A path usage that cannot be recorded.
struct PathUsageVariants {
  // The operating system's error for the typed path (it must exist).
  struct Io { IoError err; };
  struct Relativize { RelativizeError err; };
  struct CurrentProject {};
  using Sum = std::variant<Io, Relativize, CurrentProject>;
};
class PathUsageError : public ErrorSum<PathUsageError, PathUsageVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const Relativize& v) { return v.err.message(); }
  static std::string text_of(const CurrentProject&) { return "cannot add current project as usage of itself"; }
};

// The path a path usage stores, from the path as typed, the project root
// (absolute, canonical) and the current directory. Typed relative to the
// root itself, the path stays as typed (only one made of `.` components
// alone is refused, as naming the project); otherwise it is canonicalized
// and made relative to the root, which it must not be.
std::expected<std::string, PathUsageError> make_path_usage_relative(std::string path, const std::filesystem::path& root,
                                                                    const std::filesystem::path& current_dir);

// As much of `path` as exists canonicalized, the missing tail appended as
// written. Never fails: a path none of which resolves comes back as it is.
std::filesystem::path weakly_canonicalize(const std::filesystem::path& path);

// A source file's path relative to the project root with `/` separators
// ("" for the root itself); the file need not exist. A root that cannot be
// canonicalized is Canonicalize; a path that is empty, not under the root
// or not UTF-8 is PathOutsideProject naming the path as typed.
std::expected<std::string, IncludePathError> relativize_source_path(const std::filesystem::path& root,
                                                                    const std::string& path);

}  // namespace kestro::commands
