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

bool is_known_metamodel(std::string_view text) {
  for (auto base : {kSysmlBase, kKermlBase})
    if (text.size() == base.size() + kKnownRelease.size() && text.starts_with(base) && text.ends_with(kKnownRelease))
      return true;
  return false;
}

bool is_hex(std::string_view text) { return std::ranges::all_of(text, is_ascii_hex_digit); }

}  // namespace

// Error texts.

std::string ProjectValidationError::text_of(const UnknownUsageKind& v) {
  return fmt::format(
      "`.project.json` declares a usage this kestro cannot interpret, with keys {};\nit is either a usage kind "
      "from a newer kestro, in which case upgrading\nkestro will resolve it, or a malformed entry",
      v.keys);
}
std::string ProjectValidationError::text_of(const InvalidWebsite& v) {
  return fmt::format("invalid website (`website` field in `.project.json`) `{}`", v.website);
}
std::string ProjectValidationError::text_of(const InvalidUsageResource& v) {
  return fmt::format("invalid usage resource `{}`", v.resource);
}
std::string ProjectValidationError::text_of(const InvalidMetamodel& v) {
  return fmt::format("invalid metamodel (`metamodel` field in `.meta.json`) `{}`", v.metamodel);
}
std::string ProjectValidationError::text_of(const InvalidProjectVersion& v) {
  return fmt::format("project has an invalid Semantic Version `{}`", v.version);
}
std::string ProjectValidationError::text_of(const InvalidUsageVersionConstraint& v) {
  return fmt::format("failed to parse version constraint `{}` of usage\n`{}` as a Semantic Version constraint",
                     v.constraint, v.resource);
}
std::string ProjectValidationError::text_of(const InvalidPathInIndex&) {
  return "exported symbol index (`index` field in `.meta.json`) references an invalid path";
}
std::string ProjectValidationError::text_of(const InvalidPathInChecksum&) {
  return "source file checksum (`checksum` field in `.meta.json`) references an invalid path";
}
std::string ProjectValidationError::text_of(const InvalidUsagePath& v) {
  return fmt::format("path usage for `{}`/`{}` references an invalid path", v.publisher, v.name);
}
std::string ProjectValidationError::text_of(const InvalidCreatedTime& v) {
  return fmt::format("failed to parse `{}` as RFC3339 datetime: {}", v.created, v.parser_message);
}
std::string ProjectValidationError::text_of(const InvalidChecksumAlg& v) {
  return fmt::format(
      "invalid file checksum algorithm `{}`, expected one of:\nSHA1, SHA224, SHA256, SHA-384, SHA3-256, "
      "SHA3-384, SHA3-512\nBLAKE2b-256, BLAKE2b-384, BLAKE2b-512, BLAKE3\nMD2, MD4, MD5, MD6, ADLER32",
      v.algorithm);
}
std::string ProjectValidationError::text_of(const IncorrectChecksumLen& v) {
  return fmt::format("invalid hex checksum length for {}: expected {} char(s), got {} char(s)",
                     checksum_algorithm_name(v.algorithm), v.expected, v.got);
}
std::string ProjectValidationError::text_of(const NonHexChecksumChars& v) {
  return fmt::format("checksum `{}`\ncontains invalid symbols (only `A-Fa-f0-9` are allowed)", v.cksum);
}
std::string ProjectValidationError::text_of(const MalformedUsageKestroPurl& v) {
  return fmt::format("malformed `pkg:kestro` IRI `{}`: {}", v.iri, v.source.message());
}

// Validation.

