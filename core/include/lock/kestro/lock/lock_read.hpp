// Reading and checking lock text. Warnings (keys the format does not name,
// versions that are not semantic versions) go to the log at level warn,
// target `kestro_core::lock`.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <expected>
#include <string_view>

#include "kestro/lock/lock.hpp"
#include "kestro/lock/lock_error.hpp"

namespace kestro::lock {

inline constexpr std::string_view kLockLogTarget = "kestro_core::lock";

// The version check and unknown-key warnings, the typed read, then
// validate_lock; the first failing stage ends it. Never reorders.
std::expected<Lock, LockfileError> parse_lock(std::string_view text);

// The rules between the projects of a lock and the form of every source;
// the first broken rule is returned.
std::expected<void, LockValidationError> validate_lock(const Lock& lock);

}  // namespace kestro::lock
