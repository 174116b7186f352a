// Usages: the projects an interchange project depends on.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_value.hpp"
#include "kestro/utils/json_writer.hpp"

namespace kestro::model {

// A project named by its IRI, with an optional version requirement.
template <typename Iri, typename Constraint>
struct ResourceUsageG {
  Iri resource;
  std::optional<Constraint> version_constraint;
  bool operator==(const ResourceUsageG&) const = default;
};

// A project in a local source directory.
template <typename Path>
struct DirectoryUsageG {
  Path dir;
  std::string publisher;
  std::string name;
  bool operator==(const DirectoryUsageG&) const = default;
};

// A project in a local KPAR archive.
template <typename Path>
struct KparPathUsageG {
  Path kpar_path;
  std::string publisher;
  std::string name;
  bool operator==(const KparPathUsageG&) const = default;
};

// An entry of a kind this reader does not recognise, kept whole: its
// members in order, each key once.
struct UnknownUsage {
  json::Object object;
  bool operator==(const UnknownUsage&) const = default;
};

template <typename Iri, typename Constraint, typename Path>
using InterchangeProjectUsageG =
    std::variant<ResourceUsageG<Iri, Constraint>, DirectoryUsageG<Path>, KparPathUsageG<Path>, UnknownUsage>;

using ResourceUsageRaw = ResourceUsageG<std::string, std::string>;
using DirectoryUsageRaw = DirectoryUsageG<std::string>;
using KparPathUsageRaw = KparPathUsageG<std::string>;
using InterchangeProjectUsageRaw = InterchangeProjectUsageG<std::string, std::string, std::string>;

inline constexpr const char* kUsageMismatch = "data did not match any variant of untagged enum InterchangeProjectUsageG";

// One usage from a fully read value; the variants are tried in order:
// Resource, Directory, KparPath, Unknown, each on the object with its repeated
// keys collapsed (first position, last value), the object Unknown keeps.
// Fails with the mismatch message (positionless) when the value is not an
// object.
json::Result<InterchangeProjectUsageRaw> deserialize_usage(const json::Value& value);

// The list under a `usage` key, read from the reader's current position.
json::Result<std::vector<InterchangeProjectUsageRaw>> deserialize_usage_list(json::Reader& reader);

void serialize_usage(const InterchangeProjectUsageRaw& usage, json::Writer& writer);

// "`kind`, `path`", or "no keys".
std::string describe_usage_keys(const json::Object& object);

}  // namespace kestro::model
