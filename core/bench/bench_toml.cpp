// Parses a large generated TOML document several times and prints the
// throughput beside Python's `tomllib` on the same text.
// Usage: bench_toml [megabytes] [rounds]
#include <stdlib.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "kestro/utils/toml_parser.hpp"
#include "peer.hpp"

namespace {

constexpr std::string_view kPeerScript = R"(import sys, time, tomllib
text = open(sys.argv[1], encoding='utf-8').read()
shortest = 1e300
for _ in range(int(sys.argv[2])):
    t0 = time.perf_counter()
    tomllib.loads(text)
    shortest = min(shortest, time.perf_counter() - t0)
print('loads', shortest)
)";

// Lock-file-like entries with comments, arrays, inline tables, every string
// form, numbers and date-times, until the text reaches `bytes`.
std::string generate(size_t bytes) {
  std::string out = "# generated benchmark document\nlock_version = \"0.5\"\n";
  for (size_t i = 0; out.size() < bytes; ++i) {
    out += fmt::format(
        "\n[[project]]\n"
        "# entry {0}\n"
        "publisher = \"publisher-{0}\"\n"
        "name = 'Project {0}'\n"
        "version = \"{1}.{2}.{3}\"\n"
        "released = 2024-0{4}-1{5}T12:30:00Z\n"
        "size = {6}\n"
        "ratio = {7}.25e-3\n"
        "description = \"\"\"\nA project with a \\\"quoted\\\" word\nand a second line \\u00E9.\"\"\"\n"
        "exports = [\n    \"Symbol{0}A\",\n    \"Symbol{0}B\",\n    \"Symbol{0}C\",\n]\n"
        "identifiers = [\"pkg:kestro/publisher-{0}/project-{0}\", \"https://example.com/p/{0}\"]\n"
        "sources = [\n"
        "    {{ kpar_path = 'libs\\\\p{0}.kpar', kpar_size = {6}, kpar_digest = "
        "\"3f786850e387550fdab836ed7e6dc881de23001b3f786850e387550fdab836ed\" }},\n"
        "    {{ remote_git = \"https://git.example.com/p{0}.git\" }},\n"
        "]\n"
        "meta.build.number = {0}\n"
        "meta.build.flags = {{ debug = false, level = 3 }}\n",
        i, i % 7, i % 13, i % 29, 1 + i % 9, i % 10, 1000 + i * 37, i % 100);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::string text = generate(megabytes << 20);
  double best = 0;
  size_t nodes = 0;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    auto doc = kestro::toml::parse(text);
    const auto end = std::chrono::steady_clock::now();
    if (!doc) {
      std::fputs(doc.error().message().c_str(), stderr);
      return 1;
    }
    nodes = doc->node_count();
    const double seconds = std::chrono::duration<double>(end - start).count();
    const double rate = static_cast<double>(text.size()) / (1 << 20) / seconds;
    if (rate > best) best = rate;
  }
  // Python's `tomllib` over the same text.
  std::error_code ec;
  std::string tmpl = (std::filesystem::temp_directory_path(ec) / "bench-toml-XXXXXX").string();
  if (ec || !::mkdtemp(tmpl.data())) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::fprintf(stderr, "cannot make a temporary directory `%s` (TMPDIR=%s): %s\n", tmpl.c_str(),
                 tmpdir ? tmpdir : "", ec ? ec.message().c_str() : std::strerror(errno));
    return 1;
  }
  const std::filesystem::path dir = tmpl;
  std::ofstream(dir / "doc.toml", std::ios::binary) << text;
  auto peer = bench::run_python(dir, kPeerScript, fmt::format("'{}' {}", (dir / "doc.toml").string(), rounds));
  std::filesystem::remove_all(dir);
  const double mb = static_cast<double>(text.size()) / (1 << 20);
  std::optional<double> peer_rate;
  if (peer && peer->contains("loads")) peer_rate = mb / peer->at("loads");
  fmt::print("parsed {:.1f} MB ({} nodes), best of {}\n", mb, nodes, rounds);
  bench::header();
  bench::row("TOML parse", best, peer_rate, "MB/s", "tomllib.loads");
  return 0;
}
