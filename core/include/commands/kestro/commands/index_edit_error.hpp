// Errors of the local index commands that edit an index in place: `index
// yank` and `index remove`.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <string>
#include <variant>

#include <fmt/format.h>

#include "kestro/model/identifiers.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::commands {

// The variants `index yank` and `index remove` share, with their texts.
struct IndexEditVariants {
  struct IndexRootNotFound { std::string index_root; };
  struct NotAnIndex { std::string index_root; FsIoError source; };
  struct ProjectNotFound { std::string iri; };
  struct Io { FsIoError err; };
  struct InvalidJsonFile { std::string path; json::JsonError source; };
  struct InvalidIri { IndexIriError err; };
  struct VersionRemoved { std::string iri; std::string version; };
  struct VersionNotFound { std::string iri; std::string version; };

  static std::string text_of(const IndexRootNotFound& v) {
    return fmt::format("index root directory `{}` not found", v.index_root);
  }
  static std::string text_of(const NotAnIndex& v) {
    return fmt::format(
        "directory `{}` is not an index as it doesn't have {} file; make sure you run `kestro index init` in this "
        "directory before adding any packages",
        v.index_root, "index.json");
  }
  static std::string text_of(const ProjectNotFound& v) { return fmt::format("Project {} doesn't exist", v.iri); }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const InvalidJsonFile& v) {
    return fmt::format("patching json `{}` failed as the current contents are invalid", v.path);
  }
  static std::string text_of(const InvalidIri& v) { return v.err.message(); }
  static std::string text_of(const VersionRemoved& v) {
    return fmt::format("{} version {} is removed so it cannot be yanked; removed version can only stay removed", v.iri,
                       v.version);
  }
  static std::string text_of(const VersionNotFound& v) {
    return fmt::format("{} version {} does not exist", v.iri, v.version);
  }
  static const Error* cause_of(const NotAnIndex& v) { return &v.source; }
  static const Error* cause_of(const InvalidJsonFile& v) { return &v.source; }
  static const Error* cause_of(const InvalidIri& v) { return v.err.cause(); }
};

struct IndexYankVariants : IndexEditVariants {
  using Sum = std::variant<IndexRootNotFound, NotAnIndex, ProjectNotFound, Io, InvalidJsonFile, InvalidIri,
                           VersionRemoved, VersionNotFound>;
};
class IndexYankError : public ErrorSum<IndexYankError, IndexYankVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// Removing never meets a removed version: no `VersionRemoved`.
struct IndexRemoveVariants : IndexEditVariants {
  using Sum = std::variant<IndexRootNotFound, NotAnIndex, ProjectNotFound, Io, InvalidJsonFile, InvalidIri,
                           VersionNotFound>;
};
class IndexRemoveError : public ErrorSum<IndexRemoveError, IndexRemoveVariants> {
 public:
  using ErrorSum::ErrorSum;
};

}  // namespace kestro::commands
