// Errors of the project-editing commands (set a usage's constraint, include,
// exclude, init, add, remove, info, build), of locating a project from the
// command line, and of the small command inputs (configured source
// overrides, include paths, dependency modes).
// The editing commands are parameterised by the error type `E` of the
// project kind they work on; `Project` wraps it transparently.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include <fmt/format.h>

#include "kestro/credentials/credential_store_error.hpp"
#include "kestro/env/env_error.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/remote/kpar_download.hpp"
#include "kestro/remote/remote_git_error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/semver.hpp"
#include "kestro/utils/zip_reader.hpp"

namespace kestro::commands {

// Variants shared by the editing commands, with their texts.
template <typename E>
struct CommandShapes {
  struct Project { E err; };
  struct Io { FsIoError err; };
  struct Validation { ProjectValidationError err; };
  static std::string text_of(const Project& v) { return v.err.message(); }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const Validation& v) { return v.err.message(); }
  static const Error* cause_of(const Project& v) { return v.err.cause(); }
  static const Error* cause_of(const Validation& v) { return v.err.cause(); }
};

// Setting the version constraint of one usage in `.project.json`. `kind` is
// a usage kind name ("directory", ...).
struct UsageConstraintVariants {
  struct InvalidConstraint { std::string constraint; semver::SemverError err; };
  struct MalformedUsage { ProjectValidationError err; };
  struct NotAnObject {};
  struct UsageNotAnArray {};
  struct Ambiguous { std::string resource; std::size_t count; };
  struct UsageCannotHoldConstraint { std::string identifier; std::string kind; };
  using Sum = std::variant<InvalidConstraint, MalformedUsage, NotAnObject, UsageNotAnArray, Ambiguous,
                           UsageCannotHoldConstraint>;
};
class UsageConstraintError : public ErrorSum<UsageConstraintError, UsageConstraintVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidConstraint& v) {
    return fmt::format("`{}` is not a valid version requirement", v.constraint);
  }
  static std::string text_of(const MalformedUsage& v) { return v.err.message(); }
  static std::string text_of(const NotAnObject&) { return "`.project.json` is not a JSON object"; }
  static std::string text_of(const UsageNotAnArray&) {
    return "`usage` is present in `.project.json` but is not an array";
  }
  static std::string text_of(const Ambiguous& v) {
    return fmt::format("`{}` is declared {} times in `.project.json`; refusing to guess", v.resource, v.count);
  }
  static std::string text_of(const UsageCannotHoldConstraint& v) {
    return fmt::format(
        "`{}` is declared as a {} usage, which carries no\nversion constraint: it always resolves to the single "
        "version found there",
        v.identifier, v.kind);
  }
  static const Error* cause_of(const InvalidConstraint& v) { return &v.err; }
  static const Error* cause_of(const MalformedUsage& v) { return v.err.cause(); }
};

struct SetUsageConstraintVariants {
  struct Edit { UsageConstraintError err; };
  struct Project { LocalSrcError err; };
  using Sum = std::variant<Edit, Project>;
};
class SetUsageConstraintError : public ErrorSum<SetUsageConstraintError, SetUsageConstraintVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Edit& v) { return v.err.message(); }
  static std::string text_of(const Project& v) { return v.err.message(); }
  static const Error* cause_of(const Edit& v) { return v.err.cause(); }
  static const Error* cause_of(const Project& v) { return v.err.cause(); }
};

inline constexpr const char* kUnknownFormat =
    "unknown file format of `{}`, only SysML v2 (.sysml) and KerML (.kerml) files are supported";

template <typename E>
struct IncludeVariants : CommandShapes<E> {
  using typename CommandShapes<E>::Project;
  using typename CommandShapes<E>::Io;
  struct Extract { std::string path; std::string extract_error; };
  struct UnknownFormat { std::string path; };
  using Sum = std::variant<Project, Io, Extract, UnknownFormat>;
  using CommandShapes<E>::text_of;
  static std::string text_of(const Extract& v) {
    return fmt::format("failed to extract symbol names from `{}`: {}", v.path, v.extract_error);
  }
  static std::string text_of(const UnknownFormat& v) { return fmt::format(fmt::runtime(kUnknownFormat), v.path); }
};
template <typename E>
class IncludeError : public ErrorSum<IncludeError<E>, IncludeVariants<E>> {
 public:
  using ErrorSum<IncludeError<E>, IncludeVariants<E>>::ErrorSum;
};

