// Project-relative paths: the one check of every `/`-separated relative path
// that a project's records hold (index and checksum paths, path usages).
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::model {

// The variants of RelativePathError: each holds the rejected text whole.
struct RelativePathVariants {
  struct Absolute {
    std::string path;
    bool operator==(const Absolute&) const = default;
  };
  struct ContainsBackslash {
    std::string path;
    bool operator==(const ContainsBackslash&) const = default;
  };
  struct ContainsDoubleSlash {
    std::string path;
    bool operator==(const ContainsDoubleSlash&) const = default;
  };
  struct ContainsCurrent {
    std::string path;
    bool operator==(const ContainsCurrent&) const = default;
  };
  struct ContainsParent {
    std::string path;
    bool operator==(const ContainsParent&) const = default;
  };
  struct ContainsNull {
    std::string path;
    bool operator==(const ContainsNull&) const = default;
  };
  struct DirectoryPath {
    std::string path;
    bool operator==(const DirectoryPath&) const = default;
  };
  using Sum = std::variant<Absolute, ContainsBackslash, ContainsDoubleSlash, ContainsCurrent, ContainsParent,
                           ContainsNull, DirectoryPath>;
};

// A rejected project-relative path.
class RelativePathError : public ErrorSum<RelativePathError, RelativePathVariants> {
 public:
  using ErrorSum::ErrorSum;
  // The rejected path, whichever rule it broke.
  const std::string& path() const {
    return visit([](const auto& v) -> const std::string& { return v.path; });
  }

  static std::string text_of(const Absolute& v);
  static std::string text_of(const ContainsBackslash& v);
  static std::string text_of(const ContainsDoubleSlash& v);
  static std::string text_of(const ContainsCurrent& v);
  static std::string text_of(const ContainsParent& v);
  static std::string text_of(const ContainsNull& v);
  static std::string text_of(const DirectoryPath& v);
  static std::string debug_of(const Absolute& v) { return debug_path("Absolute", v.path); }
  static std::string debug_of(const ContainsBackslash& v) { return debug_path("ContainsBackslash", v.path); }
  static std::string debug_of(const ContainsDoubleSlash& v) { return debug_path("ContainsDoubleSlash", v.path); }
  static std::string debug_of(const ContainsCurrent& v) { return debug_path("ContainsCurrent", v.path); }
  static std::string debug_of(const ContainsParent& v) { return debug_path("ContainsParent", v.path); }
  static std::string debug_of(const ContainsNull& v) { return debug_path("ContainsNull", v.path); }
  static std::string debug_of(const DirectoryPath& v) { return debug_path("DirectoryPath", v.path); }

 private:
  static std::string debug_path(const char* name, const std::string& path);
};

// What a path must name, and whether `.` and `..` components may lead
// outside the base directory.
enum class RelativePathKind {
  ProjectFile,        // a file inside the project tree; no `.` or `..`
  RelativeFile,       // a file relative to a base directory
  ProjectDirectory,   // a directory inside the project tree; no `.` or `..`, but `.` alone
  RelativeDirectory,  // a directory relative to a base directory
};

// Accepts the path, returning the caller's text itself (a directory path
// keeps its trailing `/`), or names the first rule it breaks, in this order:
// `.` alone is a directory; absolute as a Windows path (a drive or a share
// followed by a separator); empty; leading `/`; the first NUL or `\`; a
// trailing `/` on a file path (directory paths drop one); then, component by
// component, empty, `..` and `.` (the last two for the project kinds only).
std::expected<std::string_view, RelativePathError> validate_relative_path(std::string_view path,
                                                                          RelativePathKind kind);

}  // namespace kestro::model
