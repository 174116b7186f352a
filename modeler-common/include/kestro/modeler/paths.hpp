// Stable absolute keys for the paths a user names: the directory part is
// made canonical through the file system, the last component is kept as it
// was typed, so a symbolic link keeps its own name and a file that does not
// exist yet (an output file) can be named as long as its directory exists.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string_view>
#include <variant>

#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::modeler {

namespace fs = std::filesystem;

struct PathVariants {
  // The parent as typed.
  struct CanonicalizeParent {
    fs::path parent;
    IoError io;
  };
  // The whole path as typed.
  struct NoFileName {
    fs::path path;
  };
  struct CurrentDir {
    IoError io;
  };
  struct CanonicalizeCurrentDir {
    IoError io;
  };
  using Sum = std::variant<CanonicalizeParent, NoFileName, CurrentDir, CanonicalizeCurrentDir>;
};

class PathError : public ErrorSum<PathError, PathVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const CanonicalizeParent& v);
  static std::string text_of(const NoFileName& v);
  static std::string text_of(const CurrentDir& v);
  static std::string text_of(const CanonicalizeCurrentDir& v);
  static std::string debug_of(const CanonicalizeParent& v);
  static std::string debug_of(const NoFileName& v);
  static std::string debug_of(const CurrentDir& v);
  static std::string debug_of(const CanonicalizeCurrentDir& v);
};

// The canonical directory of `path` (its parent, or the current directory
// when the parent is empty or there is none) joined with its last component
// as typed; the last component is not looked up. The directory is resolved
// before the name is checked, so a parent that cannot be resolved is
// reported even when the path has no file name.
std::expected<fs::path, PathError> canonicalize_keep_last(const fs::path& path);

// The process's current directory, canonicalised.
std::expected<fs::path, PathError> canonical_current_dir();

// Lexical path pieces, by the components of a `/`-separated path (repeated
// and trailing separators ignored, `.` dropped except as the first
// component):
// - the parent: the path as written up to its second-to-last component,
//   present only when the last component is a name, `.` or `..` (so `x` and
//   `.` have the empty parent, `/` and the empty path none);
// - the file name: the last component when it is a name.
std::optional<std::string_view> lexical_parent(std::string_view path);
std::optional<std::string_view> file_name(std::string_view path);

}  // namespace kestro::modeler
