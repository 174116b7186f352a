// A project stored as a directory tree with `.project.json` and `.meta.json`
// at its root.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestro/model/records.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/project/read_project.hpp"

namespace kestro::project {

// Holds no open files and caches nothing: every operation reads the
// directory afresh. Copies share nothing.
class LocalSrcProject : public ReadProject<LocalSrcError> {
 public:
  LocalSrcProject() = default;
  explicit LocalSrcProject(std::filesystem::path root, std::optional<std::string> nominal = {},
                           std::optional<std::string> checksum = {},
                           std::optional<std::string> name = {},
                           std::optional<std::optional<std::string>> publisher = {})
      : project_path(std::move(root)),
        nominal_path(std::move(nominal)),
        known_checksum(std::move(checksum)),
        expected_name(std::move(name)),
        expected_publisher(std::move(publisher)) {}

  // The project root; every project file is resolved under it.
  std::filesystem::path project_path;
  // How the user, the configuration or the lock names this project; written
  // unchanged as the `src_path` of its lock source.
  std::optional<std::string> nominal_path;
  // The canonical checksum when the creator already knows it; `sources`
  // then reads no file.
  std::optional<std::string> known_checksum;
  // When present, the name the information record must carry.
  std::optional<std::string> expected_name;
  // No expectation (outer none), or the publisher the record must carry
  // (inner none: the record must have no publisher).
  std::optional<std::optional<std::string>> expected_publisher;

  std::filesystem::path info_path() const { return project_path / ".project.json"; }
  std::filesystem::path meta_path() const { return project_path / ".meta.json"; }

  // The platform path of a project-relative Unix path under the root.
  std::expected<std::filesystem::path, PathCheckError> get_source_path(std::string_view path) const;

  // Writes everything `reader` yields to the project file `path`: missing
  // directories are created (Io MkDir naming the parent), the file is
  // created or truncated (Io CreateFile), then filled through one buffer of
  // 8192 bytes, interrupted reads retried; a failed read or write is Io
  // WriteFile naming the file. A failed copy leaves what it wrote. Nothing
  // is flushed to stable storage.
  std::expected<void, LocalSrcError> write_source(std::string_view path, SourceReader& reader) const;

  // Both records, with the expectations checked.
  Result<ProjectRecords> get_project() const override;
  // Opens the resolved file read-only.
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // One `src_path` source: the nominal path (else the root relative to the
  // context's workspace root, else its project root) with the known or
  // computed canonical checksum. The checksum is settled first. Without a
  // nominal path and without either root in the context, throws
  // InternalError.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  // The canonical checksum from one `get_project`: each record file is read
  // once (the default reads both files for `get_info` and again for
  // `get_meta`), with the same result and the same first failure.
  std::expected<std::optional<std::string>, CanonicalizationError<LocalSrcError>> checksum_canonical_hex()
      const override;
  // The canonical checksum as a source checksum.
  Result<EnvProjectChecksum> checksum_hex() const override;
};

// The path text of a local project's lock source: `nominal` when present,
// else `path` relative to the context's workspace root, else to its project
// root. With none of them, throws InternalError naming `kind`.
std::expected<std::string, RelativizeError> lock_source_path(const std::optional<std::string>& nominal,
                                                             const std::filesystem::path& path,
                                                             const ProjectContext& context, std::string_view kind);

}  // namespace kestro::project
