// Resolves many usages against an environment directory of many installed
// projects and prints usages per second: resource usages through the
// installed-environment resolver (every installed project, then as many
// absent ones), and directory usages through the file resolver (each
// canonicalised on disk). Usage: bench_resolve [projects] [rounds]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "kestro/resolve/file_resolver.hpp"
#include "kestro/resolve/local_resolver.hpp"
#include "kestro/utils/fs.hpp"

namespace {

using namespace kestro::resolve;
namespace fs = std::filesystem;

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

UsageInContext resource(const std::string& iri) {
  return UsageInContext{ResourceUsageG<kestro::iri::Iri, kestro::semver::VersionReq>{*kestro::iri::Iri::parse(iri),
                                                                                      std::nullopt},
                        std::nullopt};
}

// Pulls every candidate; returns how many there were.
template <typename Outcome>
std::size_t drain(Outcome& outcome) {
  std::size_t n = 0;
  if (auto* found = std::get_if<typename Outcome::Resolved>(&outcome.value))
    while (found->candidates->next()) ++n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t projects = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

  std::string tmpl = (fs::temp_directory_path() / "bench-resolve-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) return 1;
  const fs::path root = tmpl;
  const fs::path env = root / ".kestro";
  std::string toml = "version = \"0.1\"\n";
  for (std::size_t i = 0; i < projects; ++i) {
    toml += fmt::format(
        "\n[[project]]\npublisher = \"p{0}\"\nname = \"n{0}\"\nversion = \"1.{0}.0\"\npath = \"lib/n{0}\"\n"
        "identifiers = [\"pkg:kestro/p{0}/n{0}\", \"https://example.com/n{0}\"]\n",
        i);
    fs::create_directories(root / "app" / "deps" / fmt::format("n{}", i));
  }
  fs::create_directories(env);
  if (!kestro::write_file_atomic(env / "env.toml", toml)) return 1;

  auto opened = kestro::env::LocalDirectoryEnv::open(env);
  if (!opened) {
    std::fprintf(stderr, "%s\n", opened.error().message().c_str());
    return 1;
  }
  LocalResolver<kestro::env::LocalDirectoryEnv> local(std::move(*opened));
  FileResolver file;

  std::vector<UsageInContext> resources, dirs;
  for (std::size_t i = 0; i < projects; ++i) {
    resources.push_back(resource(fmt::format("https://example.com/n{}", i)));
    resources.push_back(resource(fmt::format("https://example.com/absent{}", i)));
    dirs.push_back(UsageInContext{DirectoryUsageG<std::string>{fmt::format("deps/n{}", i), fmt::format("p{}", i),
                                                               fmt::format("n{}", i)},
                                  root / "app"});
  }

  double local_s = 0, file_s = 0;
  std::size_t found = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& u : resources) {
      auto outcome = local.resolve(u);
      if (!outcome) return 1;
      found += drain(*outcome);
    }
    local_s += seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    for (const auto& u : dirs) {
      auto outcome = file.resolve(u);
      if (!outcome) return 1;
      found += drain(*outcome);
    }
    file_s += seconds_since(t0);
  }
  fs::remove_all(root);
  if (found != 2 * projects * static_cast<std::size_t>(rounds)) return 1;
  fmt::print("{} installed projects, {} rounds\n", projects, rounds);
  fmt::print("  installed-environment resolver  {:10.0f} usages/s ({} usages, half absent)\n",
             resources.size() * rounds / local_s, resources.size());
  fmt::print("  file resolver (directories)     {:10.0f} usages/s ({} usages)\n", dirs.size() * rounds / file_s,
             dirs.size());
  return 0;
}
