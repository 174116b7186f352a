// The read side of an environment directory (`.kestro`): opening it, the
// IRIs and versions it holds, and its entries opened as projects. The null
// environment stands in where there is no directory.
#pragma once

#include "kestro/env/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/env/env_error.hpp"
#include "kestro/env/metadata.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::env {

inline constexpr std::string_view kLocalDirectoryLogTarget = "kestro_core::env::local_directory";

// The installed versions of `iri`: the version of every entry whose
// identifiers hold exactly that text (any position), in entry order,
// repeats kept.
std::vector<std::string> env_project_versions(std::span<const EnvProject> entries, std::string_view iri);

// The first entry, in entry order, of exactly this version whose
// identifiers hold `iri`; nullptr when there is none.
const EnvProject* find_env_entry(std::span<const EnvProject> entries, std::string_view iri, std::string_view version);

// The project an entry stands for. Every entry is a directory tree (an
// entry installed from an archive records the archive's digest, but its
// files were unpacked); this is the one place that opens entries. An
// editable entry's path is taken from the directory holding the
// environment: ".." drops the last component (never past the root), empty
// and "." parts are skipped, a leading "/" starts at the root; its nominal
// path is its path text and it has no known checksum. Any other entry lies
// at `environment_path`/path, is named "<environment directory name>/path",
// and a recorded source checksum becomes its known checksum. Reads nothing.
LocalSrcProject env_entry_project(const std::filesystem::path& environment_path, const EnvProject& entry);

// A WARN record when a directory `kestro_env`, left over from an earlier
// layout, sits beside the environment directory; DEBUG when asking for it
// fails otherwise than by its absence. Never fails.
void warn_legacy_env_dir(const std::filesystem::path& environment_path);

// Runs `read_env_metadata` on the text; a failure names the file.
std::expected<EnvMetadata, EnvMetadataLoadError> parse_env_toml(const std::filesystem::path& file,
                                                                std::string_view text);

// An opened environment directory. A plain value: opening creates, locks and
// changes nothing, and later changes by others are not seen.
struct LocalDirectoryEnv {
  std::filesystem::path environment_path;  // absolute and canonical
  EnvMetadata metadata;

  // Canonicalises the path (failure: Read with Canonicalize), warns about a
  // legacy directory, reads and parses `env.toml` (a missing file included,
  // failure: Read with ReadFile; invalid content: Parse).
  static std::expected<LocalDirectoryEnv, EnvMetadataLoadError> open(const std::filesystem::path& path);
  // The same, but a missing `env.toml` (or directory) gives no environment;
  // the path is canonicalised last.
  static std::expected<std::optional<LocalDirectoryEnv>, EnvMetadataLoadError> try_open(
      const std::filesystem::path& path);

  std::filesystem::path metadata_path() const { return environment_path / kEnvMetadataFile; }
  std::span<const EnvProject> entries() const { return metadata.projects; }

  // The first identifier of each entry that has one, each text once, in
  // order of first appearance.
  std::vector<std::string> uris() const;
  std::vector<std::string> versions(std::string_view iri) const { return env_project_versions(entries(), iri); }
  // One project per version, in order: the first entry of that version
  // listing `iri`. A version without one ends the walk with ProjectNotFound
  // naming `iri`.
  std::expected<std::vector<LocalSrcProject>, LocalDirectoryEnvReadError> projects(
      std::string_view iri, std::span<const std::string> versions) const;
};

// Rewrites `env.toml` whole from the metadata in memory, through a temporary
// file beside it renamed into place: a failed write leaves the previous file.
std::expected<void, FsIoError> write_env_metadata(const LocalDirectoryEnv& env);

// The environment that holds no projects, with the reads of
// LocalDirectoryEnv.
struct NullEnvironment {
  std::span<const EnvProject> entries() const { return {}; }
  std::vector<std::string> uris() const { return {}; }
  std::vector<std::string> versions(std::string_view) const { return {}; }
  // Empty for no versions; any version asked for is not there.
  std::expected<std::vector<LocalSrcProject>, NullEnvironmentError> projects(
      std::string_view, std::span<const std::string> versions) const {
    if (versions.empty()) return std::vector<LocalSrcProject>{};
    return std::unexpected(NullEnvironmentError{});
  }
};

}  // namespace kestro::env
