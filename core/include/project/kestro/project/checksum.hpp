// Project checksums. The canonical checksum of a project is the SHA-256 of
// the canonical rendering of its two records after every file checksum of
// the metadata has been brought to "SHA256": entries already recorded as
// "SHA256" are trusted (lower-cased, the file is not read), the others are
// recomputed from the file's content.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include <fmt/format.h>

#include "kestro/project/env_checksum.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/model/records.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/project/source_reader.hpp"
#include "kestro/utils/sha256.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::project {

// The canonical name of a file checksum algorithm, compared byte for byte.
inline constexpr std::string_view kCanonicalAlgorithm = "SHA256";

template <typename E>
struct CanonicalizationVariants {
  // Reading a listed file's content after it was opened failed.
  struct FileRead {
    std::string path;
    IoError io;
  };
  // A read operation of the project failed.
  struct ProjectRead {
    E err;
  };
  using Sum = std::variant<FileRead, ProjectRead>;
};

// Computing the canonical checksum failed: a read operation of the project
// (shown exactly as the project's own error, cause included), or reading a
// listed file's content after it was opened ("failed to read from file ...",
// no cause).
template <typename E>
class CanonicalizationError : public ErrorSum<CanonicalizationError<E>, CanonicalizationVariants<E>> {
  using Base = ErrorSum<CanonicalizationError<E>, CanonicalizationVariants<E>>;

 public:
  using typename CanonicalizationVariants<E>::FileRead;
  using typename CanonicalizationVariants<E>::ProjectRead;
  using Base::Base;

  static CanonicalizationError file_read(std::string path, IoError io) {
    return FileRead{std::move(path), std::move(io)};
  }
  static CanonicalizationError project_read(E err) { return ProjectRead{std::move(err)}; }

  bool is_project_read() const { return this->template holds<ProjectRead>(); }
  // FileRead: the listed path and the I/O error.
  const std::string& path() const { return this->template get_if<FileRead>()->path; }
  const IoError& io() const { return this->template get_if<FileRead>()->io; }
  // ProjectRead: the project's error.
  const E& project_error() const { return this->template get_if<ProjectRead>()->err; }

  // The same failure with the project's error turned into another kind's by
  // `wrap` (a file-read failure stays as it is).
  template <typename Wrap>
  auto map_project_error(Wrap&& wrap) const -> CanonicalizationError<std::invoke_result_t<Wrap, const E&>> {
    using Mapped = CanonicalizationError<std::invoke_result_t<Wrap, const E&>>;
    if (!is_project_read()) return Mapped::file_read(path(), io());
    return Mapped::project_read(wrap(project_error()));
  }

  static std::string text_of(const ProjectRead& v) { return v.err.message(); }
  static std::string text_of(const FileRead& v) {
    return fmt::format("failed to read from file\n  `{}`:\n  {}", v.path, v.io.message());
  }
  static std::string debug_of(const ProjectRead& v) { return fmt::format("ProjectRead({})", v.err.debug()); }
  static std::string debug_of(const FileRead& v) {
    return fmt::format("FileRead({}, {})", debug_quote(v.path), v.io.message());
  }
  static const Error* cause_of(const ProjectRead& v) { return v.err.cause(); }
};

// SHA-256 of everything `reader` yields up to its end, read through an
// 8192-byte buffer; the first failing read ends it.
std::expected<Sha256Digest, IoError> hash_reader(SourceReader& reader);

