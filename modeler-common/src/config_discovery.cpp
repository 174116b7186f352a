#include "kestro/modeler/config_discovery.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "kestro/modeler/paths.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/user_dirs.hpp"

namespace kestro::modeler {

namespace {

constexpr std::string_view kConfigFile = "plovik.toml";
constexpr std::string_view kUserConfigFile = "plovik.user.toml";

// The user-wide candidates, in reading order.
std::vector<fs::path> user_config_candidates() {
  std::vector<fs::path> out;
  if (const auto home = home_dir()) {
    const fs::path config_dir = absolute_env_dir("XDG_CONFIG_HOME").value_or(*home / ".config");
    out.push_back(config_dir / "plovik" / kConfigFile);
  }
  // HOME as it stands, even when empty: the second candidate is then relative.
  if (const char* home = std::getenv("HOME")) {
    fs::path candidate = fs::path(home) / ".config" / "plovik" / kConfigFile;
    if (out.empty() || compare_paths(out.front().native(), candidate.native()) != 0) out.push_back(std::move(candidate));
  }
  return out;
}

bool regular_file_at(const fs::path& path) {
  struct ::stat st;
  return stat_path(path, st) && S_ISREG(st.st_mode);
}

bool entry_at(const fs::path& path) {
  struct ::stat st;
  return stat_path(path, st);
}

}  // namespace

std::optional<fs::path> find_project_config(const fs::path& start_dir) {
  std::optional<fs::path> dir = start_dir;
  while (dir) {
    for (std::string_view name : {kConfigFile, kUserConfigFile})
      if (fs::path candidate = *dir / name; regular_file_at(candidate)) return candidate;
    if (entry_at(*dir / ".git") || entry_at(*dir / "kestro-lock.toml")) return std::nullopt;
    const auto parent = lexical_parent(dir->native());
    dir = parent ? std::optional<fs::path>(fs::path(*parent)) : std::nullopt;
  }
  return std::nullopt;
}

std::expected<std::optional<DiscoveredConfig>, ConfigError> discover_config(const fs::path& start_dir) {
  PlovikConfig merged;
  bool user_wide_found = false;
  for (const fs::path& candidate : user_config_candidates()) {
    auto read = read_config_file(candidate);
    if (!read) return std::unexpected(std::move(read.error()));
    if (!*read) continue;
    merged.merge(std::move(**read));
    user_wide_found = true;
  }

  auto project_file = find_project_config(start_dir);
  if (!project_file) {
    if (!user_wide_found) return std::nullopt;
    return DiscoveredConfig{std::move(merged), std::nullopt, std::nullopt};
  }
  auto read = read_config_file(*project_file);
  if (!read) return std::unexpected(std::move(read.error()));
  if (!*read) return std::unexpected(ConfigError::ProjectConfigDisappeared{*project_file});
  merged.merge(std::move(**read));
  fs::path project_dir(lexical_parent(project_file->native()).value_or(std::string_view()));

  if (file_name(project_file->native()) == kConfigFile) {
    auto user = read_config_file(project_dir / kUserConfigFile);
    if (!user) return std::unexpected(std::move(user.error()));
    if (*user) merged.merge(std::move(**user));
  }
  return DiscoveredConfig{std::move(merged), std::move(project_dir), std::move(*project_file)};
}

std::expected<DiscoveredConfig, ConfigError> load_explicit_config(const fs::path& path) {
  auto read = read_config_file(path);
  if (!read) return std::unexpected(std::move(read.error()));
  if (!*read) return std::unexpected(ConfigError::NotFound{path});
  return DiscoveredConfig{std::move(**read), std::nullopt, path};
}

}  // namespace kestro::modeler
