#include "kestro/fs_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro {

std::string display_path(const fs::path& path) { return utf8_lossy(path.native()); }

FsIoError::FsIoError(Kind kind, fs::path path, IoError io)
    : kind_(kind), path_(std::move(path)), io_(std::move(io)) {}
FsIoError::FsIoError(Kind kind, IoError io) : kind_(kind), io_(std::move(io)) {}
FsIoError::FsIoError(Kind kind, fs::path from, fs::path to, IoError io)
    : kind_(kind), path_(std::move(from)), to_(std::move(to)), io_(std::move(io)) {}

FsIoError FsIoError::seek(fs::path path, std::uint64_t position, IoError io) {
  FsIoError e(Kind::Seek, std::move(path), std::move(io));
  e.position_ = position;
  return e;
}

std::string FsIoError::message() const {
  const std::string p = display_path(path_);
  const std::string e = io_.message();
  auto one = [&](const char* head) { return fmt::format("{}\n  `{}`:\n  {}", head, p, e); };
  switch (kind_) {
    case Kind::Canonicalize: return one("failed to canonicalize path");
    case Kind::Absolute: return one("failed to make path absolute");
    case Kind::MkDir: return one("failed to create directory");
    case Kind::OpenFile: return one("failed to open file");
    case Kind::Metadata: return one("failed to get metadata for");
    case Kind::MetadataHandle: return "failed to get metadata for file: " + e;
    case Kind::CreateTempFile: return "failed to create a temporary file: " + e;
    case Kind::MkTempDir: return "failed to create a temporary directory: " + e;
    case Kind::WriteFile: return one("failed to write file");
    case Kind::ReadDir: return one("failed to read directory");
    case Kind::ReadFile: return one("failed to read file");
    case Kind::ReadFileHandle: return "failed to read file: " + e;
    case Kind::Move: return fmt::format("failed to move\n  `{}` to\n  `{}`:\n  {}", p, display_path(to_), e);
    case Kind::CreateFile: return one("failed to create file");
    case Kind::CopyFile:
      return fmt::format("failed to copy file from\n  `{}` to\n  `{}`:\n  {}", p, display_path(to_), e);
    case Kind::RmFile: return one("failed to remove file");
    case Kind::LockFile: return one("failed to lock file");
    case Kind::RmDir: return one("failed to remove directory");
    case Kind::CurrentDir: return "failed to get path to current directory:\n  " + e;
    case Kind::IsFile:
      return fmt::format("failed to get metadata to determine if\n  `{}` is a regular file:\n  {}", p, e);
    case Kind::IsDir:
      return fmt::format("failed to get metadata to determine if\n  `{}` is a directory:\n  {}", p, e);
    case Kind::Seek: return fmt::format("failed to seek file `{}` to {}:\n  {}", p, position_, e);
  }
  return {};
}

std::string FsIoError::debug() const {
  static constexpr const char* names[] = {
      "Canonicalize", "Absolute", "MkDir", "OpenFile", "Metadata", "MetadataHandle", "CreateTempFile",
      "MkTempDir", "WriteFile", "ReadDir", "ReadFile", "ReadFileHandle", "Move", "CreateFile", "CopyFile",
      "RmFile", "LockFile", "RmDir", "CurrentDir", "IsFile", "IsDir", "Seek",
  };
  const char* name = names[static_cast<int>(kind_)];
  const std::string io = io_.message();
  switch (kind_) {
    case Kind::MetadataHandle:
    case Kind::CreateTempFile:
    case Kind::MkTempDir:
    case Kind::ReadFileHandle:
    case Kind::CurrentDir: return fmt::format("{}({})", name, io);
    case Kind::Move:
    case Kind::CopyFile:
      return fmt::format("{}({}, {}, {})", name, debug_quote(display_path(path_)), debug_quote(display_path(to_)), io);
    case Kind::Seek: return fmt::format("{}({}, {}, {})", name, debug_quote(display_path(path_)), position_, io);
    default: return fmt::format("{}({}, {})", name, debug_quote(display_path(path_)), io);
  }
}

