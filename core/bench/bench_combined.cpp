// Resolves many usages through the standard combined resolver against an
// environment directory of many installed projects and prints usages per
// second for three kinds of usage:
// - installed, no index configured: the usage reads and checksums its
//   installed copy, which comes out alone;
// - installed, beside a loopback index that lists the same version with the
//   same content: the usage also fetches the index's version list and that
//   version's two records, and comes out as the installed copy of the index
//   version;
// - not installed, listed by the same index: the usage fetches the version
//   list and comes out as the index version.
// Each round starts with a fresh resolver, so nothing an index answered is
// kept between rounds. Any failure is printed and ends the program with
// status 1.
// Usage: bench_combined [projects] [rounds]
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "kestro/resolve/combined_resolver.hpp"
#include "kestro/utils/fs.hpp"
#include "support/loopback_index.hpp"
#include "bench_env.hpp"

namespace {

using namespace kestro::resolve;
namespace fs = std::filesystem;
namespace testing = kestro::testing;

using bench::fail;
using bench::resource;
using bench::seconds_since;

std::string info_of(std::size_t i) {
  return fmt::format(R"({{"name":"{}","publisher":"{}","version":"{}"}})", bench::name_of(i), bench::publisher_of(i),
                     bench::version_of(i));
}
constexpr const char* kMeta = R"({"index":{},"created":"2025-01-01T00:00:00Z"})";

// Why a file could not be written, or none.
std::optional<std::string> write(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return fmt::format("cannot create `{}`: {}", path.parent_path().string(), ec.message());
  if (auto written = kestro::write_file_atomic(path, text); !written)
    return fmt::format("cannot write `{}`: {}", path.string(), kestro::render_error_chain(written.error()));
  return std::nullopt;
}

// Removes the benchmark's working directory however the program ends.
struct RemoveOnExit {
  fs::path root;
  ~RemoveOnExit() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

// One kind of usage: its usages, whether an index is configured, and the
// one candidate each usage must give.
template <typename Kind>
struct Workload {
  const char* name;
  std::vector<UsageInContext> usages;
  bool with_index;
};

// Resolves every usage and pulls its candidates: the reason the run went
// wrong (an error, a negative answer, a candidate of another kind or
// another count than one), or none.
template <typename Kind>
std::optional<std::string> resolve_all(CombinedResolver& resolver, const std::vector<UsageInContext>& usages) {
  for (const UsageInContext& usage : usages) {
    auto outcome = resolver.resolve(usage);
    if (!outcome) return fmt::format("{}: {}", usage.label(), kestro::render_error_chain(outcome.error()));
    auto* resolved = std::get_if<CombinedResolver::Outcome::Resolved>(&outcome->value);
    if (!resolved) {
      const std::string* reason = outcome->reason();
      return fmt::format("{}: not resolved: {}", usage.label(), reason ? *reason : std::string());
    }
    std::size_t count = 0;
    while (auto item = resolved->candidates->next()) {
      if (!*item) return fmt::format("{}: {}", usage.label(), kestro::render_error_chain(item->error()));
      if (!std::holds_alternative<Kind>((*item)->kind))
        return fmt::format("{}: a candidate of another kind (alternative {})", usage.label(), (*item)->kind.index());
      ++count;
    }
    if (count != 1) return fmt::format("{}: {} candidates, expected one", usage.label(), count);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) try {
  const std::size_t projects = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (projects == 0 || rounds <= 0) return fail("usage: bench_combined [projects > 0] [rounds > 0]");

  const auto made = bench::make_temp_root("bench-combined");
  if (!made) return fail("cannot make a temporary directory under `{}`", fs::temp_directory_path().string());
  const RemoveOnExit cleanup{*made};
  const fs::path env = *made / ".kestro";

  // Projects [0, projects) are installed and listed by the index with the
  // same records; projects [projects, 2 * projects) only by the index.
  testing::Index index;
  const auto location = index.location();
  std::string toml = "version = \"0.1\"\n";
  std::vector<UsageInContext> installed, index_only;
  for (std::size_t i = 0; i < 2 * projects; ++i) {
    const std::string iri = bench::purl_of(i);
    const std::string version = bench::version_of(i);
    auto versions = kestro::index::versions_json_url(location, iri);
    auto info = kestro::index::index_version_file_url(location, iri, version);
    auto meta = kestro::index::index_version_meta_url(location, iri, version);
    if (!versions || !info || !meta) return fail("`{}` has no place in an index", iri);
    index.route(std::string(versions->path()), testing::Reply::ok(testing::versions({testing::entry(version)})));
    index.route(std::string(info->path()), testing::Reply::ok(info_of(i)));
    index.route(std::string(meta->path()), testing::Reply::ok(kMeta));
    if (i >= projects) {
      index_only.push_back(resource(iri));
      continue;
    }
    installed.push_back(resource(iri));
    toml += bench::env_entry(i, fmt::format("\"{}\"", iri));
    for (auto [file, text] : {std::pair{".project.json", info_of(i)}, std::pair{".meta.json", std::string(kMeta)}})
      if (auto why = write(env / fmt::format("lib/n{}", i) / file, text)) return fail("{}", *why);
  }
  if (auto why = write(env / "env.toml", toml)) return fail("{}", *why);

  auto opened = kestro::env::LocalDirectoryEnv::open(env);
  if (!opened) return fail("cannot open the environment `{}`: {}", env.string(), kestro::render_error_chain(opened.error()));

  auto make_resolver = [&](bool with_index) {
    return build_combined_resolver(
        LocalResolver<kestro::env::LocalDirectoryEnv>(*opened), kestro::http::Client(),
        with_index ? std::optional(std::vector{location}) : std::nullopt, kestro::auth::AuthPolicy());
  };
  // The total time of `rounds` rounds over `usages`, each round on a fresh
  // resolver, or why a round went wrong.
  auto time_rounds = [&]<typename Kind>(const Workload<Kind>& work) -> std::expected<double, std::string> {
    double seconds = 0;
    for (int r = 0; r < rounds; ++r) {
      CombinedResolver resolver = make_resolver(work.with_index);
      const auto t0 = std::chrono::steady_clock::now();
      if (auto why = resolve_all<Kind>(resolver, work.usages))
        return std::unexpected(fmt::format("{} (round {}): {}", work.name, r + 1, *why));
      seconds += seconds_since(t0);
    }
    return seconds;
  };

  fmt::print("{} installed projects, {} more on a loopback index, {} rounds\n", projects, projects, rounds);
  auto report = [&](const auto& work) -> bool {
    auto seconds = time_rounds(work);
    if (!seconds) {
      fail("{}", seconds.error());
      return false;
    }
    fmt::print("  {:<48} {:10.0f} usages/s\n", work.name, work.usages.size() * rounds / *seconds);
    return true;
  };
  const bool ok = report(Workload<CombinedProject::DanglingLocalProject>{"installed copies, no index", installed, false}) &&
                  report(Workload<CombinedProject::CachedIndexProject>{"installed copies of index versions", installed, true}) &&
                  report(Workload<CombinedProject::IndexProject>{"index versions not installed", index_only, true});
  return ok ? 0 : 1;
} catch (const std::exception& e) {
  return fail("bench_combined: {}", e.what());
}
