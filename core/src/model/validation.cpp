#include "kestro/model/validation.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/model/purl.hpp"
#include "kestro/utils/ascii.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::model {

namespace {

constexpr std::string_view kSysmlBase = "https://www.omg.org/spec/SysML/";
constexpr std::string_view kKermlBase = "https://www.omg.org/spec/KerML/";
constexpr std::string_view kKnownRelease = "20250201";

template <typename E>
ErrorPtr boxed(E e) {
  return make_error<E>(std::move(e));
}

bool is_known_metamodel(std::string_view text) {
  for (auto base : {kSysmlBase, kKermlBase})
    if (text.size() == base.size() + kKnownRelease.size() && text.starts_with(base) && text.ends_with(kKnownRelease))
      return true;
  return false;
}

bool is_hex(std::string_view text) { return std::ranges::all_of(text, is_ascii_hex_digit); }

}  // namespace

// Error constructors.

ProjectValidationError ProjectValidationError::unknown_usage_kind(std::string keys) {
  ProjectValidationError e(Kind::UnknownUsageKind);
  e.a_ = std::move(keys);
  return e;
}

ProjectValidationError ProjectValidationError::text_and_source(Kind kind, std::string text, ErrorPtr source) {
  ProjectValidationError e(kind);
  e.a_ = std::move(text);
  e.source_ = std::move(source);
  return e;
}

ProjectValidationError ProjectValidationError::invalid_website(std::string website, ErrorPtr source) {
  return text_and_source(Kind::InvalidWebsite, std::move(website), std::move(source));
}

ProjectValidationError ProjectValidationError::invalid_usage_resource(std::string resource, ErrorPtr source) {
  return text_and_source(Kind::InvalidUsageResource, std::move(resource), std::move(source));
}

ProjectValidationError ProjectValidationError::invalid_metamodel(std::string metamodel, ErrorPtr source) {
  return text_and_source(Kind::InvalidMetamodel, std::move(metamodel), std::move(source));
}

ProjectValidationError ProjectValidationError::invalid_project_version(std::string version, ErrorPtr source) {
  return text_and_source(Kind::InvalidProjectVersion, std::move(version), std::move(source));
}

ProjectValidationError ProjectValidationError::malformed_usage_kestro_purl(std::string iri, ErrorPtr source) {
  return text_and_source(Kind::MalformedUsageKestroPurl, std::move(iri), std::move(source));
}

ProjectValidationError ProjectValidationError::invalid_usage_version_constraint(std::string resource,
                                                                                std::string constraint,
                                                                                ErrorPtr source) {
  ProjectValidationError e(Kind::InvalidUsageVersionConstraint);
  e.a_ = std::move(resource);
  e.b_ = std::move(constraint);
  e.source_ = std::move(source);
  return e;
}

ProjectValidationError ProjectValidationError::invalid_path_in_index(RelativePathError source) {
  ProjectValidationError e(Kind::InvalidPathInIndex);
  e.source_ = boxed(std::move(source));
  return e;
}

ProjectValidationError ProjectValidationError::invalid_path_in_checksum(RelativePathError source) {
  ProjectValidationError e(Kind::InvalidPathInChecksum);
  e.source_ = boxed(std::move(source));
  return e;
}

ProjectValidationError ProjectValidationError::invalid_usage_path(std::string publisher, std::string name,
                                                                  RelativePathError source) {
  ProjectValidationError e(Kind::InvalidUsagePath);
  e.a_ = std::move(publisher);
  e.b_ = std::move(name);
  e.source_ = boxed(std::move(source));
  return e;
}

ProjectValidationError ProjectValidationError::invalid_created_time(std::string created, std::string parser_message) {
  ProjectValidationError e(Kind::InvalidCreatedTime);
  e.a_ = std::move(created);
  e.b_ = std::move(parser_message);
  return e;
}

ProjectValidationError ProjectValidationError::invalid_checksum_alg(std::string algorithm) {
  ProjectValidationError e(Kind::InvalidChecksumAlg);
  e.a_ = std::move(algorithm);
  return e;
}

ProjectValidationError ProjectValidationError::incorrect_checksum_len(ChecksumAlgorithm algorithm, size_t expected,
                                                                      size_t got) {
  ProjectValidationError e(Kind::IncorrectChecksumLen);
  e.algorithm_ = algorithm;
  e.expected_ = expected;
  e.got_ = got;
  return e;
}

ProjectValidationError ProjectValidationError::non_hex_checksum_chars(std::string cksum) {
  ProjectValidationError e(Kind::NonHexChecksumChars);
  e.a_ = std::move(cksum);
  return e;
}

