// Project-relative paths: the one check of every `/`-separated relative path
// that a project's records hold (index and checksum paths, path usages).
#pragma once

#include <expected>
#include <string_view>

#include "kestro/utils/fs_error.hpp"

namespace kestro::model {

// A rejected project-relative path.
class RelativePathError : public Error {
 public:
  enum class Kind {
    Absolute, ContainsBackslash, ContainsDoubleSlash, ContainsCurrent, ContainsParent,
    ContainsNull, DirectoryPath,
  };
  RelativePathError(Kind kind, std::string path) : kind_(kind), path_(std::move(path)) {}
  Kind kind() const { return kind_; }
  const std::string& path() const { return path_; }
  std::string message() const override;
  std::string debug() const override;
  // Spelled out: the base has no comparison for a defaulted one to use.
  friend bool operator==(const RelativePathError& a, const RelativePathError& b) {
    return a.kind_ == b.kind_ && a.path_ == b.path_;
  }

 private:
  Kind kind_;
  std::string path_;
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
