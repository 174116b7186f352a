#include "kestro/utils/fs_error.hpp"

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

}  // namespace kestro
