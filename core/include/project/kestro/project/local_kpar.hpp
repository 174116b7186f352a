// A project stored as a KPAR archive on the local file system, and a local
// path that is either a source directory or such an archive.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/project/kpar_records.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/utils/temp_dir.hpp"

namespace kestro::project {

// The size and SHA-256 (lower-case hex) an archive must have.
struct ExpectedArchive {
  std::string digest;
  std::uint64_t size = 0;
};

// Where the project lies inside the archive: at the top level, in the named
// directory, or in the directory of the first `.project.json` entry.
struct ArchiveRootTopLevel {};
struct ArchiveRootDetect {};
using ArchiveRoot = std::variant<ArchiveRootTopLevel, std::string, ArchiveRootDetect>;

// The verified archive and the private directory its entries are extracted
// into; the directory goes with the state.
struct OpenedLocalKpar {
  OpenedKpar archive;
  OwnedTempDir temp_dir;
};

// Opens and verifies its archive once, on the first operation that needs it
// (a failed opening is repeated in full by the next operation), and extracts
// each requested entry once. Used by one thread at a time; copies share the
// opened state.
class LocalKparProject : public ReadProject<LocalKparError> {
 public:
  LocalKparProject() = default;
  explicit LocalKparProject(std::filesystem::path archive, std::optional<std::string> nominal = {},
                            ArchiveRoot root = ArchiveRootTopLevel{})
      : archive_path(std::move(archive)), nominal_path(std::move(nominal)), archive_root(std::move(root)) {}

  std::filesystem::path archive_path;
  // How the user, the configuration or the lock names the archive; written
  // unchanged as the `kpar_path` of its lock source.
  std::optional<std::string> nominal_path;
  std::optional<ExpectedArchive> expected_archive;
  // Consulted only with `expected_name`; then none requires a record without
  // publisher.
  std::optional<std::string> expected_publisher;
  // When absent, `.project.json` is not checked at all.
  std::optional<std::string> expected_name;
  ArchiveRoot archive_root;

  // The opened state, from the first successful opening on.
  Result<std::shared_ptr<const OpenedLocalKpar>> open_archive() const;

  // Both records from the archive; no name or publisher check here.
  Result<ProjectRecords> get_project() const override;
  // The entry extracted (once per path text) and opened read-only.
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // One `kpar_path` source: the nominal path, else the archive's path
  // relative to the context's workspace root, else its project root; with
  // the opened size and digest. Without any of them, throws InternalError.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  // Only `.project.json` is read.
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  // Only `.meta.json` is read.
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  // The SHA-256 of the archive file.
  Result<EnvProjectChecksum> checksum_hex() const override;

  // The extracted file of `path` inside the opened state's directory.
  static Result<std::filesystem::path> extract(const OpenedLocalKpar& opened, std::string_view path);
  // A reader over the extracted file of `path`.
  static Result<SourceReaderPtr> read_extracted(const OpenedLocalKpar& opened, std::string_view path);

 private:
  mutable std::shared_ptr<const OpenedLocalKpar> opened_;
};

// A local path that is a source directory or a KPAR archive; every operation
// is answered by the kind held.
class LocalPathProject : public ReadProject<LocalPathProjectError> {
 public:
  using Kind = std::variant<LocalSrcProject, LocalKparProject>;
  explicit LocalPathProject(Kind held) : kind(std::move(held)) {}

  Kind kind;

  // The source directory held, or none for an archive.
  const LocalSrcProject* src() const { return std::get_if<LocalSrcProject>(&kind); }

  Result<ProjectRecords> get_project() const override;
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<EnvProjectChecksum> checksum_hex() const override;
};

// The directory of the first `.project.json` entry whose name is safe, in
// archive order: the empty text at the top level; NotFound otherwise.
std::expected<std::string, LocalKparError> find_kpar_project_root(const zip::ZipArchive& archive);

// The SHA-256 (lower-case hex) and the size of a KPAR file; Io on failure.
std::expected<std::string, LocalKparError> kpar_file_sha256(const std::filesystem::path& path);
std::expected<std::uint64_t, LocalKparError> kpar_file_size(const std::filesystem::path& path);

}  // namespace kestro::project
