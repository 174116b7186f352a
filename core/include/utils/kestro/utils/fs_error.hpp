// Errors of file-system calls: the call that failed, the paths it named and
// the operating system's error.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>

#include "kestro/utils/error.hpp"

namespace kestro {

namespace fs = std::filesystem;

// The error of one file-system call: the path(s) it concerned and the I/O
// error. Its cause is always empty: the I/O error is part of the message.
class FsIoError : public Error {
 public:
  enum class Kind {
    Canonicalize, Absolute, MkDir, OpenFile, Metadata, MetadataHandle, CreateTempFile,
    MkTempDir, WriteFile, ReadDir, ReadFile, ReadFileHandle, Move, CreateFile, CopyFile,
    RmFile, LockFile, RmDir, CurrentDir, IsFile, IsDir, Seek,
  };

  // Variants that name one path.
  FsIoError(Kind kind, fs::path path, IoError io);
  // Variants that name no path (MetadataHandle, CreateTempFile, MkTempDir,
  // ReadFileHandle, CurrentDir).
  FsIoError(Kind kind, IoError io);
  // Move and CopyFile: source, then destination.
  FsIoError(Kind kind, fs::path from, fs::path to, IoError io);
  static FsIoError seek(fs::path path, std::uint64_t position, IoError io);

  Kind kind() const { return kind_; }
  const fs::path& path() const { return path_; }
  const IoError& io() const { return io_; }
  std::string message() const override;
  std::string debug() const override;

 private:
  Kind kind_;
  fs::path path_;
  fs::path to_;
  std::uint64_t position_ = 0;
  IoError io_;
};

// A path shown inside a message: invalid UTF-8 becomes U+FFFD.
std::string display_path(const fs::path& path);

}  // namespace kestro
