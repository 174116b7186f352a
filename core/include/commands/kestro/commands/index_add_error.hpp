// Errors of the local index commands that create an index and add versions
// to it: `index init` and `index add`, with the suggestion each form of the
// add command's error shows after its text.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <optional>
#include <string>
#include <variant>

#include "kestro/model/identifiers.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::commands {

struct IndexInitVariants {
  // `index.json` is there already.
  struct Exists {};
  // Creating the root or writing `index.json` failed.
  struct Write { FsIoError err; };
  using Sum = std::variant<Exists, Write>;
};
class IndexInitError : public ErrorSum<IndexInitError, IndexInitVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Exists&) { return "`kestro index init` cannot be run on an existing index"; }
  static std::string text_of(const Write&) { return "failed to write index.json"; }
  static const Error* cause_of(const Write& v) { return &v.err; }
};

// Paths in these payloads are display texts; `kpar` is the archive's
// absolute path, `iri` the project's index identifier text unless said
// otherwise.
struct IndexAddVariants {
  struct IndexRootNotFound { std::string index_root; };
  struct NotAnIndex { FsIoError source; };
  struct Io { FsIoError err; };
  // A write into the new version directory failed and the directory was
  // removed again.
  struct CleanedUp { FsIoError source; };
  struct CleanupFailed { FsIoError cleanup; FsIoError source; };
  struct InvalidJsonFile { std::string path; json::JsonError source; };
  struct MissingInfo { std::string kpar; };
  struct MissingMeta { std::string kpar; };
  struct Kpar { LocalKparError err; };
  struct InvalidKpar { std::string kpar; ProjectValidationError source; };
  // `proposal`: the version without its build metadata.
  struct BuildMetadata { std::string version; std::string kpar; std::string proposal; };
  struct InvalidIri { IndexIriError err; };
  struct InvalidField { IndexFieldError err; };
  // `iri` is the IRI argument as given; `field` the one it names.
  struct NameDiffers { std::string iri; std::string field; std::string normalized; };
  struct PublisherDiffers { std::string iri; std::string field; std::string normalized; };
  struct IriNeedsPublisher { std::string iri; std::string publisher; };
  struct IriUnclear {};
  struct ProjectRemoved { std::string iri; };
  struct ProjectTwice { std::string iri; };
  struct InvalidVersion { std::string path; std::string version; semver::SemverError source; };
  struct DuplicateVersion { std::string path; std::string version; };
  struct VersionExists { std::string iri; std::string version; };
  struct VersionYanked { std::string iri; std::string version; };
  struct VersionRemoved { std::string iri; std::string version; };
  // `dir`: the project's directory inside the archive.
  struct NotAtRoot { std::string kpar; std::string dir; };
  using Sum = std::variant<IndexRootNotFound, NotAnIndex, Io, CleanedUp, CleanupFailed, InvalidJsonFile, MissingInfo,
                           MissingMeta, Kpar, InvalidKpar, BuildMetadata, InvalidIri, InvalidField, NameDiffers,
                           PublisherDiffers, IriNeedsPublisher, IriUnclear, ProjectRemoved, ProjectTwice,
                           InvalidVersion, DuplicateVersion, VersionExists, VersionYanked, VersionRemoved, NotAtRoot>;
};

class IndexAddError : public ErrorSum<IndexAddError, IndexAddVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const IndexRootNotFound& v);
  static std::string text_of(const NotAnIndex& v);
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const CleanedUp&) { return "adding version failed; no files changed"; }
  static std::string text_of(const CleanupFailed& v);
  static std::string text_of(const InvalidJsonFile& v);
  static std::string text_of(const MissingInfo& v);
  static std::string text_of(const MissingMeta& v);
  static std::string text_of(const Kpar& v) { return v.err.message(); }
  static std::string text_of(const InvalidKpar& v);
  static std::string text_of(const BuildMetadata& v);
  static std::string text_of(const InvalidIri& v) { return v.err.message(); }
  static std::string text_of(const InvalidField& v) { return v.err.message(); }
  static std::string text_of(const NameDiffers& v);
  static std::string text_of(const PublisherDiffers& v);
  static std::string text_of(const IriNeedsPublisher& v);
  static std::string text_of(const IriUnclear& v);
  static std::string text_of(const ProjectRemoved& v);
  static std::string text_of(const ProjectTwice& v);
  static std::string text_of(const InvalidVersion& v);
  static std::string text_of(const DuplicateVersion& v);
  static std::string text_of(const VersionExists& v);
  static std::string text_of(const VersionYanked& v);
  static std::string text_of(const VersionRemoved& v);
  static std::string text_of(const NotAtRoot& v);
  static const Error* cause_of(const NotAnIndex& v) { return &v.source; }
  static const Error* cause_of(const CleanedUp& v) { return &v.source; }
  static const Error* cause_of(const CleanupFailed& v) { return &v.source; }
  static const Error* cause_of(const InvalidJsonFile& v) { return &v.source; }
  static const Error* cause_of(const Kpar& v) { return v.err.cause(); }
  static const Error* cause_of(const InvalidKpar& v) { return &v.source; }
  static const Error* cause_of(const InvalidIri& v) { return v.err.cause(); }
  static const Error* cause_of(const InvalidField& v) { return v.err.cause(); }
  static const Error* cause_of(const InvalidVersion& v) { return &v.source; }
};

// What the user can do about the failure, shown after it as a note; none
// for the forms that have no advice.
std::optional<std::string> index_add_suggestion(const IndexAddError& err);

// The advice of a broken JSON file in an index, shared by every index
// command.
inline constexpr const char* kInvalidIndexJsonSuggestion =
    "either fix the JSON file to be valid or recreate the index\nfrom the same kpar archives";

}  // namespace kestro::commands