std::string ProjectValidationError::message() const {
  switch (kind_) {
    case Kind::UnknownUsageKind:
      return fmt::format(
          "`.project.json` declares a usage this kestro cannot interpret, with keys {};\nit is either a usage kind "
          "from a newer kestro, in which case upgrading\nkestro will resolve it, or a malformed entry",
          a_);
    case Kind::InvalidWebsite: return fmt::format("invalid website (`website` field in `.project.json`) `{}`", a_);
    case Kind::InvalidUsageResource: return fmt::format("invalid usage resource `{}`", a_);
    case Kind::InvalidMetamodel: return fmt::format("invalid metamodel (`metamodel` field in `.meta.json`) `{}`", a_);
    case Kind::InvalidProjectVersion: return fmt::format("project has an invalid Semantic Version `{}`", a_);
    case Kind::InvalidUsageVersionConstraint:
      return fmt::format("failed to parse version constraint `{}` of usage\n`{}` as a Semantic Version constraint", b_,
                         a_);
    case Kind::InvalidPathInIndex:
      return "exported symbol index (`index` field in `.meta.json`) references an invalid path";
    case Kind::InvalidPathInChecksum:
      return "source file checksum (`checksum` field in `.meta.json`) references an invalid path";
    case Kind::InvalidUsagePath: return fmt::format("path usage for `{}`/`{}` references an invalid path", a_, b_);
    case Kind::InvalidCreatedTime: return fmt::format("failed to parse `{}` as RFC3339 datetime: {}", a_, b_);
    case Kind::InvalidChecksumAlg:
      return fmt::format(
          "invalid file checksum algorithm `{}`, expected one of:\nSHA1, SHA224, SHA256, SHA-384, SHA3-256, "
          "SHA3-384, SHA3-512\nBLAKE2b-256, BLAKE2b-384, BLAKE2b-512, BLAKE3\nMD2, MD4, MD5, MD6, ADLER32",
          a_);
    case Kind::IncorrectChecksumLen:
      return fmt::format("invalid hex checksum length for {}: expected {} char(s), got {} char(s)",
                         checksum_algorithm_name(algorithm_), expected_, got_);
    case Kind::NonHexChecksumChars:
      return fmt::format("checksum `{}`\ncontains invalid symbols (only `A-Fa-f0-9` are allowed)", a_);
    case Kind::MalformedUsageKestroPurl:
      return fmt::format("malformed `pkg:kestro` IRI `{}`: {}", a_, source_ ? source_->message() : "");
  }
  return {};
}

// Validation.

std::expected<InterchangeProjectUsage, ProjectValidationError> validate_usage(const InterchangeProjectUsageRaw& usage) {
  using Result = std::expected<InterchangeProjectUsage, ProjectValidationError>;
  struct Visitor {
    Result operator()(const ResourceUsageRaw& u) const {
      auto purl = parse_kestro_purl(u.resource);
      if (!purl) return std::unexpected(ProjectValidationError::malformed_usage_kestro_purl(u.resource, boxed(purl.error())));
      auto iri = iri::Iri::parse(u.resource);
      if (!iri) return std::unexpected(ProjectValidationError::invalid_usage_resource(u.resource, boxed(iri.error())));
      ResourceUsageG<iri::Iri, semver::VersionReq> out{std::move(*iri), std::nullopt};
      if (u.version_constraint) {
        auto req = semver::VersionReq::parse(*u.version_constraint);
        if (!req)
          return std::unexpected(ProjectValidationError::invalid_usage_version_constraint(
              u.resource, *u.version_constraint, boxed(req.error())));
        out.version_constraint = std::move(*req);
      }
      return InterchangeProjectUsage(std::move(out));
    }
    Result operator()(const DirectoryUsageRaw& u) const {
      auto path = validate_relative_path(u.dir, RelativePathKind::RelativeDirectory);
      if (!path) return std::unexpected(ProjectValidationError::invalid_usage_path(u.publisher, u.name, path.error()));
      return InterchangeProjectUsage(DirectoryUsageG<std::string>{u.dir, u.publisher, u.name});
    }
    Result operator()(const KparPathUsageRaw& u) const {
      auto path = validate_relative_path(u.kpar_path, RelativePathKind::RelativeFile);
      if (!path) return std::unexpected(ProjectValidationError::invalid_usage_path(u.publisher, u.name, path.error()));
      return InterchangeProjectUsage(KparPathUsageG<std::string>{u.kpar_path, u.publisher, u.name});
    }
    Result operator()(const UnknownUsage& u) const {
      return std::unexpected(ProjectValidationError::unknown_usage_kind(describe_usage_keys(u.object)));
    }
  };
  return std::visit(Visitor{}, usage);
}

