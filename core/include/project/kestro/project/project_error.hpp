// Errors of the project kinds. The kinds share variant shapes (a name
// mismatch reads the same whichever kind meets it): the shapes are defined
// once and each kind's error is a closed sum over the ones it can meet.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "kestro/model/validation.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/project/kpar_error.hpp"
#include "kestro/project/paths.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::project {

// The variant shapes the project kinds' errors share, each with its display
// text, debug form and cause; a kind's error is the closed sum of the shapes
// it can meet.
struct ProjectErrorShapes {
  struct AlreadyExists {
    std::string text;
  };
  struct MissingMeta {};
  struct MissingInfoMeta {};
  struct MissingInfo {};
  // `file` is the bare document name, ".project.json" or ".meta.json".
  struct Deserialize {
    std::string file;
    json::JsonError err;
  };
  // `context` names what was being written; `err` is the write's failure.
  struct Serialize {
    std::string context;
    IoError err;
  };
  struct Path {
    PathCheckError err;
  };
  struct Io {
    FsIoError err;
  };
  struct Zip {
    ZipArchiveError err;
  };
  struct ImpossibleRelativePath {
    RelativizeError err;
  };
  struct PublisherMismatch {
    std::optional<std::string> expected;
    std::optional<std::string> actual;
  };
  struct NameMismatch {
    std::string expected;
    std::string actual;
  };
  struct NotFound {
    std::string path;
  };
  struct DigestMismatch {
    std::string location;
    std::string expected;
    std::string computed;
  };
  struct SizeMismatch {
    std::string location;
    std::uint64_t expected;
    std::uint64_t actual;
  };
  struct EmptyKpar {
    std::string location;
  };
  struct FileNotFound {
    std::string path;
  };
  struct IoRead {
    IoError err;
  };
  struct Other {
    std::string text;
  };

  static std::string text_of(const AlreadyExists& v) { return v.text; }
  static std::string text_of(const MissingMeta&);
  static std::string text_of(const MissingInfoMeta&);
  static std::string text_of(const MissingInfo&);
  static std::string text_of(const Deserialize& v);
  static std::string text_of(const Serialize& v);
  static std::string text_of(const Path& v) { return v.err.message(); }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const Zip& v) { return v.err.message(); }
  static std::string text_of(const ImpossibleRelativePath& v);
  static std::string text_of(const PublisherMismatch& v);
  static std::string text_of(const NameMismatch& v);
  static std::string text_of(const NotFound& v);
  static std::string text_of(const DigestMismatch& v);
  static std::string text_of(const SizeMismatch& v);
  static std::string text_of(const EmptyKpar& v);
  static std::string text_of(const FileNotFound& v);
  static std::string text_of(const IoRead& v);
  static std::string text_of(const Other& v) { return v.text; }

  static std::string debug_of(const AlreadyExists& v);
  static std::string debug_of(const MissingMeta&) { return "MissingMeta"; }
  static std::string debug_of(const MissingInfoMeta&) { return "MissingInfoMeta"; }
  static std::string debug_of(const MissingInfo&) { return "MissingInfo"; }
  static std::string debug_of(const Deserialize& v);
  static std::string debug_of(const Serialize& v);
  static std::string debug_of(const Path& v) { return "Path(" + v.err.debug() + ")"; }
  static std::string debug_of(const Io& v) { return "Io(" + v.err.debug() + ")"; }
  static std::string debug_of(const Zip& v) { return "Zip(" + v.err.debug() + ")"; }
  static std::string debug_of(const ImpossibleRelativePath& v) {
    return "ImpossibleRelativePath(" + v.err.debug() + ")";
  }
  static std::string debug_of(const PublisherMismatch& v);
  static std::string debug_of(const NameMismatch& v);
  static std::string debug_of(const NotFound& v);
  static std::string debug_of(const DigestMismatch& v);
  static std::string debug_of(const SizeMismatch& v);
  static std::string debug_of(const EmptyKpar& v);
  static std::string debug_of(const FileNotFound& v);
  static std::string debug_of(const IoRead& v) { return "IoRead(" + v.err.debug() + ")"; }
  static std::string debug_of(const Other& v);

  // The relativize and reader errors show in the text and as the cause.
  static const Error* cause_of(const ImpossibleRelativePath& v) { return &v.err; }
  static const Error* cause_of(const IoRead& v) { return &v.err; }
};