std::string RelativePathError::message() const {
  switch (kind_) {
    case Kind::Absolute: return fmt::format("path `{}` is absolute", path_);
    case Kind::ContainsBackslash:
      return fmt::format(
          "path `{}` contains a backslash `\\`;\nbackslash is not allowed in paths to preserve "
          "consistent\ninterpretation across different operating systems;\nbackslash could be "
          "present because the path is Windows path",
          path_);
    case Kind::ContainsDoubleSlash:
      return fmt::format("path `{}` contains two consecutive\ndirectory separators `/`, which is forbidden", path_);
    case Kind::ContainsCurrent: return fmt::format("path `{}` contains a forbidden relative component `.`", path_);
    case Kind::ContainsParent: return fmt::format("path `{}` contains a forbidden relative component `..`", path_);
    case Kind::ContainsNull: return fmt::format("path `{}` contains a NULL character", debug_quote(path_));
    case Kind::DirectoryPath:
      return fmt::format("path `{}` is a directory path\n(ends with a separator `/`), but a file path was expected",
                         path_);
  }
  return {};
}

std::string RelativePathError::debug() const {
  static constexpr const char* names[] = {"Absolute", "ContainsBackslash", "ContainsDoubleSlash", "ContainsCurrent",
                                          "ContainsParent", "ContainsNull", "DirectoryPath"};
  return fmt::format("{} {{ path: {} }}", names[static_cast<int>(kind_)], debug_quote(path_));
}

std::string PathCheckError::message() const {
  // The unsafe path is a file-system path: invalid UTF-8 is shown as U+FFFD.
  if (kind_ == Kind::UnsafePath) return fmt::format("path `{}` is unsafe: {}", utf8_lossy(path_), reason_);
  return fmt::format("path `{}` is absolute", path_);
}

std::string PathCheckError::debug() const {
  if (kind_ == Kind::UnsafePath) return fmt::format("UnsafePath({}, {})", debug_quote(path_), debug_quote(reason_));
  return fmt::format("AbsolutePath({})", debug_quote(path_));
}

std::string RelativizeError::message() const {
  return fmt::format("unable to relativize path `{}` with respect to `{}`", path_, root_);
}

std::string RelativizeError::debug() const {
  return fmt::format("NoCommonPrefix {{ path: {}, root: {} }}", debug_quote(path_), debug_quote(root_));
}

std::string ZipArchiveError::message() const {
  auto zip = [&] { return zip_ ? zip_->message() : std::string(); };
  switch (kind_) {
    case Kind::ReadArchive: return fmt::format("failed to parse zip archive `{}`: {}", name_, zip());
    case Kind::FileMeta: return "failed to retrieve file from zip archive: " + zip();
    case Kind::NamedFileMeta: return "failed to retrieve file from zip archive: " + name_;
    case Kind::InvalidPath:
      return fmt::format(
          "zip archive path handling error: file `{}` in a zip archive is not contained in a directory", name_);
    case Kind::Write: return fmt::format("failed to write file `{}` to zip archive: {}", name_, zip());
    case Kind::Finish: return fmt::format("failed to finish creating zip archive at `{}`: {}", name_, zip());
  }
  return {};
}

std::string ZipArchiveError::debug() const {
  static constexpr const char* names[] = {"ReadArchive", "FileMeta", "NamedFileMeta", "InvalidPath", "Write", "Finish"};
  const char* name = names[static_cast<int>(kind_)];
  const std::string zip = zip_ ? zip_->debug() : std::string();
  switch (kind_) {
    case Kind::FileMeta: return fmt::format("{}({})", name, zip);
    case Kind::InvalidPath: return fmt::format("{}({})", name, debug_quote(name_));
    default: return fmt::format("{}({}, {})", name, debug_quote(name_), zip);
  }
}

std::string CompressionError::message() const {
  if (kind_ == Kind::SuggestFeature) return fmt::format("Compile kestro with feature {} to use {} compression", b_, a_);
  return a_;
}

std::string CompressionError::debug() const {
  if (kind_ == Kind::SuggestFeature)
    return fmt::format("SuggestFeature {{ compression: {}, feature: {} }}", debug_quote(a_), debug_quote(b_));
  return fmt::format("Invalid({})", debug_quote(a_));
}

std::expected<KparCompression, CompressionError> parse_compression(std::string_view name) {
  if (name == "STORED") return KparCompression::Stored;
  if (name == "DEFLATED") return KparCompression::Deflated;
  static constexpr std::pair<std::string_view, std::string_view> features[] = {
      {"XZ", "kpar-xz"}, {"ZSTD", "kpar-zstd"}, {"PPMD", "kpar-ppmd"}, {"BZIP2", "kpar-bzip2"}};
  for (auto [method, feature] : features)
    if (name == method) return std::unexpected(CompressionError::suggest_feature(std::string(name), std::string(feature)));
  return std::unexpected(CompressionError::invalid(fmt::format("Compression method `{}` is invalid", name)));
}

}  // namespace kestro
