// Reading and writing project records, and the canonical checksum of a
// project directory with many files, each beside a peer on the same input:
// `sha256sum` over the files, Python's `json` over the record texts, and
// `json.load` of both record files beside `do_info_py_path`.
// Usage: bench_records [files=20000] [file_kib=2] [rounds=10]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <fmt/format.h>

#include "kestro/model/records.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/sha256.hpp"
#include "peer.hpp"

using namespace kestro;
using namespace kestro::model;
using namespace kestro::project;
using Clock = std::chrono::steady_clock;

namespace {

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The shortest of `rounds` runs of `run`, in seconds; false from `run` fails.
template <typename F>
std::optional<double> best_of(int rounds, F&& run) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = Clock::now();
    if (!run()) return std::nullopt;
    best = std::min(best, seconds_since(t0));
  }
  return best;
}

constexpr std::string_view kPeerScript = R"(import json, sys, time
root, info_path, meta_path, usage_path, rounds = sys.argv[1:6]
def best(run):
    shortest = 1e300
    for _ in range(int(rounds)):
        t0 = time.perf_counter()
        run()
        shortest = min(shortest, time.perf_counter() - t0)
    return shortest
meta_text = open(meta_path, encoding='utf-8').read()
meta = json.loads(meta_text)
print('loads', best(lambda: json.loads(meta_text)))
print('dumps', best(lambda: json.dumps(meta, indent=2)))
def load_both():
    with open(info_path, encoding='utf-8') as f: json.load(f)
    with open(meta_path, encoding='utf-8') as f: json.load(f)
print('load_both', best(load_both))
try:
    import _kestro_core
    print('info_py_path', best(lambda: _kestro_core.do_info_py_path(root)))
except ImportError:
    pass
usage_text = open(usage_path, encoding='utf-8').read()
print('usage_loads', best(lambda: json.loads(usage_text)))
)";

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int kib = argc > 2 ? std::atoi(argv[2]) : 2;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 10;
  auto root = std::filesystem::temp_directory_path() / fmt::format("kestro-bench-{}", ::getpid());
  std::filesystem::create_directories(root);

  // A project of `files` listed files, each with a checksum entry to compute.
  std::mt19937_64 rng(42);
  std::string body(static_cast<size_t>(kib) * 1024, ' ');
  InterchangeProjectInfoRaw info;
  info.name = "Bench Project";
  info.version = "1.0.0";
  info.description = "A project of many files, for timing its records";
  InterchangeProjectMetadataRaw meta;
  meta.created = "2025-01-01T00:00:00Z";
  meta.checksum.emplace();
  InterchangeProjectMetadataRaw hashed = meta;  // the same entries, recorded as SHA256
  hashed.checksum.emplace();
  for (int i = 0; i < files; ++i) {
    for (auto& c : body) c = static_cast<char>('a' + rng() % 26);
    std::string name = fmt::format("pkg{}/File{}.sysml", i % 37, i);
    std::filesystem::create_directories(root / name.substr(0, name.find('/')));
    std::ofstream(root / name, std::ios::binary) << body;
    meta.index.insert_or_assign(fmt::format("Symbol{}", i), name);
    hashed.index.insert_or_assign(fmt::format("Symbol{}", i), name);
    meta.checksum->insert_or_assign(name, InterchangeProjectChecksumRaw{"", "NONE"});
    hashed.checksum->insert_or_assign(name, InterchangeProjectChecksumRaw{sha256_hex(body), "SHA256"});
  }
  const double total_mb = static_cast<double>(files) * kib / 1024.0;

  // The canonical checksum: both records read, every listed file streamed
  // through SHA-256, the records digested.
  LocalSrcProject project{root};
  if (!write_project_info(project, info, true) || !write_project_meta(project, meta, true)) return 1;
  std::string digest;
  auto checksum_s = best_of(std::max(1, rounds / 5), [&] {
    auto checksum = project.checksum_canonical_hex();
    if (!checksum || !*checksum) return false;
    digest = **checksum;
    return true;
  });
  if (!checksum_s) return 1;
  auto t0 = Clock::now();
  int rc = std::system(fmt::format("cd '{}' && find . -type f -print0 | xargs -0 sha256sum > /dev/null", root.string()).c_str());
  const double sha256sum_s = seconds_since(t0);

  // The records as a project holds them after its checksums were computed.
  if (!write_project_meta(project, hashed, true)) return 1;
  const std::string text = to_pretty_json(hashed);
  std::string written;
  auto write_s = best_of(rounds, [&] {
    written = to_pretty_json(hashed);
    return true;
  });
  auto read_s = best_of(rounds, [&] { return parse_project_meta(text).has_value(); });

  // An unrecognised usage with many members: its object is kept with each
  // key once, which must stay linear in the number of members.
  std::string usage_text = R"({"name":"n","version":"1","usage":[{)";
  for (int i = 0; i < files * 5; ++i) usage_text += fmt::format("{}\"k{}\":{}", i ? "," : "", i % (files * 3), i);
  usage_text += "}]}";
  std::ofstream(root / "usage.json", std::ios::binary) << usage_text;
  auto usage_s = best_of(rounds, [&] { return parse_project_info(usage_text).has_value(); });
  if (!write_s || !read_s || !usage_s) return 1;

  auto peer = bench::run_python(root, kPeerScript,
                                fmt::format("'{}' '{}' '{}' '{}' {}", root.string(), project.info_path().string(),
                                            project.meta_path().string(), (root / "usage.json").string(), rounds));
  auto peer_rate = [&](const char* name, double mb) -> std::optional<double> {
    if (!peer || !peer->contains(name)) return std::nullopt;
    return mb / peer->at(name);
  };
  const double record_mb = static_cast<double>(text.size()) / (1024.0 * 1024.0);
  const double both_mb = record_mb + static_cast<double>(std::filesystem::file_size(project.info_path())) / (1024.0 * 1024.0);
  const double usage_mb = static_cast<double>(usage_text.size()) / (1024.0 * 1024.0);

  fmt::print("project: {} files of {} KiB, {:.1f} MiB, digest {}\n", files, kib, total_mb, digest);
  fmt::print(".meta.json: {} entries, {} KiB; best of {} rounds, MB/s\n", files, text.size() / 1024, rounds);
  bench::header();
  bench::row("canonical checksum of the project", total_mb / *checksum_s, rc ? std::nullopt : std::optional(total_mb / sha256sum_s),
             "MB/s", "sha256sum");
  bench::row(".meta.json read", record_mb / *read_s, peer_rate("loads", record_mb), "MB/s", "json.loads");
  bench::row(".meta.json pretty write", record_mb / *write_s, peer_rate("dumps", record_mb), "MB/s", "json.dumps(indent=2)");
  bench::row("do_info_py_path (both records)", peer && peer->contains("info_py_path") ? both_mb / peer->at("info_py_path") : 0,
             peer_rate("load_both", both_mb), "MB/s", "json.load of both");
  bench::row(fmt::format("unknown usage, {} members", files * 5), usage_mb / *usage_s, peer_rate("usage_loads", usage_mb),
             "MB/s", "json.loads");
  std::filesystem::remove_all(root);
  return 0;
}
