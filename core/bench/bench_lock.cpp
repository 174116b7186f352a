// Writes, reads (with validation) and canonically orders a generated lock of
// many projects and prints the times. Usage: bench_lock [projects] [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fmt/format.h>

#include "kestro/lock/lock.hpp"
#include "kestro/lock/lock_order.hpp"
#include "kestro/lock/lock_read.hpp"

namespace {

using namespace kestro::lock;

// Projects in reverse name order, each using its successor, with a source of
// every kind spread over them.
Lock generate(size_t projects) {
  Lock lock = Lock::create();
  const std::string digest(64, 'c');
  for (size_t i = 0; i < projects; ++i) {
    const size_t n = projects - i;
    Project p;
    p.publisher = fmt::format("publisher-{}", n % 17);
    p.name = fmt::format("project-{}", n);
    p.version = fmt::format("{}.{}.{}", n % 5, n % 11, n % 3);
    p.exports = {fmt::format("Z{}", n), fmt::format("A{}", n)};
    p.identifiers = {fmt::format("pkg:kestro/p/project-{}", n), fmt::format("https://example.com/p/{}", n)};
    if (n > 1) p.usages = {fmt::format("pkg:kestro/p/project-{}", n - 1)};
    switch (n % 7) {
      case 0: p.sources = {EditableSource{fmt::format("members/m{}", n)}}; break;
      case 1: p.sources = {LocalSrcSource{fmt::format("../src/{}", n), digest}}; break;
      case 2: p.sources = {LocalKparSource{fmt::format("kpars/{}.kpar", n), n, digest}}; break;
      case 3: p.sources = {RemoteKparSource{fmt::format("https://h/{}.kpar", n), n, digest}}; break;
      case 4: p.sources = {IndexKparSource{fmt::format("https://i/{}.kpar", n), n, digest}}; break;
      case 5: p.sources = {RemoteSrcSource{fmt::format("https://h/src/{}/", n), digest}}; break;
      default: p.sources = {RemoteGitSource{fmt::format("https://g/{}.git", n)}}; break;
    }
    lock.project.push_back(std::move(p));
  }
  return lock;
}

double ms_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const size_t projects = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 5000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const Lock lock = generate(projects);
  double write_ms = 0, read_ms = 0, order_ms = 0;
  size_t bytes = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    auto text = serialize_lock(lock);
    write_ms += ms_since(t0);
    if (!text) return 1;
    bytes = text->size();
    t0 = std::chrono::steady_clock::now();
    auto back = parse_lock(*text);
    read_ms += ms_since(t0);
    if (!back) {
      std::fprintf(stderr, "%s\n", kestro::render_error_chain(back.error()).c_str());
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    Lock ordered = canonicalize_lock(std::move(*back));
    order_ms += ms_since(t0);
    if (ordered.project.size() != projects) return 1;
  }
  fmt::print("lock of {} projects, {} bytes, {} rounds\n", projects, bytes, rounds);
  fmt::print("  serialize_lock     {:8.2f} ms/round\n", write_ms / rounds);
  fmt::print("  parse_lock         {:8.2f} ms/round ({:.1f} MB/s)\n", read_ms / rounds,
             bytes / (read_ms / rounds) / 1e3);
  fmt::print("  canonicalize_lock  {:8.2f} ms/round\n", order_ms / rounds);
  return 0;
}