// One checksum entry in canonical form: a "SHA256" entry with its value
// lower-cased and its file untouched, any other entry replaced by the
// SHA-256 of the file that the project's `read_source` opens for `path`.
template <typename P>
auto hash_source(const P& project, std::string path, InterchangeProjectChecksumRaw entry)
    -> std::expected<std::pair<std::string, InterchangeProjectChecksumRaw>,
                     CanonicalizationError<typename P::error_type>> {
  using CE = CanonicalizationError<typename P::error_type>;
  if (entry.algorithm == kCanonicalAlgorithm) {
    entry.value = ascii_lowercase(entry.value);
    return std::pair{std::move(path), std::move(entry)};
  }
  auto reader = project.read_source(path);
  if (!reader) return std::unexpected(CE::project_read(std::move(reader.error())));
  auto digest = hash_reader(**reader);
  if (!digest) return std::unexpected(CE::file_read(std::move(path), std::move(digest.error())));
  return std::pair{std::move(path), InterchangeProjectChecksumRaw{to_hex(*digest), std::string(kCanonicalAlgorithm)}};
}

// When the canonical checksum tests for absent records. Projects on local
// storage canonicalise the entries first (a broken entry fails even when a
// record is missing); projects read over the network test first, so that
// a project without records costs no file request.
enum class RecordCheck { AfterEntries, BeforeEntries };

// The canonical checksum (64 lower-case hex digits) of `project` whose
// records are `info` and `meta`, or none when either is absent. Entries are
// canonicalised one after another in map order, and the first failure ends
// the computation.
template <typename P>
auto canonical_checksum_of_records(const P& project, const std::optional<InterchangeProjectInfoRaw>& info,
                                   std::optional<InterchangeProjectMetadataRaw> meta,
                                   RecordCheck check = RecordCheck::AfterEntries)
    -> std::expected<std::optional<std::string>, CanonicalizationError<typename P::error_type>> {
  const bool complete = info.has_value() && meta.has_value();
  if (check == RecordCheck::BeforeEntries && !complete) return std::optional<std::string>();
  if (meta.has_value() && meta->checksum) {
    ChecksumMapRaw canonical;
    for (const auto& [path, entry] : *meta->checksum) {
      auto hashed = hash_source(project, path, entry);
      if (!hashed) return std::unexpected(std::move(hashed.error()));
      canonical.insert_or_assign(std::move(hashed->first), std::move(hashed->second));
    }
    meta->checksum = std::move(canonical);
  }
  if (!complete) return std::optional<std::string>();
  return std::optional<std::string>(canonical_project_digest_hex(*info, *meta));
}

// The canonical checksum of `project` (64 lower-case hex digits), or none
// when its information or metadata record is absent. Records come from
// `get_info` then `get_meta` (a `get_info` failure skips `get_meta`).
template <typename P>
auto canonical_checksum_hex(const P& project, RecordCheck check = RecordCheck::AfterEntries)
    -> std::expected<std::optional<std::string>, CanonicalizationError<typename P::error_type>> {
  using CE = CanonicalizationError<typename P::error_type>;
  auto info = project.get_info();
  if (!info) return std::unexpected(CE::project_read(std::move(info.error())));
  auto meta = project.get_meta();
  if (!meta) return std::unexpected(CE::project_read(std::move(meta.error())));
  return canonical_checksum_of_records(project, *info, std::move(*meta), check);
}

// `checksum_hex` of a source-tree kind: its canonical checksum as a source
// checksum. Absent records give MissingInfoMeta; a file that failed part
// way gives Io holding ReadFile; a project error is returned as it is.
template <typename E>
std::expected<EnvProjectChecksum, E> source_checksum(
    std::expected<std::optional<std::string>, CanonicalizationError<E>> canonical) {
  if (!canonical) {
    auto& err = canonical.error();
    if (err.is_project_read()) return std::unexpected(err.project_error());
    // A kind whose reads cannot fail part way (in memory) has no Io variant.
    if constexpr (std::is_constructible_v<E, typename E::Io>)
      return std::unexpected(E(typename E::Io{FsIoError::ReadFile{err.path(), err.io()}}));
    else
      internal_error("a project kind without I/O errors failed to read a file");
  }
  if (!*canonical) return std::unexpected(E(typename E::MissingInfoMeta{}));
  return EnvProjectChecksum::src(std::move(**canonical));
}

}  // namespace kestro::project
