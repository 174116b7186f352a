// Downloading and verifying a large KPAR from the loopback server (streamed
// to a file while hashing and counting, checked for size and digest, its
// project root found), in MB/s beside `curl -o /dev/null` of the same URL
// and `sha256sum` of the same file; and the client receiving alone beside
// curl.
//
//   bench_kpar_download [MB] [rounds]
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fmt/format.h>

#include "kestro/remote/kpar_download.hpp"
#include "kestro/utils/sha256.hpp"
#include "peer.hpp"
#include "support/loopback_server.hpp"

using namespace kestro;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of `rounds` runs of `command` by the shell, in seconds; none when
// it fails.
std::optional<double> best_command_time(const std::string& command, int rounds) {
  std::optional<double> best;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (!bench::capture(command)) return std::nullopt;
    double t = seconds_since(start);
    if (!best || t < *best) best = t;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long mb = argc > 1 ? std::atol(argv[1]) : 100;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  auto dir = OwnedTempDir::create();
  if (!dir) return 1;
  auto kpar = dir->path() / "big.kpar";
  // A stored entry of random bytes: nothing compresses, as in a real archive
  // of mixed content.
  std::string make = fmt::format(
      "python3 -c \"import os, zipfile; z = zipfile.ZipFile('{}', 'w'); "
      "z.writestr('.project.json', '{{\\\"name\\\":\\\"big\\\",\\\"version\\\":\\\"1.0.0\\\"}}'); "
      "z.writestr('big.bin', os.urandom({} * 1000 * 1000)); z.close()\"",
      kpar.string(), mb);
  if (std::system(make.c_str()) != 0) return 1;
  std::ifstream in(kpar, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const double total_mb = static_cast<double>(bytes.size()) / 1e6;
  const std::string digest = sha256_hex(bytes);

  kestro::testing::LoopbackServer server;
  server.set_handler([&](const kestro::testing::RecordedRequest&) { return kestro::testing::Reply::ok(bytes); });
  http::Client client;
  auth::AuthPolicy policy;

  double best = 0;
  for (int i = 0; i < rounds; ++i) {
    auto project = remote::RemoteKparProject::create(server.url("/big.kpar"), client, policy,
                                                     project::ExpectedArchive{digest, bytes.size()});
    auto start = std::chrono::steady_clock::now();
    auto downloaded = project->ensure_downloaded();
    double t = seconds_since(start);
    if (!downloaded) {
      fmt::print(stderr, "download failed: {}\n", downloaded.error().message());
      return 1;
    }
    if (best == 0 || t < best) best = t;
  }
  // The client alone, every piece dropped: the most the download can reach.
  double receive_best = 0;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    auto response = client.get(*url::Url::parse(server.url("/big.kpar"))).send();
    if (!response) return 1;
    for (;;) {
      auto piece = response->next_piece();
      if (!piece) return 1;
      if (piece->end) break;
    }
    double t = seconds_since(start);
    if (receive_best == 0 || t < receive_best) receive_best = t;
  }
  auto curl = best_command_time(fmt::format("curl -s -o /dev/null '{}'", server.url("/big.kpar")), rounds);
  auto sha = best_command_time(fmt::format("sha256sum '{}' >/dev/null", kpar.string()), rounds);

  fmt::print("KPAR of {:.1f} MB, best of {} rounds\n", total_mb, rounds);
  bench::header();
  bench::row("download + verify + root", total_mb / best, curl ? std::optional(total_mb / *curl) : std::nullopt,
             "MB/s", "curl -o /dev/null");
  bench::row("download + verify + root", total_mb / best, sha ? std::optional(total_mb / *sha) : std::nullopt, "MB/s",
             "sha256sum");
  bench::row("receive only", total_mb / receive_best, curl ? std::optional(total_mb / *curl) : std::nullopt, "MB/s",
             "curl -o /dev/null");
  return 0;
}
