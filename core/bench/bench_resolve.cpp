// Resolves many usages against an environment directory of many installed
// projects and prints usages per second: resource usages through the
// installed-environment resolver (every installed project, then as many
// absent ones), and directory usages through the file resolver (each
// canonicalised on disk). Usage: bench_resolve [projects] [rounds]
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "kestro/resolve/file_resolver.hpp"
#include "kestro/resolve/local_resolver.hpp"
#include "kestro/utils/fs.hpp"
#include "bench_env.hpp"

namespace {

using namespace kestro::resolve;
namespace fs = std::filesystem;

using bench::resource;
using bench::seconds_since;

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

  const auto made = bench::make_temp_root("bench-resolve");
  if (!made) return bench::fail("cannot make the working directory: {}", std::strerror(errno));
  const fs::path root = *made;
  const fs::path env = root / ".kestro";
  std::string toml = "version = \"0.1\"\n";
  for (std::size_t i = 0; i < projects; ++i) {
    toml += bench::env_entry(i, fmt::format("\"pkg:kestro/p{0}/n{0}\", \"https://example.com/n{0}\"", i));
    fs::create_directories(root / "app" / "deps" / fmt::format("n{}", i));
  }
  fs::create_directories(env);
  if (auto written = kestro::write_file_atomic(env / "env.toml", toml); !written)
    return bench::fail("cannot write env.toml: {}", written.error().message());

  auto opened = kestro::env::LocalDirectoryEnv::open(env);
  if (!opened) return bench::fail("cannot open the environment: {}", opened.error().message());
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
      if (!outcome) return bench::fail("installed-environment resolver failed: {}", outcome.error().message());
      found += drain(*outcome);
    }
    local_s += seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    for (const auto& u : dirs) {
      auto outcome = file.resolve(u);
      if (!outcome) return bench::fail("file resolver failed: {}", outcome.error().message());
      found += drain(*outcome);
    }
    file_s += seconds_since(t0);
  }
  fs::remove_all(root);
  if (found != 2 * projects * static_cast<std::size_t>(rounds))
    return bench::fail("found {} candidates, expected {}", found, 2 * projects * static_cast<std::size_t>(rounds));
  fmt::print("{} installed projects, {} rounds\n", projects, rounds);
  fmt::print("  installed-environment resolver  {:10.0f} usages/s ({} usages, half absent)\n",
             resources.size() * rounds / local_s, resources.size());
  fmt::print("  file resolver (directories)     {:10.0f} usages/s ({} usages)\n", dirs.size() * rounds / file_s,
             dirs.size());
  return 0;
}
