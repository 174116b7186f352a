#include "kestro/env/local_directory.hpp"

#include <sys/stat.h>

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/path_parts.hpp"

namespace kestro::env {
namespace {

namespace fs = std::filesystem;

bool lists(const EnvProject& entry, std::string_view iri) {
  return std::ranges::find(entry.identifiers, iri) != entry.identifiers.end();
}

// `path` taken from `base` part by part, as an editable entry's path is: a
// `..` at the file-system root stays there.
fs::path walk_parts(fs::path base, std::string_view path) {
  for (const PathPart& part : PathParts(path)) {
    if (part.kind == PathPart::Kind::Root) {
      base = "/";
    } else if (part.kind == PathPart::Kind::Parent) {
      if (base.has_relative_path()) base = base.parent_path();
    } else if (part.kind == PathPart::Kind::Name) {
      base /= part.text;
    }
  }
  return base;
}

}  // namespace

std::vector<std::string> env_project_versions(std::span<const EnvProject> entries, std::string_view iri) {
  std::vector<std::string> out;
  for (const EnvProject& e : entries)
    if (lists(e, iri)) out.push_back(e.version);
  return out;
}

const EnvProject* find_env_entry(std::span<const EnvProject> entries, std::string_view iri, std::string_view version) {
  for (const EnvProject& e : entries)
    if (e.version == version && lists(e, iri)) return &e;
  return nullptr;
}

LocalSrcProject env_entry_project(const fs::path& environment_path, const EnvProject& entry) {
  if (entry.editable) return LocalSrcProject(walk_parts(environment_path.parent_path(), entry.path), entry.path);
  std::optional<std::string> known;
  if (entry.checksum && entry.checksum->kind == EnvProjectChecksum::Kind::Src) known = entry.checksum->hex;
  return LocalSrcProject(environment_path / entry.path,
                         fmt::format("{}/{}", environment_path.filename().string(), entry.path), std::move(known));
}

void warn_legacy_env_dir(const fs::path& environment_path) {
  const fs::path legacy = environment_path.parent_path() / "kestro_env";
  auto st = stat_file(legacy);
  if (st) {
    if (S_ISDIR(st->st_mode))
      log::warn(kLocalDirectoryLogTarget,
                "`kestro_env` directory was found; it is no longer used by kestro and should be removed");
    return;
  }
  if (!st.error().is_not_found())
    log::debug(kLocalDirectoryLogTarget, "failed to get metadata of old env at `{}`: {}", legacy.string(),
               st.error().message());
}

std::expected<EnvMetadata, EnvMetadataLoadError> parse_env_toml(const fs::path& file, std::string_view text) {
  auto metadata = read_env_metadata(text);
  if (!metadata) return std::unexpected(EnvMetadataLoadError::Parse{file.string(), std::move(metadata.error())});
  return std::move(*metadata);
}

std::expected<LocalDirectoryEnv, EnvMetadataLoadError> LocalDirectoryEnv::open(const fs::path& path) {
  auto canonical = canonicalize_utf8_path(path);
  if (!canonical) return std::unexpected(EnvMetadataLoadError::Read{std::move(canonical.error())});
  warn_legacy_env_dir(*canonical);
  const fs::path file = *canonical / kEnvMetadataFile;
  auto text = read_utf8_file(file);
  if (!text) return std::unexpected(EnvMetadataLoadError::Read{std::move(text.error())});
  auto metadata = parse_env_toml(file, *text);
  if (!metadata) return std::unexpected(std::move(metadata.error()));
  return LocalDirectoryEnv{std::move(*canonical), std::move(*metadata)};
}

std::expected<std::optional<LocalDirectoryEnv>, EnvMetadataLoadError> LocalDirectoryEnv::try_open(
    const fs::path& path) {
  warn_legacy_env_dir(path);
  const fs::path file = path / kEnvMetadataFile;
  auto text = read_utf8_file(file);
  if (!text) {
    const auto* read = text.error().get_if<FsIoError::ReadFile>();
    if (read != nullptr && read->io.is_not_found()) return std::nullopt;
    return std::unexpected(EnvMetadataLoadError::Read{std::move(text.error())});
  }
  auto metadata = parse_env_toml(file, *text);
  if (!metadata) return std::unexpected(std::move(metadata.error()));
  auto canonical = canonicalize_utf8_path(path);
  if (!canonical) return std::unexpected(EnvMetadataLoadError::Read{std::move(canonical.error())});
  return LocalDirectoryEnv{std::move(*canonical), std::move(*metadata)};
}

std::vector<std::string> LocalDirectoryEnv::uris() const {
  std::vector<std::string> out;
  for (const EnvProject& e : entries())
    if (!e.identifiers.empty() && std::ranges::find(out, e.identifiers.front()) == out.end())
      out.push_back(e.identifiers.front());
  return out;
}

std::expected<std::vector<LocalSrcProject>, LocalDirectoryEnvReadError> LocalDirectoryEnv::projects(
    std::string_view iri, std::span<const std::string> versions) const {
  std::vector<LocalSrcProject> out;
  for (const std::string& v : versions) {
    const EnvProject* entry = find_env_entry(entries(), iri, v);
    if (entry == nullptr) return std::unexpected(LocalDirectoryEnvReadError::ProjectNotFound{std::string(iri)});
    out.push_back(env_entry_project(environment_path, *entry));
  }
  return out;
}

std::expected<void, FsIoError> write_env_metadata(const LocalDirectoryEnv& env) {
  return write_file_atomic(env.metadata_path(), serialize_env_metadata(env.metadata));
}

}  // namespace kestro::env
