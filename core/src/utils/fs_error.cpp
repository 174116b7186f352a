#include "kestro/utils/fs_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro {

std::string display_path(const fs::path& path) { return utf8_lossy(path.native()); }

namespace {

// "{head}\n  `{path}`:\n  {io}", the shape of the calls that name one path.
std::string one_path(const char* head, const fs::path& path, const IoError& io) {
  return fmt::format("{}\n  `{}`:\n  {}", head, display_path(path), io.message());
}

}  // namespace

const fs::path& FsIoError::path() const {
  static const fs::path none;
  return visit([](const auto& v) -> const fs::path& {
    if constexpr (requires { v.path; })
      return v.path;
    else if constexpr (requires { v.from; })
      return v.from;
    else
      return none;
  });
}

std::string FsIoError::text_of(const Canonicalize& v) { return one_path("failed to canonicalize path", v.path, v.io); }
std::string FsIoError::text_of(const Absolute& v) { return one_path("failed to make path absolute", v.path, v.io); }
std::string FsIoError::text_of(const MkDir& v) { return one_path("failed to create directory", v.path, v.io); }
std::string FsIoError::text_of(const OpenFile& v) { return one_path("failed to open file", v.path, v.io); }
std::string FsIoError::text_of(const Metadata& v) { return one_path("failed to get metadata for", v.path, v.io); }
std::string FsIoError::text_of(const MetadataHandle& v) { return "failed to get metadata for file: " + v.io.message(); }
std::string FsIoError::text_of(const CreateTempFile& v) {
  return "failed to create a temporary file: " + v.io.message();
}
std::string FsIoError::text_of(const MkTempDir& v) {
  return "failed to create a temporary directory: " + v.io.message();
}
std::string FsIoError::text_of(const WriteFile& v) { return one_path("failed to write file", v.path, v.io); }
std::string FsIoError::text_of(const ReadDir& v) { return one_path("failed to read directory", v.path, v.io); }
std::string FsIoError::text_of(const ReadFile& v) { return one_path("failed to read file", v.path, v.io); }
std::string FsIoError::text_of(const ReadFileHandle& v) { return "failed to read file: " + v.io.message(); }
std::string FsIoError::text_of(const Move& v) {
  return fmt::format("failed to move\n  `{}` to\n  `{}`:\n  {}", display_path(v.from), display_path(v.to),
                     v.io.message());
}
std::string FsIoError::text_of(const CreateFile& v) { return one_path("failed to create file", v.path, v.io); }
std::string FsIoError::text_of(const CopyFile& v) {
  return fmt::format("failed to copy file from\n  `{}` to\n  `{}`:\n  {}", display_path(v.from),
                     display_path(v.to), v.io.message());
}
std::string FsIoError::text_of(const RmFile& v) { return one_path("failed to remove file", v.path, v.io); }
std::string FsIoError::text_of(const LockFile& v) { return one_path("failed to lock file", v.path, v.io); }
std::string FsIoError::text_of(const RmDir& v) { return one_path("failed to remove directory", v.path, v.io); }
std::string FsIoError::text_of(const CurrentDir& v) {
  return "failed to get path to current directory:\n  " + v.io.message();
}
std::string FsIoError::text_of(const IsFile& v) {
  return fmt::format("failed to get metadata to determine if\n  `{}` is a regular file:\n  {}", display_path(v.path),
                     v.io.message());
}
std::string FsIoError::text_of(const IsDir& v) {
  return fmt::format("failed to get metadata to determine if\n  `{}` is a directory:\n  {}", display_path(v.path),
                     v.io.message());
}
std::string FsIoError::text_of(const Seek& v) {
  return fmt::format("failed to seek file `{}` to {}:\n  {}", display_path(v.path), v.position, v.io.message());
}

std::string FsIoError::debug_io(const char* name, const IoError& io) {
  return fmt::format("{}({})", name, io.message());
}

std::string FsIoError::debug_path(const char* name, const fs::path& path, const IoError& io) {
  return fmt::format("{}({}, {})", name, debug_quote(display_path(path)), io.message());
}

std::string FsIoError::debug_two(const char* name, const fs::path& from, const fs::path& to, const IoError& io) {
  return fmt::format("{}({}, {}, {})", name, debug_quote(display_path(from)), debug_quote(display_path(to)),
                     io.message());
}

std::string FsIoError::debug_of(const Seek& v) {
  return fmt::format("Seek({}, {}, {})", debug_quote(display_path(v.path)), v.position, v.io.message());
}

}  // namespace kestro
