// Errors of file-system calls, project-relative paths, path checks, zip
// archives, compression names, the configuration file and env metadata.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>

#include "kestro/error.hpp"

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

// A project-relative path that cannot be resolved under a project root.
class PathCheckError : public Error {
 public:
  enum class Kind { UnsafePath, AbsolutePath };
  static constexpr const char* kEscapesRoot = "path attempts to escape original path";
  static PathCheckError unsafe(std::string path, std::string reason) {
    return PathCheckError(Kind::UnsafePath, std::move(path), std::move(reason));
  }
  static PathCheckError absolute(std::string path) {
    return PathCheckError(Kind::AbsolutePath, std::move(path), {});
  }
  Kind kind() const { return kind_; }
  const std::string& path() const { return path_; }
  std::string message() const override;
  std::string debug() const override;

 private:
  PathCheckError(Kind kind, std::string path, std::string reason)
      : kind_(kind), path_(std::move(path)), reason_(std::move(reason)) {}
  Kind kind_;
  std::string path_;
  std::string reason_;
};

// A path that cannot be expressed relative to a root.
class RelativizeError : public Error {
 public:
  RelativizeError(std::string path, std::string root) : path_(std::move(path)), root_(std::move(root)) {}
  std::string message() const override;
  std::string debug() const override;

 private:
  std::string path_;
  std::string root_;
};

// A failure of the zip facility while reading or writing a KPAR. The zip
// error is the facility's own error value.
class ZipArchiveError : public Error {
 public:
  enum class Kind { ReadArchive, FileMeta, NamedFileMeta, InvalidPath, Write, Finish };
  ZipArchiveError(Kind kind, std::string name, ErrorPtr zip)
      : kind_(kind), name_(std::move(name)), zip_(std::move(zip)) {}
  Kind kind() const { return kind_; }
  const Error* zip_error() const { return zip_.get(); }
  std::string message() const override;
  std::string debug() const override;

 private:
  Kind kind_;
  std::string name_;  // archive path, entry name or file path, per variant
  ErrorPtr zip_;
};

// A compression method name that cannot be used for a KPAR build.
class CompressionError : public Error {
 public:
  enum class Kind { SuggestFeature, Invalid };
  Kind kind() const { return kind_; }
  std::string message() const override;
  std::string debug() const override;
  static CompressionError suggest_feature(std::string compression, std::string feature) {
    return CompressionError(Kind::SuggestFeature, std::move(compression), std::move(feature));
  }
  static CompressionError invalid(std::string text) { return CompressionError(Kind::Invalid, std::move(text), {}); }

 private:
  CompressionError(Kind kind, std::string a, std::string b) : kind_(kind), a_(std::move(a)), b_(std::move(b)) {}
  Kind kind_;
  std::string a_;
  std::string b_;
};

enum class KparCompression { Stored, Deflated };

// "STORED" and "DEFLATED", matched exactly.
std::expected<KparCompression, CompressionError> parse_compression(std::string_view name);

}  // namespace kestro