template <typename E>
struct ExcludeVariants : CommandShapes<E> {
  using typename CommandShapes<E>::Project;
  using typename CommandShapes<E>::Io;
  struct SourceNotFound { std::string path; };
  struct MissingMeta {};
  using Sum = std::variant<Project, Io, SourceNotFound, MissingMeta>;
  using CommandShapes<E>::text_of;
  static std::string text_of(const SourceNotFound& v) {
    return fmt::format("could not find file `{}` in project metadata", v.path);
  }
  static std::string text_of(const MissingMeta&) { return "project is missing metadata file `.meta.json`"; }
};
template <typename E>
class ExcludeError : public ErrorSum<ExcludeError<E>, ExcludeVariants<E>> {
 public:
  using ErrorSum<ExcludeError<E>, ExcludeVariants<E>>::ErrorSum;
};

template <typename E>
struct InitVariants : CommandShapes<E> {
  using typename CommandShapes<E>::Project;
  struct SemVerParse { std::string version; std::string parse_error; };
  struct SPDXLicenseParse { std::string license; std::string parse_error; };
  using Sum = std::variant<SemVerParse, Project, SPDXLicenseParse>;
  using CommandShapes<E>::text_of;
  static std::string text_of(const SemVerParse& v) {
    return fmt::format("failed to parse `{}` as a Semantic Version: {}", v.version, v.parse_error);
  }
  static std::string text_of(const SPDXLicenseParse& v) {
    return fmt::format("failed to parse `{}` as an SPDX license expression:\n{}", v.license, v.parse_error);
  }
};
template <typename E>
class InitError : public ErrorSum<InitError<E>, InitVariants<E>> {
 public:
  using ErrorSum<InitError<E>, InitVariants<E>>::ErrorSum;
};

// `existing` and `new_kind` are usage kind names.
template <typename E>
struct AddVariants : CommandShapes<E> {
  using typename CommandShapes<E>::Project;
  using typename CommandShapes<E>::Validation;
  struct MissingInfo { std::string what; };
  struct DuplicateIdentifier { std::string identifier; std::string existing; std::string new_kind; };
  using Sum = std::variant<Project, Validation, MissingInfo, DuplicateIdentifier>;
  using CommandShapes<E>::text_of;
  static std::string text_of(const MissingInfo& v) { return "missing project information: " + v.what; }
  static std::string text_of(const DuplicateIdentifier& v) {
    return fmt::format("`{}` is already declared as a {} usage;\nremove it before adding it as a {} usage", v.identifier,
                       v.existing, v.new_kind);
  }
};
template <typename E>
class AddError : public ErrorSum<AddError<E>, AddVariants<E>> {
 public:
  using ErrorSum<AddError<E>, AddVariants<E>>::ErrorSum;
};

template <typename E>
struct RemoveVariants : CommandShapes<E> {
  using typename CommandShapes<E>::Project;
  using typename CommandShapes<E>::Validation;
  struct UsageNotFound { std::string identifier; };
  struct ExpUsageNotFound { std::string publisher; std::string name; };
  struct UsageIsTyped { std::string identifier; std::string kind; };
  struct MissingInfo {};
  using Sum = std::variant<Project, Validation, UsageNotFound, ExpUsageNotFound, UsageIsTyped, MissingInfo>;
  using CommandShapes<E>::text_of;
  static std::string text_of(const UsageNotFound& v) { return fmt::format("could not find usage for `{}`", v.identifier); }
  static std::string text_of(const ExpUsageNotFound& v) {
    return fmt::format("could not find usage for `{}/{}`", v.publisher, v.name);
  }
  static std::string text_of(const UsageIsTyped& v) {
    return fmt::format(
        "`{}` is declared as a {} usage, not as a resource usage;\nremove it with `kestro experimental remove "
        "<publisher> <name>`",
        v.identifier, v.kind);
  }
  static std::string text_of(const MissingInfo&) { return "project is missing project information"; }
};
template <typename E>
class RemoveError : public ErrorSum<RemoveError<E>, RemoveVariants<E>> {
 public:
  using ErrorSum<RemoveError<E>, RemoveVariants<E>>::ErrorSum;
};

