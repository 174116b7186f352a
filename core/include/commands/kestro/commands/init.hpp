// The init command: a directory made into a new project by writing a fresh
// `.project.json` and `.meta.json`, never replacing either.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "kestro/commands/command_error.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/utils/calendar.hpp"

namespace kestro::commands {

// Where `created` comes from; tests pass a fixed instant.
using Clock = std::function<time::Timestamp()>;

// Checks the version (unless `no_semver`) and the licence (when given,
// unless `no_spdx`), logs the status line, then writes `.project.json` and
// `.meta.json` at `path` in that order. A `.meta.json` that is already there
// fails after `.project.json` was written, which stays. The directory is
// not created.
std::expected<LocalSrcProject, InitError<LocalSrcError>> do_init(std::string name, std::optional<std::string> publisher,
                                                                  std::string version, bool no_semver,
                                                                  std::optional<std::string> license, bool no_spdx,
                                                                  const std::filesystem::path& path,
                                                                  const Clock& clock = time::Timestamp::now);

}  // namespace kestro::commands
