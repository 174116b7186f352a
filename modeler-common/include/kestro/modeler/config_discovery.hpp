// Which settings files apply, and the one record they fold into: up to two
// user-wide files, then the project-level file found by walking up from a
// start directory, then a personal `plovik.user.toml` beside a project's
// `plovik.toml`, later files over earlier ones. Or one named file alone.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>

#include "kestro/modeler/config.hpp"

namespace kestro::modeler {

struct DiscoveredConfig {
  PlovikConfig config;
  // The directory of the project-level file (its parent, taken lexically),
  // which relative paths in it are resolved against; absent when only
  // user-wide files contributed, and for an explicitly named file.
  std::optional<fs::path> project_dir;
  // The project-level file, or the explicitly named one; absent when only
  // user-wide files contributed (the settings are then the user's).
  std::optional<fs::path> project_file;
};

// Reads, in order and each merged over the ones before: the user-wide
// `plovik/plovik.toml` of the user configuration directory ($XDG_CONFIG_HOME
// when absolute, else ~/.config; none without a home), then
// $HOME/.config/plovik/plovik.toml unless it is the same path, then the file
// find_project_config finds from `start_dir`, then, when that is named
// `plovik.toml`, the `plovik.user.toml` beside it. Missing files are passed
// over; none at all gives none. Any failure ends the discovery.
std::expected<std::optional<DiscoveredConfig>, ConfigError> discover_config(const fs::path& start_dir);

// Walks up from `start_dir` (as passed, not canonicalised): in each
// directory a regular file `plovik.toml`, else a regular file
// `plovik.user.toml`, is the project-level file (links followed); a `.git`
// entry of any kind or a `kestro-lock.toml` there ends the walk without one.
std::optional<fs::path> find_project_config(const fs::path& start_dir);

// Reads the one named file, and nothing else; a missing file fails with
// NotFound.
std::expected<DiscoveredConfig, ConfigError> load_explicit_config(const fs::path& path);

}  // namespace kestro::modeler
