// Validation of project records: raw records as read become typed records,
// or the first broken rule is reported. Nothing is repaired or defaulted.
#pragma once

#include <cstddef>
#include <expected>
#include <string>

#include "kestro/model/records.hpp"
#include "kestro/model/relative_path.hpp"
#include "kestro/utils/iri.hpp"
#include "kestro/utils/rfc3339.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::model {

using InterchangeProjectUsage = InterchangeProjectUsageG<iri::Iri, semver::VersionReq, std::string>;
using InterchangeProjectInfo = InterchangeProjectInfoG<semver::Version, iri::Iri, InterchangeProjectUsage>;
using InterchangeProjectMetadata = InterchangeProjectMetadataG<time::Timestamp, iri::Iri, InterchangeProjectChecksum>;

class ProjectValidationError : public Error {
 public:
  enum class Kind {
    UnknownUsageKind, InvalidWebsite, InvalidUsageResource, InvalidMetamodel, InvalidProjectVersion,
    InvalidUsageVersionConstraint, InvalidPathInIndex, InvalidPathInChecksum, InvalidUsagePath,
    InvalidCreatedTime, InvalidChecksumAlg, IncorrectChecksumLen, NonHexChecksumChars, MalformedUsageKestroPurl,
  };

  static ProjectValidationError unknown_usage_kind(std::string keys);
  static ProjectValidationError invalid_website(std::string website, ErrorPtr source);
  static ProjectValidationError invalid_usage_resource(std::string resource, ErrorPtr source);
  static ProjectValidationError invalid_metamodel(std::string metamodel, ErrorPtr source);
  static ProjectValidationError invalid_project_version(std::string version, ErrorPtr source);
  static ProjectValidationError invalid_usage_version_constraint(std::string resource, std::string constraint,
                                                                 ErrorPtr source);
  static ProjectValidationError invalid_path_in_index(RelativePathError source);
  static ProjectValidationError invalid_path_in_checksum(RelativePathError source);
  static ProjectValidationError invalid_usage_path(std::string publisher, std::string name, RelativePathError source);
  static ProjectValidationError invalid_created_time(std::string created, std::string parser_message);
  static ProjectValidationError invalid_checksum_alg(std::string algorithm);
  static ProjectValidationError incorrect_checksum_len(ChecksumAlgorithm algorithm, size_t expected, size_t got);
  static ProjectValidationError non_hex_checksum_chars(std::string cksum);
  static ProjectValidationError malformed_usage_kestro_purl(std::string iri, ErrorPtr source);

  Kind kind() const { return kind_; }
  std::string message() const override;
  const Error* cause() const override { return source_.get(); }

 private:
  explicit ProjectValidationError(Kind kind) : kind_(kind) {}
  static ProjectValidationError text_and_source(Kind kind, std::string text, ErrorPtr source);
  Kind kind_;
  std::string a_, b_, c_;
  ChecksumAlgorithm algorithm_ = ChecksumAlgorithm::None;
  size_t expected_ = 0, got_ = 0;
  ErrorPtr source_;
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
