// One identifier text per usage, and finding the usages of `.project.json`
// that an identifier names (for editing a usage's version constraint in the
// file's own JSON, where every other member stays as written).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/model/validation.hpp"
#include "kestro/utils/json_value.hpp"

namespace kestro::model {

// A resource usage's IRI text; a path usage's `default_project_identifier`
// of its publisher and name (the path plays no part). An unrecognised usage
// never passes validation: it is an internal error.
std::string usage_identifier(const InterchangeProjectUsage& usage);
// The same for a usage as declared: none for an unrecognised usage, or for
// a path usage whose publisher or name is empty.
std::optional<std::string> declared_usage_identifier(const InterchangeProjectUsageRaw& usage);

// A usage the target names: its position in the array and its kind ("resource",
// "directory", "KPAR path"); no kind for a plain resource usage matched by
// its `resource` text.
struct UsageMatch {
  std::size_t position;
  std::optional<std::string> kind;
  friend bool operator==(const UsageMatch&, const UsageMatch&) = default;
};

// The iteration over the usage array: `next` is the position to look at.
struct UsageMatchCursor {
  const json::Array& usages;
  std::size_t next = 0;
};

// The next usage from the cursor on that names the target, byte for byte,
// without normalising IRIs; the cursor moves past it. Elements that are no
// usage are skipped.
std::optional<UsageMatch> match_usage_identifier(UsageMatchCursor& cursor, std::string_view target);

// Removes the `versionConstraint` member, keeping the other members' order,
// and returns its value; nothing when there is none.
std::optional<json::Value> remove_version_constraint(json::Object& usage);

}  // namespace kestro::model
