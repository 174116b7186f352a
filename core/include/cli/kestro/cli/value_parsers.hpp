// The value enums of the `kestro` command line and the value parsers its
// own code supplies.
#pragma once

#include <any>
#include <expected>
#include <string_view>
#include <vector>

#include "kestro/cli/argparse.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/utils/iri.hpp"

namespace kestro::cli {

enum class DependencySources { None, Deps, DepsStd, Std };
using model::MetamodelKind;
enum class MetamodelRelease { R20250201 };
enum class TrustedPublishingMode { Auto, Always, Never };
enum class KparCompression { Stored, Deflated };

// Each enum's possible values in order; the parsed value is the index.
std::vector<PossibleValue> dependency_sources_values();
std::vector<PossibleValue> metamodel_kind_values();
std::vector<PossibleValue> metamodel_release_values();
std::vector<PossibleValue> trusted_publishing_values();
std::vector<PossibleValue> kpar_compression_values();

// An absolute IRI, as an iri::Iri.
ValueParser parse_iri_arg();
// An absolute IRI, or `<publisher>/<name>` shorthand for its package IRI; a
// failure ends with the hint to use `--path`.
ValueParser parse_usage_iri_arg();
// An absolute IRI, or one once "https://" is put in front.
ValueParser parse_website_iri_arg();
// A semantic-version requirement, as a semver::VersionReq.
ValueParser parse_version_req_arg();
// An index URL or URL template, as an index::IndexLocation.
ValueParser parse_index_location_arg();

}  // namespace kestro::cli
