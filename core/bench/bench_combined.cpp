// Resolves many usages through the standard combined resolver against an
// environment directory of many installed projects (each usage finds its
// installed copy, read and checksummed) and prints usages per second.
// Usage: bench_combined [projects] [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "kestro/resolve/combined_resolver.hpp"
#include "kestro/utils/fs.hpp"
#include "bench_env.hpp"

namespace {

using namespace kestro::resolve;
namespace fs = std::filesystem;

using bench::resource;
using bench::seconds_since;

std::string info_of(std::size_t i) {
  return fmt::format(R"({{"name":"n{0}","publisher":"p{0}","version":"1.{0}.0"}})", i);
}
constexpr const char* kMeta = R"({"index":{},"created":"2025-01-01T00:00:00Z"})";

bool write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  return kestro::write_file_atomic(path, text).has_value();
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t projects = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;

  const auto made = bench::make_temp_root("bench-combined");
  if (!made) return 1;
  const fs::path root = *made;
  const fs::path env = root / ".kestro";
  std::string toml = "version = \"0.1\"\n";
  for (std::size_t i = 0; i < projects; ++i) {
    toml += bench::env_entry(i, fmt::format("\"urn:kestro:p{0}:n{0}\"", i));
    if (!write(env / fmt::format("lib/n{}/.project.json", i), info_of(i)) ||
        !write(env / fmt::format("lib/n{}/.meta.json", i), kMeta))
      return 1;
  }
  if (!write(env / "env.toml", toml)) return 1;

  auto opened = kestro::env::LocalDirectoryEnv::open(env);
  if (!opened) {
    std::fprintf(stderr, "%s\n", opened.error().message().c_str());
    return 1;
  }
  CombinedResolver resolver =
      build_combined_resolver(LocalResolver<kestro::env::LocalDirectoryEnv>(std::move(*opened)),
                              kestro::http::Client(), std::nullopt, kestro::auth::AuthPolicy());

  std::vector<UsageInContext> usages;
  for (std::size_t i = 0; i < projects; ++i) usages.push_back(resource(fmt::format("urn:kestro:p{0}:n{0}", i)));

  double seconds = 0;
  std::size_t found = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& u : usages) {
      auto outcome = resolver.resolve(u);
      if (!outcome) return 1;
      if (auto* resolved = std::get_if<CombinedResolver::Outcome::Resolved>(&outcome->value))
        while (auto item = resolved->candidates->next()) found += item->has_value();
    }
    seconds += seconds_since(t0);
  }
  fs::remove_all(root);
  if (found != projects * static_cast<std::size_t>(rounds)) {
    std::fprintf(stderr, "expected %zu candidates, found %zu\n", projects * static_cast<std::size_t>(rounds), found);
    return 1;
  }
  fmt::print("{} installed projects, {} usages, {} rounds\n", projects, usages.size(), rounds);
  fmt::print("  combined resolver (installed copies)  {:10.0f} usages/s\n", usages.size() * rounds / seconds);
  return 0;
}
