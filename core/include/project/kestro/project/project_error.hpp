// Errors of the project kinds. The kinds share variant shapes (a name
// mismatch reads the same whichever kind meets it), so one body carries the
// shared shapes and each kind's error type is a distinct type over it.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "kestro/utils/error.hpp"
#include "kestro/project/kpar_error.hpp"
#include "kestro/project/utils.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::project {

class ProjectError : public Error {
 public:
  enum class Kind {
    AlreadyExists, MissingMeta, MissingInfoMeta, MissingInfo, Deserialize, Serialize, Path, Io, Zip,
    ImpossibleRelativePath, PublisherMismatch, NameMismatch, NotFound, DigestMismatch, SizeMismatch,
    EmptyKpar, FileNotFound, IoRead, Other, LocalSrc,
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
  // "unexpected internal error: {}": a variant that a converted-to kind
  // cannot express, with the original message.
  static ProjectError unexpected_internal(const Error& err);

  Kind kind() const { return kind_; }
  // The held error (JSON, file-system, path, zip, relativize, I/O, or the
  // whole source-directory error of LocalSrc), if any.
  const Error* inner() const { return inner_.get(); }
  std::string message() const override;
  const Error* cause() const override;
  std::string debug() const override;

 protected:
  ProjectError(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
  // `e` itself when its variant is one of `variants`; a kind's error built
  // with a variant it does not have is a programming error.
  static ProjectError checked(ProjectError e, std::span<const Kind> variants, const char* type);
  // Wraps a whole source-directory error (LocalPathProjectError's LocalSrc).
  static ProjectError local_src(ErrorPtr err);

 private:
  Kind kind_;
  std::string text_;  // message text, path, location, expected name
  std::string text2_;  // actual name, computed digest
  std::optional<std::string> opt1_, opt2_;
  std::uint64_t n1_ = 0, n2_ = 0;
  ErrorPtr inner_;
};

// Each kind's error accepts only its own variants (listed in declaration
// order); building one with another variant throws InternalError.

// The error of a project stored as a directory tree.
class LocalSrcError : public ProjectError {
 public:
  static constexpr Kind kVariants[] = {
      Kind::AlreadyExists, Kind::MissingMeta, Kind::MissingInfoMeta, Kind::Deserialize, Kind::Serialize,
      Kind::Path, Kind::Io, Kind::ImpossibleRelativePath, Kind::PublisherMismatch, Kind::NameMismatch,
  };
  LocalSrcError(ProjectError e) : ProjectError(checked(std::move(e), kVariants, "LocalSrcError")) {}
};

// The error of a project stored as a KPAR archive.
class LocalKparError : public ProjectError {
 public:
  static constexpr Kind kVariants[] = {
      Kind::Zip, Kind::NotFound, Kind::Deserialize, Kind::Io, Kind::ImpossibleRelativePath, Kind::DigestMismatch,
      Kind::SizeMismatch, Kind::EmptyKpar, Kind::PublisherMismatch, Kind::NameMismatch, Kind::MissingInfo,
  };
  LocalKparError(ProjectError e) : ProjectError(checked(std::move(e), kVariants, "LocalKparError")) {}
};

// The error of a project held in memory.
class InMemoryProjectError : public ProjectError {
 public:
  static constexpr Kind kVariants[] = {Kind::AlreadyExists, Kind::FileNotFound, Kind::IoRead, Kind::MissingInfoMeta};
  InMemoryProjectError(ProjectError e) : ProjectError(checked(std::move(e), kVariants, "InMemoryProjectError")) {}
};

// The error of a local path that is either a source directory or a KPAR.
class LocalPathProjectError : public ProjectError {
 public:
  static constexpr Kind kVariants[] = {
      Kind::Zip, Kind::NotFound, Kind::Deserialize, Kind::LocalSrc, Kind::Io, Kind::Path,
      Kind::ImpossibleRelativePath, Kind::DigestMismatch, Kind::SizeMismatch, Kind::EmptyKpar,
      Kind::PublisherMismatch, Kind::NameMismatch, Kind::MissingInfo, Kind::Other,
  };
  LocalPathProjectError(ProjectError e) : ProjectError(checked(std::move(e), kVariants, "LocalPathProjectError")) {}

  // A KPAR's error, variant by variant.
  static LocalPathProjectError from_kpar(LocalKparError err) { return LocalPathProjectError(std::move(err)); }
  // A source directory's error from reading records or files: Deserialize
  // and Path keep their variant, AlreadyExists cannot occur there and
  // becomes Other, everything else is held whole in LocalSrc.
  static LocalPathProjectError from_src_read(LocalSrcError err);
  // A source directory's error from sources or checksums: held whole.
  static LocalPathProjectError from_src(LocalSrcError err);
};

// Converts an error into another kind's, variant by variant under the same
// name; a variant the target cannot express becomes Other with
// "unexpected internal error: {}".
template <typename Target>
Target convert_project_error(ProjectError err) {
  for (auto kind : Target::kVariants)
    if (kind == err.kind()) return Target(std::move(err));
  return Target(ProjectError::unexpected_internal(err));
}

// The error of listing a source project's files.
class ProjectSourcesError : public Error {
 public:
  enum class Kind { Project, Validation, Path };
  static ProjectSourcesError project(LocalSrcError err);
  // `name` is the record's short name ("meta"); `source` its validation error.
  static ProjectSourcesError validation(std::string name, ErrorPtr source);
  static ProjectSourcesError path(PathCheckError err);

  Kind kind() const { return kind_; }
  const Error* inner() const { return inner_.get(); }
  std::string message() const override;
  const Error* cause() const override;
  std::string debug() const override;

 private:
  ProjectSourcesError(Kind kind, std::string name, ErrorPtr inner)
      : kind_(kind), name_(std::move(name)), inner_(std::move(inner)) {}
  Kind kind_;
  std::string name_;
  ErrorPtr inner_;
};

}  // namespace kestro::project
