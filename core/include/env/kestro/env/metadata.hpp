// `env.toml`: the record of the project versions an environment directory
// holds, its exact text, and the rules a file must pass to be read.
#pragma once

#include "kestro/env/namespace.hpp"

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/env/env_error.hpp"
#include "kestro/project/env_checksum.hpp"

namespace kestro::env {

inline constexpr std::string_view kEnvMetadataVersion = "0.1";
inline constexpr std::string_view kEnvMetadataFile = "env.toml";

// One installed project version. Fields in the order of their keys.
struct EnvProject {
  std::optional<std::string> publisher;
  std::string name;
  std::string version;
  // "/"-separated; relative to the environment directory, or for an
  // editable entry to the directory holding it (may climb out with "..").
  std::string path;
  std::vector<std::string> identifiers;  // the first is the project's IRI
  std::vector<std::string> usages;
  bool editable = false;
  bool workspace = false;
  std::optional<EnvProjectChecksum> checksum;

  bool operator==(const EnvProject&) const = default;
};

struct EnvMetadata {
  std::string version{kEnvMetadataVersion};
  std::vector<EnvProject> projects;  // in file order; never sorted here

  bool operator==(const EnvMetadata&) const = default;
};

// Reads the whole text of `env.toml`. Pure. A read value always has version
// "0.1" and non-editable paths that are relative, hold no ".." part and do
// not begin with a "." part.
std::expected<EnvMetadata, EnvMetadataError> read_env_metadata(std::string_view text);

// The file's text: the header comment, `version`, then one `[[project]]`
// table per entry, keys in field order, empty lists and false flags left out.
std::string serialize_env_metadata(const EnvMetadata& metadata);

}  // namespace kestro::env
