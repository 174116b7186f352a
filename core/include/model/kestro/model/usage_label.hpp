// One-line labels of a usage inside messages and status lines, and the blank
// metadata record a project starts from.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "kestro/model/records.hpp"
#include "kestro/model/usage.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/utils/calendar.hpp"

namespace kestro::model {

// "resource", "directory", "KPAR path" or "unrecognized".
const char* usage_kind_name(const InterchangeProjectUsageRaw& usage);
const char* usage_kind_name(const InterchangeProjectUsage& usage);

// A usage as declared in `.project.json`: paths as written, a KPAR path with
// the word "in". Never touches the file system.
std::string display_declared_usage(const InterchangeProjectUsageRaw& usage);

// A usage being resolved. A path usage shows its path joined onto the
// declaring project's directory and made absolute (only the current
// directory is read; on failure the joined path stays as it is); with no
// directory given, the path as written and " (base path unknown)".
std::string display_usage(const InterchangeProjectUsage& usage,
                          const std::optional<std::filesystem::path>& project_dir);

// Empty index, `created` now in UTC, every optional member absent.
InterchangeProjectMetadataRaw new_blank_metadata();
// The same created at `created`, written in whole seconds (a fraction is
// dropped, never rounded up).
InterchangeProjectMetadataRaw new_blank_metadata(time::Timestamp created);

}  // namespace kestro::model
