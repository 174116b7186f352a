// Editing the usages already in `.project.json`: removing resource usages,
// and setting the version constraint of one usage in the file's own JSON
// (every other member, known or not, kept as written).
#pragma once

#include "kestro/commands/namespace.hpp"

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/commands/command_error.hpp"
#include "kestro/model/usage.hpp"
#include "kestro/model/usage_match.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/utils/json_value.hpp"

namespace kestro::commands {

// Removes every resource usage whose IRI is `identifier` (bytes) and
// returns them in declaration order. None removed: nothing is written, and
// the error says whether a path usage carries the identifier.
std::expected<std::vector<InterchangeProjectUsageRaw>, RemoveError<LocalSrcError>> do_remove(
    const LocalSrcProject& project, std::string_view identifier);

// What the usage-constraint command found and did. Not found: not changed,
// no constraints. Found and not changed: both constraints equal.
struct UsageConstraintOutcome {
  std::string matched_identifier;
  bool found = false;
  bool changed = false;
  std::optional<std::string> old_constraint;
  std::optional<std::string> new_constraint;
  friend bool operator==(const UsageConstraintOutcome&, const UsageConstraintOutcome&) = default;
};

// Every usage of the array the identifier names, in array order.
std::vector<UsageMatch> match_usages(const json::Array& usages, std::string_view identifier);

// The edit on a parsed `.project.json`: `identifier` is an IRI or a
// `<publisher>/<name>` shorthand, `constraint` the text to store as given
// (none removes it).
std::expected<UsageConstraintOutcome, UsageConstraintError> set_usage_constraint_in_document(
    json::Value& document, std::string_view identifier, const std::optional<std::string>& constraint);

// The edit on the project's `.project.json`, written (atomically) only when
// the document changed.
std::expected<UsageConstraintOutcome, SetUsageConstraintError> do_set_usage_constraint(
    const LocalSrcProject& project, std::string_view identifier, const std::optional<std::string>& constraint);

}  // namespace kestro::commands
