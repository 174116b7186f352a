// Zip reader throughput: generates a deflated and a stored archive of text
// entries (with python3's zipfile), then opens each and reads every entry,
// whole and streamed, printing MB/s of uncompressed bytes beside `unzip -p`
// over the same archive.
//
//   bench_zip [entries [entry_kib [rounds]]]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "kestro/utils/zip_reader.hpp"
#include "peer.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

static bool generate(const fs::path& dir, int entries, int entry_kib) {
  std::ofstream(dir / "gen.py") << "import sys, zipfile, random\n"
                                   "n, kib = int(sys.argv[2]), int(sys.argv[3])\n"
                                   "random.seed(7)\n"
                                   "words = ['part', 'def', 'attribute', 'item', 'port', 'action', 'state', 'x1', 'mass']\n"
                                   "for name, method in (('deflated.kpar', zipfile.ZIP_DEFLATED), ('stored.kpar', zipfile.ZIP_STORED)):\n"
                                   "    with zipfile.ZipFile(sys.argv[1] + '/' + name, 'w', method) as z:\n"
                                   "        for i in range(n):\n"
                                   "            text = ' '.join(random.choice(words) for _ in range(kib * 160))[:kib * 1024]\n"
                                   "            z.writestr(f'src/file{i}.sysml', text)\n";
  std::string command = "python3 '" + (dir / "gen.py").string() + "' '" + dir.string() + "' " +
                        std::to_string(entries) + " " + std::to_string(entry_kib);
  return std::system(command.c_str()) == 0;
}

// Reads every entry of the archive, whole (`read_all`) or in 64 KiB reads
// through the streaming inflater; the best round's MB/s of uncompressed
// bytes, or a negative figure when a read failed.
static double read_every_entry(const fs::path& archive_path, int rounds, bool whole) {
  double best = 1e300;
  std::uint64_t bytes = 0;
  std::string buffer(64 * 1024, '\0');
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    auto archive = kestro::zip::ZipArchive::open(archive_path);
    if (!archive) {
      std::fprintf(stderr, "open failed: %s\n", archive.error().message().c_str());
      return -1;
    }
    bytes = 0;
    for (std::size_t i = 0; i < archive->entries().size(); ++i) {
      auto reader = archive->open_entry(i);
      if (!reader) {
        std::fprintf(stderr, "entry failed: %s\n", reader.error().message().c_str());
        return -1;
      }
      if (whole) {
        auto content = reader->read_all();
        if (!content) {
          std::fprintf(stderr, "read failed: %s\n", content.error().message().c_str());
          return -1;
        }
        bytes += content->size();
        continue;
      }
      for (;;) {
        auto n = reader->read(buffer);
        if (!n) {
          std::fprintf(stderr, "read failed: %s\n", n.error().message().c_str());
          return -1;
        }
        if (*n == 0) break;
        bytes += *n;
      }
    }
    best = std::min(best, seconds_since(start));
  }
  return static_cast<double>(bytes) / best / 1e6;
}

// `unzip -p` of the whole archive to /dev/null, best of `rounds`, as MB/s of
// `bytes`.
static std::optional<double> unzip_rate(const fs::path& archive_path, int rounds, double mb) {
  double best = 1e300;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    if (std::system(("unzip -p '" + archive_path.string() + "' > /dev/null").c_str()) != 0) return std::nullopt;
    best = std::min(best, seconds_since(start));
  }
  return mb / best;
}

static int run(const fs::path& archive_path, int rounds, double mb) {
  const std::string name = archive_path.filename().string();
  double whole = read_every_entry(archive_path, rounds, true);
  double streamed = read_every_entry(archive_path, rounds, false);
  if (whole < 0 || streamed < 0) return 1;
  auto unzip = unzip_rate(archive_path, rounds, mb);
  bench::row(name + " read whole", whole, unzip, "MB/s", "unzip -p");
  bench::row(name + (name == "deflated.kpar" ? " streamed (zlib)" : " streamed"), streamed, unzip, "MB/s", "unzip -p");
  if (name == "deflated.kpar")
    std::printf("%-34s %9.2fx\n", "whole over streamed (zlib)", whole / streamed);
  return 0;
}

int main(int argc, char** argv) {
  int entries = argc > 1 ? std::atoi(argv[1]) : 2000;
  int entry_kib = argc > 2 ? std::atoi(argv[2]) : 32;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  std::error_code ec;
  std::string tmpl = (fs::temp_directory_path(ec) / "bench-zip-XXXXXX").string();
  if (ec || !::mkdtemp(tmpl.data())) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::fprintf(stderr, "cannot make a temporary directory `%s` (TMPDIR=%s): %s\n", tmpl.c_str(),
                 tmpdir ? tmpdir : "", ec ? ec.message().c_str() : std::strerror(errno));
    return 1;
  }
  const fs::path dir = tmpl;
  int rc = 1;
  if (generate(dir, entries, entry_kib)) {
    std::printf("%d entries of %d KiB, best of %d rounds\n", entries, entry_kib, rounds);
    const double mb = static_cast<double>(entries) * entry_kib * 1024 / 1e6;
    bench::header();
    rc = run(dir / "deflated.kpar", rounds, mb) | run(dir / "stored.kpar", rounds, mb);
  } else {
    std::fprintf(stderr, "could not generate the archives with python3\n");
  }
  fs::remove_all(dir);
  return rc;
}