std::expected<InterchangeProjectUsage, ProjectValidationError> validate_usage(const InterchangeProjectUsageRaw& usage) {
  using Result = std::expected<InterchangeProjectUsage, ProjectValidationError>;
  struct Visitor {
    Result operator()(const ResourceUsageRaw& u) const {
      auto purl = parse_kestro_purl(u.resource);
      if (!purl) return std::unexpected(ProjectValidationError::MalformedUsageKestroPurl{u.resource, purl.error()});
      auto iri = iri::Iri::parse(u.resource);
      if (!iri) return std::unexpected(ProjectValidationError::InvalidUsageResource{u.resource, iri.error()});
      ResourceUsageG<iri::Iri, semver::VersionReq> out{std::move(*iri), std::nullopt};
      if (u.version_constraint) {
        auto req = semver::VersionReq::parse(*u.version_constraint);
        if (!req)
          return std::unexpected(ProjectValidationError::InvalidUsageVersionConstraint{
              u.resource, *u.version_constraint, req.error()});
        out.version_constraint = std::move(*req);
      }
      return InterchangeProjectUsage(std::move(out));
    }
    Result operator()(const DirectoryUsageRaw& u) const {
      auto path = validate_relative_path(u.dir, RelativePathKind::RelativeDirectory);
      if (!path) return std::unexpected(ProjectValidationError::InvalidUsagePath{u.publisher, u.name, path.error()});
      return InterchangeProjectUsage(DirectoryUsageG<std::string>{u.dir, u.publisher, u.name});
    }
    Result operator()(const KparPathUsageRaw& u) const {
      auto path = validate_relative_path(u.kpar_path, RelativePathKind::RelativeFile);
      if (!path) return std::unexpected(ProjectValidationError::InvalidUsagePath{u.publisher, u.name, path.error()});
      return InterchangeProjectUsage(KparPathUsageG<std::string>{u.kpar_path, u.publisher, u.name});
    }
    Result operator()(const UnknownUsage& u) const {
      return std::unexpected(ProjectValidationError::UnknownUsageKind{describe_usage_keys(u.object)});
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
  if (!version) return std::unexpected(ProjectValidationError::InvalidProjectVersion{info.version, version.error()});
  std::optional<iri::Iri> website;
  if (info.website) {
    auto w = iri::Iri::parse(*info.website);
    if (!w) return std::unexpected(ProjectValidationError::InvalidWebsite{*info.website, w.error()});
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
      return std::unexpected(ProjectValidationError::InvalidPathInIndex{p.error()});
    out.index.insert_or_assign(symbol, path);
  }
  if (meta.checksum) {
    OrderedMap<InterchangeProjectChecksum> checksums;
    for (const auto& [path, entry] : *meta.checksum) {
      if (auto p = validate_relative_path(path, RelativePathKind::ProjectFile); !p)
        return std::unexpected(ProjectValidationError::InvalidPathInChecksum{p.error()});
      auto algorithm = parse_checksum_algorithm(entry.algorithm);
      if (!algorithm) return std::unexpected(ProjectValidationError::InvalidChecksumAlg{entry.algorithm});
      if (auto digits = checksum_hex_digits(*algorithm)) {
        if (entry.value.size() != *digits)
          return std::unexpected(ProjectValidationError::IncorrectChecksumLen{*algorithm, *digits, entry.value.size()});
        if (!is_hex(entry.value)) return std::unexpected(ProjectValidationError::NonHexChecksumChars{entry.value});
      }
      checksums.insert_or_assign(path, InterchangeProjectChecksum{entry.value, *algorithm});
    }
    out.checksum = std::move(checksums);
  }
  if (meta.metamodel) {
    if (!is_known_metamodel(*meta.metamodel))
      log::warn("kestro_core::model", "project uses an unknown metamodel `{}`", *meta.metamodel);
    auto iri = iri::Iri::parse(*meta.metamodel);
    if (!iri) return std::unexpected(ProjectValidationError::InvalidMetamodel{*meta.metamodel, iri.error()});
    out.metamodel = std::move(*iri);
  }
  auto created = time::parse_rfc3339(meta.created);
  if (!created)
    return std::unexpected(ProjectValidationError::InvalidCreatedTime{meta.created, created.error().message()});
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
