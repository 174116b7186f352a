// Errors of installing projects into the environment directory and of
// creating it. The install layers are parameterised by the error type `E`
// of the project kind being installed. None of the install layers reports a
// cause: inner errors are shown inside the one head line.
#pragma once

#include "kestro/env/namespace.hpp"

#include <string>
#include <variant>

#include <fmt/format.h>

#include "kestro/env/env_error.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/iri.hpp"

namespace kestro::env {

// The copy step of one project failed. `IncompleteSource` says which record
// is missing.
template <typename E>
struct InstallationVariants {
  struct ProjectRead { E err; };
  struct EnvWrite { LocalSrcError err; };
  struct IncompleteSource { std::string what; };
  struct Io { FsIoError err; };
  using Sum = std::variant<ProjectRead, EnvWrite, IncompleteSource, Io>;

  static std::string text_of(const ProjectRead& v) { return "project read error: " + v.err.message(); }
  static std::string text_of(const EnvWrite& v) { return "environment write error: " + v.err.message(); }
  static std::string text_of(const IncompleteSource& v) { return "incomplete project: " + v.what; }
  static std::string text_of(const Io& v) { return v.err.message(); }
};
template <typename E>
class InstallationError : public ErrorSum<InstallationError<E>, InstallationVariants<E>> {
 public:
  using ErrorSum<InstallationError<E>, InstallationVariants<E>>::ErrorSum;
};

// Putting one project into the environment failed.
template <typename E>
struct EnvPutVariants {
  struct Write { LocalDirectoryEnvWriteError err; };
  struct Callback { InstallationError<E> err; };
  struct IriParse { std::string iri; iri::IriError err; };
  using Sum = std::variant<Write, Callback, IriParse>;

  static std::string text_of(const Write& v) { return v.err.message(); }
  static std::string text_of(const Callback& v) { return v.err.message(); }
  static std::string text_of(const IriParse& v) {
    return fmt::format("failed to parse `{}` as IRI: {}", v.iri, v.err.message());
  }
  static const Error* cause_of(const Write& v) { return v.err.cause(); }
};
template <typename E>
class EnvPutError : public ErrorSum<EnvPutError<E>, EnvPutVariants<E>> {
 public:
  using ErrorSum<EnvPutError<E>, EnvPutVariants<E>>::ErrorSum;
};

// Installing a project failed. No variant has a cause.
template <typename E>
struct EnvInstallVariants {
  struct AlreadyInstalled { std::string iri; };
  struct AlreadyInstalledVersion { std::string iri; std::string version; };
  struct AlreadyInstalledUnknownVersion { std::string iri; };
  struct EnvRead { LocalDirectoryEnvReadError err; };
  struct ProjectRead { E err; };
  struct MissingSpec {};
  struct Installation { EnvPutError<E> err; };
  using Sum = std::variant<AlreadyInstalled, AlreadyInstalledVersion, AlreadyInstalledUnknownVersion, EnvRead,
                           ProjectRead, MissingSpec, Installation>;

  static std::string text_of(const AlreadyInstalled& v) {
    return fmt::format("project with IRI `{}` is already installed", v.iri);
  }
  static std::string text_of(const AlreadyInstalledVersion& v) {
    return fmt::format("project with IRI `{}` already has version `{}` installed", v.iri, v.version);
  }
  static std::string text_of(const AlreadyInstalledUnknownVersion& v) {
    return fmt::format("unknown version of project with IRI `{}` is already installed", v.iri);
  }
  static std::string text_of(const EnvRead& v) { return "environment read error: " + v.err.message(); }
  static std::string text_of(const ProjectRead& v) { return "project read error: " + v.err.message(); }
  static std::string text_of(const MissingSpec&) { return "missing spec error"; }
  static std::string text_of(const Installation& v) { return "project installation error: " + v.err.message(); }
};
template <typename E>
class EnvInstallError : public ErrorSum<EnvInstallError<E>, EnvInstallVariants<E>> {
 public:
  using ErrorSum<EnvInstallError<E>, EnvInstallVariants<E>>::ErrorSum;
};

// Creating an environment directory failed. The write error shows in the
// head line and again as the cause.
struct EnvCreateVariants {
  struct AlreadyExists { std::string path; };
  struct Write { LocalDirectoryEnvWriteError err; };
  using Sum = std::variant<AlreadyExists, Write>;
};
class EnvCreateError : public ErrorSum<EnvCreateError, EnvCreateVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const AlreadyExists& v) { return fmt::format("refusing to overwrite `{}`", v.path); }
  static std::string text_of(const Write& v) { return "environment write error: " + v.err.message(); }
  static const Error* cause_of(const Write& v) { return &v.err; }
};

}  // namespace kestro::env
