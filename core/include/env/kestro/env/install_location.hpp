// Where in an environment directory a project version is installed:
// `lib/` and a name made of the project's readable name and its version,
// unique among the environment's entries.
#pragma once

#include "kestro/env/namespace.hpp"

#include <span>
#include <string>
#include <string_view>

#include "kestro/env/metadata.hpp"
#include "kestro/utils/iri.hpp"

namespace kestro::env {

// The readable name of a project IRI, 1 to 120 bytes without a `/`: for a
// valid `pkg:kestro/<publisher>/<name>` (once the IRI is normalised) the
// publisher, `-` and the name as written; otherwise the name made from the
// normalised IRI's host, path and query (iri_display_text). Pure.
std::string iri_display_name(const iri::Iri& iri);

// Whether an entry's path, read as a `/`-separated relative path, starts
// with the component `lib`: the entries this program installed.
bool is_under_env_lib(const EnvProject& entry);

// The install location of `version` of the project `iri`, relative to the
// environment directory: "lib/<display name>_<slug>", or on a clash
// "lib/<display name>_<k>_<slug>" with the smallest k = 1, 2, ... that is
// free. A name clashes when it equals, byte for byte, the last component of
// an entry under `lib`; the file system is not consulted.
std::string choose_env_project_path(std::span<const EnvProject> entries, const iri::Iri& iri, std::string_view version);

}  // namespace kestro::env