// "unexpected internal error: {}": a variant that a converted-to kind cannot
// express, with the original message.
ProjectErrorShapes::Other unexpected_internal(const Error& err);

// The error of a project stored as a directory tree.
struct LocalSrcVariants : ProjectErrorShapes {
  using Sum = std::variant<AlreadyExists, MissingMeta, MissingInfoMeta, Deserialize, Serialize, Path, Io,
                           ImpossibleRelativePath, PublisherMismatch, NameMismatch>;
};
class LocalSrcError : public ErrorSum<LocalSrcError, LocalSrcVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// The error of a project stored as a KPAR archive.
struct LocalKparVariants : ProjectErrorShapes {
  using Sum = std::variant<Zip, NotFound, Deserialize, Io, ImpossibleRelativePath, DigestMismatch, SizeMismatch,
                           EmptyKpar, PublisherMismatch, NameMismatch, MissingInfo>;
};
class LocalKparError : public ErrorSum<LocalKparError, LocalKparVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// The error of a project held in memory.
struct InMemoryProjectVariants : ProjectErrorShapes {
  using Sum = std::variant<AlreadyExists, FileNotFound, IoRead, MissingInfoMeta>;
};
class InMemoryProjectError : public ErrorSum<InMemoryProjectError, InMemoryProjectVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// The error of a local path that is either a source directory or a KPAR.
struct LocalPathProjectVariants : ProjectErrorShapes {
  // A whole source-directory error, shown as it is (its text and its cause).
  struct LocalSrc {
    LocalSrcError err;
  };
  using Sum = std::variant<Zip, NotFound, Deserialize, LocalSrc, Io, Path, ImpossibleRelativePath, DigestMismatch,
                           SizeMismatch, EmptyKpar, PublisherMismatch, NameMismatch, MissingInfo, Other>;

  using ProjectErrorShapes::cause_of;
  using ProjectErrorShapes::debug_of;
  using ProjectErrorShapes::text_of;
  static std::string text_of(const LocalSrc& v) { return v.err.message(); }
  static std::string debug_of(const LocalSrc& v) { return "LocalSrc(" + v.err.debug() + ")"; }
  static const Error* cause_of(const LocalSrc& v) { return v.err.cause(); }
};
class LocalPathProjectError : public ErrorSum<LocalPathProjectError, LocalPathProjectVariants> {
 public:
  using ErrorSum::ErrorSum;

  // A KPAR's error, variant by variant.
  static LocalPathProjectError from_kpar(const LocalKparError& err);
  // A source directory's error from reading records or files: Deserialize
  // and Path keep their variant, AlreadyExists cannot occur there and
  // becomes Other, everything else is held whole in LocalSrc.
  static LocalPathProjectError from_src_read(LocalSrcError err);
  // A source directory's error from sources or checksums: held whole.
  static LocalPathProjectError from_src(LocalSrcError err) { return LocalSrc{std::move(err)}; }
};

// Converts one kind's error into another's, variant by variant under the
// same name; a variant the target cannot express becomes its Other with
// "unexpected internal error: {}".
template <typename Target, typename Source>
Target convert_project_error(const Source& err) {
  return err.visit([&](const auto& v) -> Target {
    if constexpr (std::is_constructible_v<Target, decltype(v)>)
      return Target(v);
    else
      return Target(unexpected_internal(err));
  });
}

struct ProjectSourcesVariants {
  // Reading the project's records failed; shown as it is.
  struct Project {
    LocalSrcError err;
  };
  // `name` is the record's short name ("meta"); `source` its validation error.
  struct Validation {
    std::string name;
    ProjectValidationError source;
  };
  struct Path {
    PathCheckError err;
  };
  using Sum = std::variant<Project, Validation, Path>;
};

// The error of listing a source project's files.
class ProjectSourcesError : public ErrorSum<ProjectSourcesError, ProjectSourcesVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Project& v) { return v.err.message(); }
  static std::string text_of(const Validation& v);
  static std::string text_of(const Path& v) { return v.err.message(); }
  static std::string debug_of(const Project& v) { return "Project(" + v.err.debug() + ")"; }
  static std::string debug_of(const Validation& v);
  static std::string debug_of(const Path& v) { return "Path(" + v.err.debug() + ")"; }
  static const Error* cause_of(const Project& v) { return v.err.cause(); }
  static const Error* cause_of(const Validation& v) { return &v.source; }
};

}  // namespace kestro::project
