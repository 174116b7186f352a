// Lock sources in the forms of their neighbours: a configured source of
// `kestro.toml`, and the checksum an environment records.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <optional>

#include "kestro/lock/lock.hpp"
#include "kestro/model/override_source.hpp"
#include "kestro/project/env_checksum.hpp"

namespace kestro::lock {

// The location alone; an index archive becomes a plain remote archive.
OverrideSource lock_source_to_override(const Source& source);

// The source-tree checksum of `LocalSrc`/`RemoteSrc`, the archive digest of
// the three archive kinds; none for `Editable` and `RemoteGit`.
std::optional<EnvProjectChecksum> env_checksum_of_source(const Source& source);

}  // namespace kestro::lock
