// What the resolver benchmarks share: a fresh working directory, timing,
// resource usages and the `env.toml` entries of generated installed
// projects.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "kestro/resolve/outcome.hpp"

namespace bench {

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A fresh directory under the system's temporary area, named after `prefix`.
inline std::optional<std::filesystem::path> make_temp_root(std::string_view prefix) {
  std::error_code ec;
  const auto tmp = std::filesystem::temp_directory_path(ec);
  if (ec) {
    errno = ec.value();
    return std::nullopt;
  }
  std::string tmpl = (tmp / (std::string(prefix) + "-XXXXXX")).string();
  if (!::mkdtemp(tmpl.data())) return std::nullopt;
  return std::filesystem::path(tmpl);
}

inline kestro::resolve::UsageInContext resource(const std::string& iri) {
  return kestro::resolve::UsageInContext{
      kestro::model::ResourceUsageG<kestro::iri::Iri, kestro::semver::VersionReq>{*kestro::iri::Iri::parse(iri),
                                                                                 std::nullopt},
      std::nullopt};
}

// Publisher and name of generated project `i`: three characters at least,
// so that they also form a valid `pkg:kestro` IRI that an index can list.
inline std::string publisher_of(std::size_t i) { return fmt::format("pub{}", i); }
inline std::string name_of(std::size_t i) { return fmt::format("lib{}", i); }
inline std::string purl_of(std::size_t i) { return fmt::format("pkg:kestro/{}/{}", publisher_of(i), name_of(i)); }
inline std::string version_of(std::size_t i) { return fmt::format("1.{}.0", i); }

// The `env.toml` entry of generated project `i` (`publisher_of`,
// `name_of`, `version_of`, installed at `lib/n{i}`) under the given
// identifiers, written as a TOML array's items.
inline std::string env_entry(std::size_t i, std::string_view identifiers) {
  return fmt::format(
      "\n[[project]]\npublisher = \"{}\"\nname = \"{}\"\nversion = \"{}\"\npath = \"lib/n{}\"\n"
      "identifiers = [{}]\n",
      publisher_of(i), name_of(i), version_of(i), i, identifiers);
}

// Prints why the benchmark stops to standard error and gives the exit
// status for `main`: a benchmark never fails without a word.
template <typename... Args>
int fail(fmt::format_string<Args...> format, Args&&... args) {
  fmt::print(stderr, "{}\n", fmt::format(format, std::forward<Args>(args)...));
  return 1;
}

}  // namespace bench