template <typename E>
struct InfoVariants {
  struct MissingProject {};
  struct MissingInfo {};
  struct MissingMeta {};
  struct InvalidProject { E err; };
  using Sum = std::variant<MissingProject, MissingInfo, MissingMeta, InvalidProject>;
  static std::string text_of(const MissingProject&) { return "project is missing"; }
  static std::string text_of(const MissingInfo&) { return "project has .meta.json but not .project.json"; }
  static std::string text_of(const MissingMeta&) { return "project has .project.json but not .meta.json"; }
  static std::string text_of(const InvalidProject& v) { return v.err.message(); }
  static const Error* cause_of(const InvalidProject& v) { return v.err.cause(); }
};
template <typename E>
class InfoError : public ErrorSum<InfoError<E>, InfoVariants<E>> {
 public:
  using ErrorSum<InfoError<E>, InfoVariants<E>>::ErrorSum;
};

// Building a KPAR archive failed. `Validation::name` is "project" or "meta".
struct KParBuildVariants {
  struct ProjectRead { LocalSrcError err; };
  struct WorkspaceRead { WorkspaceError err; };
  struct Io { FsIoError err; };
  struct Validation { std::string name; ProjectValidationError source; };
  struct Extract { std::string text; };
  struct UnknownFormat { std::string path; };
  struct MissingInfoMeta {};
  struct MissingInfo {};
  struct MissingMeta {};
  struct Zip { ZipArchiveError err; };
  struct Serialize { std::string what; std::string json_error; };
  struct PathUsage { std::string usage; };
  struct WorkspaceMetamodelConflict { std::string workspace_metamodel; std::string project_metamodel; std::string project_path; };
  struct MissingIndexSymbol { std::string path; std::string symbol; };
  using Sum = std::variant<ProjectRead, WorkspaceRead, Io, Validation, Extract, UnknownFormat, MissingInfoMeta,
                           MissingInfo, MissingMeta, Zip, Serialize, PathUsage, WorkspaceMetamodelConflict,
                           MissingIndexSymbol>;
};
class KParBuildError : public ErrorSum<KParBuildError, KParBuildVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const ProjectRead& v) { return v.err.message(); }
  static std::string text_of(const WorkspaceRead& v) { return v.err.message(); }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const Validation& v) { return fmt::format("project's `.{}.json` is invalid", v.name); }
  static std::string text_of(const Extract& v) { return v.text; }
  static std::string text_of(const UnknownFormat& v) { return fmt::format(fmt::runtime(kUnknownFormat), v.path); }
  static std::string text_of(const MissingInfoMeta&);
  static std::string text_of(const MissingInfo&) { return "missing project info file `.project.json`"; }
  static std::string text_of(const MissingMeta&) { return "missing project metadata file `.meta.json`"; }
  static std::string text_of(const Zip& v) { return v.err.message(); }
  static std::string text_of(const Serialize& v);
  static std::string text_of(const PathUsage& v);
  static std::string text_of(const WorkspaceMetamodelConflict& v);
  static std::string text_of(const MissingIndexSymbol& v);
  static const Error* cause_of(const ProjectRead& v) { return v.err.cause(); }
  static const Error* cause_of(const WorkspaceRead& v) { return v.err.cause(); }
  static const Error* cause_of(const Validation& v) { return &v.source; }
};

