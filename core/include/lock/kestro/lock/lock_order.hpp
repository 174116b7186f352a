// The canonical form of a lock: the same locked content always writes the
// same text. Sorts are stable and compare texts as bytes.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <compare>

#include "kestro/lock/lock.hpp"

namespace kestro::lock {

// Sorts each project's exports, usages and sources (identifiers keep their
// order), then the projects, then lower-cases archive digests and checksums.
// Lower-casing comes last, so sources are ordered by their digests as given.
Lock canonicalize_lock(Lock lock);

// By name, exports, identifiers as stored, then version.
std::strong_ordering compare_lock_projects(const Project& a, const Project& b);

// By kind in its fixed order, then the kind's fields in key order: paths by
// their components, sizes numerically, other texts as bytes.
std::strong_ordering compare_lock_sources(const Source& a, const Source& b);

}  // namespace kestro::lock
