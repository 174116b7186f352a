// Errors of the project kinds. The kinds share variant shapes (a name
// mismatch reads the same whichever kind meets it), so one body carries the
// shared shapes and each kind's error type is a distinct type over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kestro/error.hpp"
#include "kestro/fs_error.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro {

class ProjectError : public Error {
 public:
  enum class Kind {
    AlreadyExists, MissingMeta, MissingInfoMeta, MissingInfo, Deserialize, Serialize, Path, Io, Zip,
    ImpossibleRelativePath, PublisherMismatch, NameMismatch, NotFound, DigestMismatch, SizeMismatch,
    EmptyKpar, FileNotFound, IoRead, Other,
  };

  static ProjectError already_exists(std::string text) { return ProjectError(Kind::AlreadyExists, std::move(text)); }
  static ProjectError missing_meta() { return ProjectError(Kind::MissingMeta, {}); }
  static ProjectError missing_info_meta() { return ProjectError(Kind::MissingInfoMeta, {}); }
  static ProjectError missing_info() { return ProjectError(Kind::MissingInfo, {}); }
  // `file` is the bare document name, ".project.json" or ".meta.json".
  static ProjectError deserialize(std::string file, json::JsonError err);
  // `context` names what was being written.
  static ProjectError serialize(std::string context, ErrorPtr err);
  static ProjectError path(PathCheckError err);
  static ProjectError io(FsIoError err);
  static ProjectError zip(ZipArchiveError err);
  static ProjectError impossible_relative_path(RelativizeError err);
  static ProjectError publisher_mismatch(std::optional<std::string> expected, std::optional<std::string> actual);
  static ProjectError name_mismatch(std::string expected, std::string actual);
  static ProjectError not_found(std::string path) { return ProjectError(Kind::NotFound, std::move(path)); }
  static ProjectError digest_mismatch(std::string location, std::string expected, std::string computed);
  static ProjectError size_mismatch(std::string location, std::uint64_t expected, std::uint64_t actual);
  static ProjectError empty_kpar(std::string location) { return ProjectError(Kind::EmptyKpar, std::move(location)); }
  static ProjectError file_not_found(std::string path) { return ProjectError(Kind::FileNotFound, std::move(path)); }
  static ProjectError io_read(IoError err);
  static ProjectError other(std::string text) { return ProjectError(Kind::Other, std::move(text)); }

  Kind kind() const { return kind_; }
  // The held error (JSON, file-system, path, zip, relativize, I/O), if any.
  const Error* inner() const { return inner_.get(); }
  std::string message() const override;
  const Error* cause() const override;
  std::string debug() const override;

 protected:
  ProjectError(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

 private:
  Kind kind_;
  std::string text_;  // message text, path, location, expected name
  std::string text2_;  // actual name, computed digest
  std::optional<std::string> opt1_, opt2_;
  std::uint64_t n1_ = 0, n2_ = 0;
  ErrorPtr inner_;
};

// The error of a project stored as a directory tree.
class LocalSrcError : public ProjectError {
 public:
  LocalSrcError(ProjectError e) : ProjectError(std::move(e)) {}
};

// The error of a project stored as a KPAR archive.
class LocalKparError : public ProjectError {
 public:
  LocalKparError(ProjectError e) : ProjectError(std::move(e)) {}
};

// The error of a project held in memory.
class InMemoryProjectError : public ProjectError {
 public:
  InMemoryProjectError(ProjectError e) : ProjectError(std::move(e)) {}
};

}  // namespace kestro
