// What the resolver benchmarks share: a fresh working directory, timing,
// resource usages and the `env.toml` entries of generated installed
// projects.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "kestro/resolve/outcome.hpp"

namespace bench {

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A fresh directory under the system's temporary area, named after `prefix`.
inline std::optional<std::filesystem::path> make_temp_root(std::string_view prefix) {
  std::string tmpl = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (!::mkdtemp(tmpl.data())) return std::nullopt;
  return std::filesystem::path(tmpl);
}

inline kestro::resolve::UsageInContext resource(const std::string& iri) {
  return kestro::resolve::UsageInContext{
      kestro::model::ResourceUsageG<kestro::iri::Iri, kestro::semver::VersionReq>{*kestro::iri::Iri::parse(iri),
                                                                                 std::nullopt},
      std::nullopt};
}

// The `env.toml` entry of generated project `i` (publisher `p{i}`, name
// `n{i}`, version `1.{i}.0`, installed at `lib/n{i}`) under the given
// identifiers, written as a TOML array's items.
inline std::string env_entry(std::size_t i, std::string_view identifiers) {
  return fmt::format(
      "\n[[project]]\npublisher = \"p{0}\"\nname = \"n{0}\"\nversion = \"1.{0}.0\"\npath = \"lib/n{0}\"\n"
      "identifiers = [{1}]\n",
      i, identifiers);
}

}  // namespace bench
