// KPAR project throughput: generates a large deflated KPAR (python3's
// zipfile, the project in a directory of its own), then verifies it (size,
// SHA-256 and root detection) and extracts every entry through
// `read_source`, printing MB/s beside `sha256sum` and `unzip` of the same
// file. Every round uses a fresh project, so each one hashes and extracts.
//
//   bench_kpar [entries [entry_kib [rounds]]]
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "kestro/project/local_kpar.hpp"
#include "peer.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using kestro::project::ArchiveRootDetect;
using kestro::project::ExpectedArchive;
using kestro::project::LocalKparProject;

static double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

static bool generate(const fs::path& archive, int entries, int entry_kib) {
  auto script = archive.parent_path() / "gen.py";
  std::ofstream(script) << "import sys, zipfile, random\n"
                           "n, kib = int(sys.argv[2]), int(sys.argv[3])\n"
                           "random.seed(7)\n"
                           "words = ['part', 'def', 'attribute', 'item', 'port', 'action', 'state', 'x1', 'mass']\n"
                           "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                           "    z.writestr('proj/.project.json', '{\"name\":\"B\",\"version\":\"1.0.0\"}')\n"
                           "    for i in range(n):\n"
                           "        text = ' '.join(random.choice(words) for _ in range(kib * 160))[:kib * 1024]\n"
                           "        z.writestr(f'proj/src/file{i}.sysml', text)\n";
  return std::system(fmt::format("python3 '{}' '{}' {} {}", script.string(), archive.string(), entries, entry_kib)
                         .c_str()) == 0;
}

// The best of `rounds` runs of `command`, as MB/s of `mb`.
static std::optional<double> command_rate(const std::string& command, int rounds, double mb) {
  double best = 1e300;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return std::nullopt;
    best = std::min(best, seconds_since(start));
  }
  return mb / best;
}

int main(int argc, char** argv) {
  int entries = argc > 1 ? std::atoi(argv[1]) : 256;
  int entry_kib = argc > 2 ? std::atoi(argv[2]) : 256;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  auto dir = fs::temp_directory_path() / fmt::format("bench_kpar_{}", ::getpid());
  fs::create_directories(dir);
  auto archive = dir / "big.kpar";
  if (!generate(archive, entries, entry_kib)) {
    fmt::print(stderr, "generating the archive failed\n");
    return 1;
  }
  const double archive_mb = static_cast<double>(fs::file_size(archive)) / 1e6;
  const double content_mb = static_cast<double>(entries) * entry_kib * 1024 / 1e6;
  auto digest = kestro::project::kpar_file_sha256(archive).value();
  ExpectedArchive expected{digest, fs::file_size(archive)};

  double verify_best = 1e300, extract_best = 1e300;
  std::string buffer(64 * 1024, '\0');
  for (int round = 0; round < rounds; ++round) {
    LocalKparProject project(archive, "big.kpar", ArchiveRootDetect{});
    project.expected_archive = expected;
    project.expected_name = "B";
    auto start = Clock::now();
    if (!project.open_archive()) {
      fmt::print(stderr, "verification failed\n");
      return 1;
    }
    verify_best = std::min(verify_best, seconds_since(start));
    start = Clock::now();
    for (int i = 0; i < entries; ++i) {
      auto reader = project.read_source(fmt::format("src/file{}.sysml", i));
      if (!reader) {
        fmt::print(stderr, "extraction failed: {}\n", reader.error().message());
        return 1;
      }
      while ((*reader)->read(buffer).value_or(0) > 0) {
      }
    }
    extract_best = std::min(extract_best, seconds_since(start));
  }

  fmt::print("{} entries of {} KiB: archive {:.1f} MB, content {:.1f} MB\n", entries, entry_kib, archive_mb,
             content_mb);
  bench::header();
  bench::row("verify (size, sha256, root)", archive_mb / verify_best,
             command_rate(fmt::format("sha256sum '{}' > /dev/null", archive.string()), rounds, archive_mb), "MB/s",
             "sha256sum");
  auto out = dir / "unzipped";
  bench::row("extract every entry", content_mb / extract_best,
             command_rate(fmt::format("rm -rf '{0}' && unzip -q -o '{1}' -d '{0}'", out.string(), archive.string()),
                          rounds, content_mb),
             "MB/s", "unzip -d");
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
