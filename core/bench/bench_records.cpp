// Throughput of reading and writing project records, and of the canonical
// checksum of a project directory with many files, beside `sha256sum` over
// the same bytes. Usage: bench_records [files=2000] [file_kib=16]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <fmt/format.h>

#include "kestro/model/records.hpp"
#include "kestro/project/record_files.hpp"

using namespace kestro;
using namespace kestro::model;
using namespace kestro::project;
using Clock = std::chrono::steady_clock;

static double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int kib = argc > 2 ? std::atoi(argv[2]) : 16;
  auto root = std::filesystem::temp_directory_path() / fmt::format("kestro-bench-{}", ::getpid());
  std::filesystem::create_directories(root);

  std::mt19937_64 rng(42);
  std::string body(static_cast<size_t>(kib) * 1024, ' ');
  InterchangeProjectInfoRaw info;
  info.name = "Bench Project";
  info.version = "1.0.0";
  InterchangeProjectMetadataRaw meta;
  meta.created = "2025-01-01T00:00:00Z";
  meta.checksum.emplace();
  for (int i = 0; i < files; ++i) {
    for (auto& c : body) c = static_cast<char>('a' + rng() % 26);
    std::string name = fmt::format("pkg{}/File{}.sysml", i % 37, i);
    std::filesystem::create_directories(root / name.substr(0, name.find('/')));
    std::ofstream(root / name, std::ios::binary) << body;
    meta.index.insert_or_assign(fmt::format("Symbol{}", i), name);
    meta.checksum->insert_or_assign(name, InterchangeProjectChecksumRaw{"", "NONE"});
  }
  const double total_mb = static_cast<double>(files) * kib / 1024.0;

  // Canonical digest: hash every listed file, fill the entries, digest.
  // The canonical checksum of the project directory: read both records,
  // stream every listed file through SHA-256, digest the records.
  LocalSrcProject project{root};
  if (!write_project_info(project, info, true) || !write_project_meta(project, meta, true)) return 1;
  auto t0 = Clock::now();
  auto checksum = project.checksum_canonical_hex();
  if (!checksum || !*checksum) return 1;
  std::string digest = **checksum;
  double ours = seconds_since(t0);

  t0 = Clock::now();
  std::string cmd = fmt::format("cd '{}' && find . -type f -print0 | xargs -0 sha256sum > /dev/null", root.string());
  int rc = std::system(cmd.c_str());
  double theirs = seconds_since(t0);

  // Record text: write and read back the metadata record.
  t0 = Clock::now();
  std::string text;
  const int rounds = 20;
  for (int i = 0; i < rounds; ++i) text = to_pretty_json(meta);
  double write_s = seconds_since(t0);
  t0 = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    auto parsed = parse_project_meta(text);
    if (!parsed) return 1;
  }
  double read_s = seconds_since(t0);
  double record_mb = static_cast<double>(text.size()) * rounds / (1024.0 * 1024.0);

  // An unrecognised usage with many members: its object is kept with each
  // key once, which must stay linear in the number of members.
  std::string usage_text = R"({"name":"n","version":"1","usage":[{)";
  for (int i = 0; i < files * 50; ++i) usage_text += fmt::format("{}\"k{}\":{}", i ? "," : "", i % (files * 25), i);
  usage_text += "}]}";
  t0 = Clock::now();
  if (!parse_project_info(usage_text)) return 1;
  double usage_s = seconds_since(t0);

  fmt::print("project: {} files, {:.1f} MiB, digest {}\n", files, total_mb, digest);
  fmt::print("canonical checksum of the directory:     {:8.1f} MB/s\n", total_mb / ours);
  fmt::print("sha256sum over the same files:           {:8.1f} MB/s{}\n", total_mb / theirs, rc ? " (failed)" : "");
  fmt::print(".meta.json ({} KiB) pretty write:        {:8.1f} MB/s\n", text.size() / 1024, record_mb / write_s);
  fmt::print(".meta.json read:                         {:8.1f} MB/s\n", record_mb / read_s);
  fmt::print("unknown usage, {} members read:      {:8.1f} MB/s\n", files * 50,
             static_cast<double>(usage_text.size()) / (1024.0 * 1024.0) / usage_s);
  std::filesystem::remove_all(root);
  return 0;
}