// The command line cannot locate the project a command works on.
// `InvalidProject::source` is the info error of reading the found project,
// of whichever kind the project is; the locator that raises it is not built
// yet, so the set of kinds is open and the field stays a shared error value.
struct ProjectLocatorVariants {
  struct InvalidDirectory { std::string dir; };
  struct NoResolve { std::string iri; };
  struct InvalidProject { std::string iri; ErrorPtr source; };
  struct InvalidIri { std::string iri; std::string parse_error; };
  struct MissingProject { std::string what; };
  struct MissingProjectVersion { std::string iri; std::string version; };
  struct OnlyPrereleaseVersions { std::string iri; std::string versions; };
  struct MissingProjectCurrentDir {};
  struct MissingPublisherForUsage { std::string project; };
  using Sum = std::variant<InvalidDirectory, NoResolve, InvalidProject, InvalidIri, MissingProject,
                           MissingProjectVersion, OnlyPrereleaseVersions, MissingProjectCurrentDir,
                           MissingPublisherForUsage>;
};
class ProjectLocatorError : public ErrorSum<ProjectLocatorError, ProjectLocatorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidDirectory& v) { return "invalid directory: " + v.dir; }
  static std::string text_of(const NoResolve& v) { return fmt::format("unable to find project with IRI `{}`", v.iri); }
  static std::string text_of(const InvalidProject& v) { return fmt::format("invalid project with IRI `{}`", v.iri); }
  static std::string text_of(const InvalidIri& v) { return fmt::format("invalid IRI `{}`: {}", v.iri, v.parse_error); }
  static std::string text_of(const MissingProject& v) {
    return fmt::format("unable to find interchange project `{}`", v.what);
  }
  static std::string text_of(const MissingProjectVersion& v) {
    return fmt::format("unable to find interchange project `{}` version {}", v.iri, v.version);
  }
  static std::string text_of(const OnlyPrereleaseVersions& v);
  static std::string text_of(const MissingProjectCurrentDir&) {
    return "unable to find interchange project in current directory";
  }
  static std::string text_of(const MissingPublisherForUsage& v);
  static const Error* cause_of(const InvalidProject& v) { return v.source.get(); }
};

// A source configured in `kestro.toml` cannot be turned into a project. The
// remote kinds' errors are held as error values of their own.
struct ConfigOverrideVariants {
  struct UnsupportedSource { std::string source; };
  struct LocalKpar { FsIoError err; };
  struct RemoteKpar { remote::RemoteKparError err; };
  struct IndexKpar { remote::RemoteKparError err; };
  // The parser's error for the source's kind (a URL or a git address); a
  // shared error value until the override reading that raises it is built
  // and fixes which parsers it runs.
  struct UrlParse { std::string url; ErrorPtr source; };
  struct RemoteGit { remote::RemoteGitError err; };
  using Sum = std::variant<UnsupportedSource, LocalKpar, RemoteKpar, IndexKpar, UrlParse, RemoteGit>;
};
class ConfigOverrideError : public ErrorSum<ConfigOverrideError, ConfigOverrideVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const UnsupportedSource& v) { return "unsupported source\n" + v.source; }
  static std::string text_of(const LocalKpar& v) { return v.err.message(); }
  static std::string text_of(const RemoteKpar& v) { return v.err.message(); }
  static std::string text_of(const IndexKpar& v) { return v.err.message(); }
  static std::string text_of(const UrlParse& v) { return fmt::format("failed to parse project url `{}`", v.url); }
  static std::string text_of(const RemoteGit& v) { return v.err.message(); }
  static const Error* cause_of(const RemoteKpar& v) { return v.err.cause(); }
  static const Error* cause_of(const IndexKpar& v) { return v.err.cause(); }
  static const Error* cause_of(const UrlParse& v) { return v.source.get(); }
  static const Error* cause_of(const RemoteGit& v) { return v.err.cause(); }
};

// A path given to `include` or `exclude` cannot be used.
struct IncludePathVariants {
  struct Canonicalize { std::string path; IoError io; };
  struct PathOutsideProject { std::string path; };
  using Sum = std::variant<Canonicalize, PathOutsideProject>;
};
class IncludePathError : public ErrorSum<IncludePathError, IncludePathVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Canonicalize& v) {
    return fmt::format("failed to canonicalize\n  `{}`:\n  {}", v.path, v.io.message());
  }
  static std::string text_of(const PathOutsideProject& v) {
    return fmt::format("path `{}`\n  is outside the project directory", v.path);
  }
};

// A dependencies mode that is not one of the accepted names.
class DependenciesParseError : public Error {
 public:
  explicit DependenciesParseError(std::string mode) : mode_(std::move(mode)) {}
  std::string message() const override { return fmt::format("invalid dependencies mode `{}`", mode_); }

 private:
  std::string mode_;
};

}  // namespace kestro::commands
