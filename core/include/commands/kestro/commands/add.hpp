// The add command: one usage recorded in a project's `.project.json`,
// merged into an equivalent usage already there rather than repeated.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <string>
#include <string_view>

#include "kestro/commands/command_error.hpp"
#include "kestro/model/usage.hpp"
#include "kestro/project/local_src.hpp"

namespace kestro::commands {

// Validates the usage, then merges it with the usage of the same resource
// (constraints combined) or path usage (repointed or renamed), or appends
// it. True when `.project.json` was rewritten, false when the request was
// ignored as already present. A usage whose identifier another kind of
// usage already carries is refused. Every failure leaves the file as it
// was.
std::expected<bool, AddError<LocalSrcError>> do_add(const LocalSrcProject& project,
                                                    const InterchangeProjectUsageRaw& usage);

// One existing path usage against a new one of the same kind, all fields
// compared as bytes: the same publisher and name repoint it to the new
// path; the same path renames it to the new publisher and name (each with
// a warning). True when the existing usage now stands for the new one.
// `label` names the path in the warning ("path" or "file").
bool upsert_path_usage(std::string_view label, std::string& path, std::string& publisher, std::string& name,
                       const std::string& new_path, const std::string& new_publisher, const std::string& new_name);

}  // namespace kestro::commands
