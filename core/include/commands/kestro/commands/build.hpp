// Packing a local source project into a KPAR archive.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/utils/fs_error.hpp"

namespace kestro::commands {

// The log target of the build's warnings, status lines and cleanup notes.
inline constexpr std::string_view kBuildLogTarget = "kestro_core::commands::build";

// The UTF-8 text of `name` under `project_dir`, for the README, changelog and
// licence files that go into the archive beside the sources. A missing file
// is nothing, silently; any other failure (text that is not UTF-8 included)
// is ReadFile naming the joined path. A file found is announced with the
// status line "Including {kind} from `{path}`".
std::expected<std::optional<std::string>, FsIoError> include_optional_file(const std::filesystem::path& project_dir,
                                                                          std::string_view name,
                                                                          std::string_view kind);

}  // namespace kestro::commands
