// Zip reader throughput: generates a deflated and a stored archive of text
// entries (with python3's zipfile), then opens each and reads every entry,
// printing MB/s of uncompressed bytes.
//
//   bench_zip [entries [entry_kib [rounds]]]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "kestro/utils/zip_reader.hpp"

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

static int run(const fs::path& archive_path, int rounds) {
  double best = 1e9, open_best = 1e9;
  std::uint64_t bytes = 0;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    auto archive = kestro::zip::ZipArchive::open(archive_path);
    if (!archive) {
      std::fprintf(stderr, "open failed: %s\n", archive.error().message().c_str());
      return 1;
    }
    open_best = std::min(open_best, seconds_since(start));
    bytes = 0;
    for (std::size_t i = 0; i < archive->entries().size(); ++i) {
      auto reader = archive->open_entry(i);
      if (!reader) {
        std::fprintf(stderr, "entry failed: %s\n", reader.error().message().c_str());
        return 1;
      }
      auto content = reader->read_all();
      if (!content) {
        std::fprintf(stderr, "read failed: %s\n", content.error().message().c_str());
        return 1;
      }
      bytes += content->size();
    }
    best = std::min(best, seconds_since(start));
  }
  std::printf("%-14s %8.1f MB/s  (%.1f MB in %.3f s; directory read in %.3f ms)\n",
              archive_path.filename().c_str(), bytes / best / 1e6, bytes / 1e6, best, open_best * 1e3);
  return 0;
}

int main(int argc, char** argv) {
  int entries = argc > 1 ? std::atoi(argv[1]) : 2000;
  int entry_kib = argc > 2 ? std::atoi(argv[2]) : 32;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  std::string tmpl = (fs::temp_directory_path() / "bench-zip-XXXXXX").string();
  fs::path dir = ::mkdtemp(tmpl.data());
  int rc = 1;
  if (generate(dir, entries, entry_kib)) {
    std::printf("%d entries of %d KiB, best of %d rounds\n", entries, entry_kib, rounds);
    rc = run(dir / "deflated.kpar", rounds) | run(dir / "stored.kpar", rounds);
  } else {
    std::fprintf(stderr, "could not generate the archives with python3\n");
  }
  fs::remove_all(dir);
  return rc;
}
