// Validation of project records: raw records as read become typed records,
// or the first broken rule is reported. Nothing is repaired or defaulted.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <variant>

#include "kestro/model/purl.hpp"
#include "kestro/model/records.hpp"
#include "kestro/model/relative_path.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/iri.hpp"
#include "kestro/utils/rfc3339.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::model {

using InterchangeProjectUsage = InterchangeProjectUsageG<iri::Iri, semver::VersionReq, std::string>;
using InterchangeProjectInfo = InterchangeProjectInfoG<semver::Version, iri::Iri, InterchangeProjectUsage>;
using InterchangeProjectMetadata = InterchangeProjectMetadataG<time::Timestamp, iri::Iri, InterchangeProjectChecksum>;

// The variants of ProjectValidationError: the offending text as written
// and, where a parser rejected it, that parser's error (the cause).
struct ProjectValidationVariants {
  // `keys`: the usage's keys as listed in the message.
  struct UnknownUsageKind {
    std::string keys;
  };
  struct InvalidWebsite {
    std::string website;
    iri::IriError source;
  };
  struct InvalidUsageResource {
    std::string resource;
    iri::IriError source;
  };
  struct InvalidMetamodel {
    std::string metamodel;
    iri::IriError source;
  };
  struct InvalidProjectVersion {
    std::string version;
    semver::SemverError source;
  };
  struct InvalidUsageVersionConstraint {
    std::string resource;
    std::string constraint;
    semver::SemverError source;
  };
  struct InvalidPathInIndex {
    RelativePathError source;
  };
  struct InvalidPathInChecksum {
    RelativePathError source;
  };
  struct InvalidUsagePath {
    std::string publisher;
    std::string name;
    RelativePathError source;
  };
  // `parser_message`: the time parser's text; there is no cause.
  struct InvalidCreatedTime {
    std::string created;
    std::string parser_message;
  };
  struct InvalidChecksumAlg {
    std::string algorithm;
  };
  struct IncorrectChecksumLen {
    ChecksumAlgorithm algorithm;
    size_t expected;
    size_t got;
  };
  struct NonHexChecksumChars {
    std::string cksum;
  };
  struct MalformedUsageKestroPurl {
    std::string iri;
    PurlError source;
  };
  using Sum = std::variant<UnknownUsageKind, InvalidWebsite, InvalidUsageResource, InvalidMetamodel,
                           InvalidProjectVersion, InvalidUsageVersionConstraint, InvalidPathInIndex,
                           InvalidPathInChecksum, InvalidUsagePath, InvalidCreatedTime, InvalidChecksumAlg,
                           IncorrectChecksumLen, NonHexChecksumChars, MalformedUsageKestroPurl>;
};

// A broken rule of a project record. The debug form is the display text.
class ProjectValidationError : public ErrorSum<ProjectValidationError, ProjectValidationVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const UnknownUsageKind& v);
  static std::string text_of(const InvalidWebsite& v);
  static std::string text_of(const InvalidUsageResource& v);
  static std::string text_of(const InvalidMetamodel& v);
  static std::string text_of(const InvalidProjectVersion& v);
  static std::string text_of(const InvalidUsageVersionConstraint& v);
  static std::string text_of(const InvalidPathInIndex& v);
  static std::string text_of(const InvalidPathInChecksum& v);
  static std::string text_of(const InvalidUsagePath& v);
  static std::string text_of(const InvalidCreatedTime& v);
  static std::string text_of(const InvalidChecksumAlg& v);
  static std::string text_of(const IncorrectChecksumLen& v);
  static std::string text_of(const NonHexChecksumChars& v);
  static std::string text_of(const MalformedUsageKestroPurl& v);
  // Every variant that holds a parser's error reports it as its cause.
  template <typename V>
    requires requires(const V& v) { v.source; }
  static const Error* cause_of(const V& v) {
    return &v.source;
  }
};

std::expected<InterchangeProjectUsage, ProjectValidationError> validate_usage(const InterchangeProjectUsageRaw& usage);
// Usages first (the first failing one wins), then the version, then the
// website.
std::expected<InterchangeProjectInfo, ProjectValidationError> validate_project_info(
    const InterchangeProjectInfoRaw& info);
// Index paths, then checksums, then the metamodel (an unknown one is logged
// as a warning), then the creation time.
std::expected<InterchangeProjectMetadata, ProjectValidationError> validate_project_meta(
    const InterchangeProjectMetadataRaw& meta);
// The raw form that is written: `created` in UTC, fraction trimmed.
InterchangeProjectMetadataRaw project_meta_to_raw(InterchangeProjectMetadata meta);

enum class MetamodelKind { SysML, KerML };
// The 31-character base identifier of the language's metamodel.
void metamodel_base_iri(MetamodelKind kind, std::string& sink);
// The base followed by the known release, 20250201.
std::string metamodel_base_iri(MetamodelKind kind);

}  // namespace kestro::model
