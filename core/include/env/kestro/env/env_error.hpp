// Errors of the environment directory (`env.toml`, reading and writing
// installed projects) and of the workspace file `.workspace.json`.
#pragma once

#include "kestro/env/namespace.hpp"

#include <optional>
#include <string>
#include <variant>

#include "kestro/project/project_error.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/iri.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/toml_error.hpp"

namespace kestro::env {

// `env.toml` cannot be used.
struct EnvMetadataVariants {
  struct Toml { toml::Error err; };
  struct UnsupportedVersion { std::string version; };
  struct NonNormalizedProjectPath { std::string path; };
  struct AbsoluteProjectPath { std::string path; };
  using Sum = std::variant<Toml, UnsupportedVersion, NonNormalizedProjectPath, AbsoluteProjectPath>;
};
class EnvMetadataError : public ErrorSum<EnvMetadataError, EnvMetadataVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Toml&);
  static std::string text_of(const UnsupportedVersion& v);
  static std::string text_of(const NonNormalizedProjectPath& v);
  static std::string text_of(const AbsoluteProjectPath& v);
  static const Error* cause_of(const Toml& v) { return &v.err; }
};

// Opening an environment directory failed: `env.toml` could not be read
// (or the directory not canonicalised), or its content is not valid.
struct EnvMetadataLoadVariants {
  struct Read { FsIoError err; };
  struct Parse { std::string path; EnvMetadataError err; };
  using Sum = std::variant<Read, Parse>;
};
class EnvMetadataLoadError : public ErrorSum<EnvMetadataLoadError, EnvMetadataLoadVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Read&) { return "failed to read environment metadata"; }
  static std::string text_of(const Parse& v);
  static const Error* cause_of(const Read& v) { return &v.err; }
  static const Error* cause_of(const Parse& v) { return &v.err; }
};

// The environment that holds nothing was asked for a project.
class NullEnvironmentError : public Error {
 public:
  std::string message() const override { return "null environment contains no packages"; }
};

// Reading from the environment directory failed.
struct LocalDirectoryEnvReadVariants {
  struct ProjectNotFound { std::string project; };
  struct Io { FsIoError err; };
  using Sum = std::variant<ProjectNotFound, Io>;
};
class LocalDirectoryEnvReadError : public ErrorSum<LocalDirectoryEnvReadError, LocalDirectoryEnvReadVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const ProjectNotFound& v);
  static std::string text_of(const Io& v) { return v.err.message(); }
};

// A transactional move into the environment failed; it was either undone or
// may have left the directory half changed. After a failed undo, `kept` names
// the scratch directory that was left in place because it may hold the only
// copy of a previous tree (empty when nothing was kept).
struct TryMoveVariants {
  struct RecoveredIO { FsIoError err; };
  struct CatastrophicIO { FsIoError err; FsIoError source; fs::path kept{}; };
  using Sum = std::variant<RecoveredIO, CatastrophicIO>;
};
class TryMoveError : public ErrorSum<TryMoveError, TryMoveVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const RecoveredIO& v);
  static std::string text_of(const CatastrophicIO& v);
  static const Error* cause_of(const CatastrophicIO& v) { return &v.source; }
};

// Adding a project to the environment failed: its records could not be read,
// or it has no information record at `path`.
struct AddProjectVariants {
  struct ProjectRead { LocalSrcError err; };
  struct MissingInfo { std::string path; };
  using Sum = std::variant<ProjectRead, MissingInfo>;
};
class AddProjectError : public ErrorSum<AddProjectError, AddProjectVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const ProjectRead& v) { return v.err.message(); }
  static std::string text_of(const MissingInfo& v);
  static const Error* cause_of(const ProjectRead& v) { return v.err.cause(); }
};

// Writing into the environment directory failed. Shares the project kinds'
// shapes for records, mismatches and relative paths.
struct LocalDirectoryEnvWriteVariants : ProjectErrorShapes {
  struct Path { PathCheckError err; };
  struct AlreadyExists { std::string what; };
  struct TryMove { TryMoveError err; };
  struct LocalRead { LocalDirectoryEnvReadError err; };
  struct AddProject { AddProjectError err; };
  struct ProjectNotFound { std::string project; };
  using Sum = std::variant<Deserialize, Serialize, Path, AlreadyExists, Io, TryMove, LocalRead, AddProject,
                           ImpossibleRelativePath, MissingMeta, MissingInfoMeta, PublisherMismatch, NameMismatch,
                           ProjectNotFound>;

  using ProjectErrorShapes::cause_of;
  using ProjectErrorShapes::text_of;
  static std::string text_of(const Path& v);
  static std::string text_of(const AlreadyExists& v);
  static std::string text_of(const TryMove& v) { return v.err.message(); }
  static std::string text_of(const LocalRead& v) { return v.err.message(); }
  static std::string text_of(const AddProject& v) { return v.err.message(); }
  static std::string text_of(const ProjectNotFound& v);
  static const Error* cause_of(const Path& v) { return &v.err; }
  static const Error* cause_of(const TryMove& v) { return v.err.cause(); }
  static const Error* cause_of(const AddProject& v) { return v.err.cause(); }
};
class LocalDirectoryEnvWriteError : public ErrorSum<LocalDirectoryEnvWriteError, LocalDirectoryEnvWriteVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// `msg` says what the reader was reading.
class WorkspaceDeserializationError : public Error {
 public:
  WorkspaceDeserializationError(std::string msg, json::JsonError err) : msg_(std::move(msg)), err_(std::move(err)) {}
  std::string message() const override;

 private:
  std::string msg_;
  json::JsonError err_;
};

struct WorkspaceValidationVariants {
  struct InvalidIri { std::string iri; iri::IriError err; };
  using Sum = std::variant<InvalidIri>;
};
class WorkspaceValidationError : public ErrorSum<WorkspaceValidationError, WorkspaceValidationVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidIri& v);
};

// The workspace file cannot be used.
struct WorkspaceVariants {
  struct Io { FsIoError err; };
  struct Deserialize { WorkspaceDeserializationError err; };
  struct Validation { std::string path; WorkspaceValidationError err; };
  using Sum = std::variant<Io, Deserialize, Validation>;
};
class WorkspaceError : public ErrorSum<WorkspaceError, WorkspaceVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const Deserialize& v);
  static std::string text_of(const Validation& v);
  static const Error* cause_of(const Deserialize& v) { return &v.err; }
};

}  // namespace kestro::env