std::expected<InterchangeProjectInfo, ProjectValidationError> validate_project_info(
    const InterchangeProjectInfoRaw& info) {
  std::vector<InterchangeProjectUsage> usages;
  usages.reserve(info.usage.size());
  for (const auto& u : info.usage) {
    auto v = validate_usage(u);
    if (!v) return std::unexpected(std::move(v.error()));
    usages.push_back(std::move(*v));
  }
  auto version = semver::Version::parse(info.version);
  if (!version) return std::unexpected(ProjectValidationError::invalid_project_version(info.version, boxed(version.error())));
  std::optional<iri::Iri> website;
  if (info.website) {
    auto w = iri::Iri::parse(*info.website);
    if (!w) return std::unexpected(ProjectValidationError::invalid_website(*info.website, boxed(w.error())));
    website = std::move(*w);
  }
  return InterchangeProjectInfo{info.name,        info.publisher, info.description, std::move(*version),
                                info.license,     info.maintainer, std::move(website), info.topic,
                                std::move(usages)};
}

std::expected<InterchangeProjectMetadata, ProjectValidationError> validate_project_meta(
    const InterchangeProjectMetadataRaw& meta) {
  InterchangeProjectMetadata out;
  for (const auto& [symbol, path] : meta.index) {
    if (auto p = validate_relative_path(path, RelativePathKind::ProjectFile); !p)
      return std::unexpected(ProjectValidationError::invalid_path_in_index(p.error()));
    out.index.insert_or_assign(symbol, path);
  }
  if (meta.checksum) {
    OrderedMap<InterchangeProjectChecksum> checksums;
    for (const auto& [path, entry] : *meta.checksum) {
      if (auto p = validate_relative_path(path, RelativePathKind::ProjectFile); !p)
        return std::unexpected(ProjectValidationError::invalid_path_in_checksum(p.error()));
      auto algorithm = parse_checksum_algorithm(entry.algorithm);
      if (!algorithm) return std::unexpected(ProjectValidationError::invalid_checksum_alg(entry.algorithm));
      if (auto digits = checksum_hex_digits(*algorithm)) {
        if (entry.value.size() != *digits)
          return std::unexpected(ProjectValidationError::incorrect_checksum_len(*algorithm, *digits, entry.value.size()));
        if (!is_hex(entry.value)) return std::unexpected(ProjectValidationError::non_hex_checksum_chars(entry.value));
      }
      checksums.insert_or_assign(path, InterchangeProjectChecksum{entry.value, *algorithm});
    }
    out.checksum = std::move(checksums);
  }
  if (meta.metamodel) {
    if (!is_known_metamodel(*meta.metamodel))
      log::warn("kestro_core::model", "project uses an unknown metamodel `{}`", *meta.metamodel);
    auto iri = iri::Iri::parse(*meta.metamodel);
    if (!iri) return std::unexpected(ProjectValidationError::invalid_metamodel(*meta.metamodel, boxed(iri.error())));
    out.metamodel = std::move(*iri);
  }
  auto created = time::parse_rfc3339(meta.created);
  if (!created) return std::unexpected(ProjectValidationError::invalid_created_time(meta.created, created.error().message()));
  out.created = *created;
  out.includes_derived = meta.includes_derived;
  out.includes_implied = meta.includes_implied;
  return out;
}

InterchangeProjectMetadataRaw project_meta_to_raw(InterchangeProjectMetadata meta) {
  InterchangeProjectMetadataRaw raw;
  raw.index = std::move(meta.index);
  raw.created = time::format_rfc3339_utc(meta.created);
  if (meta.metamodel) raw.metamodel = meta.metamodel->as_str();
  raw.includes_derived = meta.includes_derived;
  raw.includes_implied = meta.includes_implied;
  if (meta.checksum) {
    ChecksumMapRaw checksums;
    for (const auto& [path, entry] : *meta.checksum)
      checksums.insert_or_assign(path, InterchangeProjectChecksumRaw{entry.value, checksum_algorithm_name(entry.algorithm)});
    raw.checksum = std::move(checksums);
  }
  return raw;
}

void metamodel_base_iri(MetamodelKind kind, std::string& sink) {
  sink += kind == MetamodelKind::SysML ? kSysmlBase : kKermlBase;
}

std::string metamodel_base_iri(MetamodelKind kind) {
  std::string out;
  metamodel_base_iri(kind, out);
  out += kKnownRelease;
  return out;
}

}  // namespace kestro::model
