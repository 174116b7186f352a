// Bringing a lock up to date after a usage was removed from the current
// project, without solving again.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/lock/lock.hpp"

namespace kestro::lock {

// Deletes every occurrence of `removed_usage` from the current project's
// usages, then every project no longer reachable through usages from the
// roots (projects with one editable source inside the project tree).
// The current project is the last root with this publisher and name.
// Returns nothing (lock untouched) when the lock has no current project; an
// empty list when nothing but the usage went, or the usage was not listed
// (lock untouched); else the removed projects in lock order. Every usage of
// the lock must be some project's first identifier (as validation ensures).
std::optional<std::vector<Project>> prune_lock(Lock& lock, const std::optional<std::string>& publisher,
                                               std::string_view name, std::string_view removed_usage);

}  // namespace kestro::lock
