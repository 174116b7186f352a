// Parses mixed `kestro` argument vectors into records, with the command
// tree built once and reused, and with the tree built for every vector, and
// prints the rates beside Python's argparse on an equivalent tree (the same
// commands, options, groups and help texts). Usage: bench_cli_parse [count]
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <fmt/format.h>

#include "kestro/cli/cli.hpp"
#include "peer.hpp"

namespace {

const std::vector<std::vector<std::string>>& vectors() {
  static const std::vector<std::vector<std::string>> v = {
      {"kestro", "sync", "--index", "https://a.example/i/,https://b.example/i/", "--no-prune"},
      {"kestro", "add", "pkg:kestro/acme/widgets", "^1.2", "--no-lock"},
      {"kestro", "add", "acme/widgets", "--index", "https://a.example/i/"},
      {"kestro", "info", "-p", "dir", "name", "--set", "Foo"},
      {"kestro", "build", "-c", "stored", "out.kpar"},
      {"kestro", "-v", "lock", "--include-std"},
      {"kestro", "env", "install", "pkg:kestro/a/b", "1.0", "--no-deps"},
      {"kestro", "publish", "--index", "https://example.com/index/", "--trusted-publishing", "never"},
      {"kestro", "clone", "--iri", "https://example.com/p", "-t", "dest"},
      {"kestro", "include", "a.sysml", "b.sysml", "--compute-checksum"},
      {"kestro", "index", "remove", "pkg:kestro/a/b", "--project"},
      {"kestro", "info", "metamodel", "--set", "kerml", "--release-custom", "20240101"},
      {"kestro", "remove", "pkg:kestro/acme/widgets", "--no-sync"},
      {"kestro", "auth", "login", "https://example.com/index/", "--token-stdin"},
      {"kestro", "sources", "--deps", "deps-std"},
      {"kestro", "-q", "--config-file", "k.toml", "print-root"},
  };
  return v;
}

// The same tree for argparse: commands, options, exclusive groups, help.
constexpr std::string_view kPeer = R"PY(
import argparse, sys, time

def resolution(p):
    g = p.add_argument_group("Resolution options")
    g.add_argument("--index", nargs="*", action="extend", type=lambda s: s.split(","),
                   help="Comma-delimited list of index URLs to use when resolving")
    g.add_argument("--default-index", nargs="*", action="extend", type=lambda s: s.split(","),
                   help="Comma-delimited list of URLs to use as default index")
    g.add_argument("--no-index", action="store_true", help="Do not use any index")
    g.add_argument("--include-std", action="store_true", help="Don't ignore standard libraries")

def flags(p, *names):
    for n in names:
        p.add_argument(n, action="store_true", help="flag " + n)

def build():
    root = argparse.ArgumentParser(prog="kestro", description="A package manager for SysML v2 and KerML")
    g = root.add_argument_group("Global options")
    x = g.add_mutually_exclusive_group()
    x.add_argument("-v", "--verbose", action="store_true", help="Use verbose output")
    x.add_argument("-q", "--quiet", action="store_true", help="Do not output log messages")
    g.add_argument("--no-config", action="store_true", help="Disable discovery of configuration files")
    g.add_argument("--config-file", help="Give path to `kestro.toml` to use for configuration")
    root.add_argument("-V", "--version", action="version", version="kestro 0.2.1")
    sub = root.add_subparsers(dest="command", required=True)
    p = sub.add_parser("init", help="Create a new project")
    p.add_argument("path", nargs="?"); p.add_argument("--name"); p.add_argument("--publisher", required=True)
    p.add_argument("--version"); p.add_argument("--license", "--licence"); flags(p, "--no-semver", "--no-spdx")
    p = sub.add_parser("new"); p.add_argument("args", nargs=argparse.REMAINDER)
    p = sub.add_parser("add", help="Add usage to project information")
    p.add_argument("iri", nargs="?"); p.add_argument("-p", "--path"); p.add_argument("version_constraint", nargs="?")
    flags(p, "--no-lock", "--no-sync", "--no-prune"); resolution(p)
    s = p.add_mutually_exclusive_group()
    for n in ("--from-path", "--from-url", "--as-editable", "--as-local-src", "--as-local-kpar",
              "--as-remote-src", "--as-remote-kpar", "--as-remote-git"):
        s.add_argument(n, help="source " + n)
    p = sub.add_parser("remove", aliases=["rm"], help="Remove usage from project information")
    p.add_argument("iri", nargs="?"); p.add_argument("-p", "--path")
    flags(p, "--no-lock", "--no-sync", "--no-prune"); resolution(p)
    p = sub.add_parser("clone", help="Clone a project to a specified directory.")
    p.add_argument("locator", nargs="?"); p.add_argument("-i", "--iri", "--uri", "--url"); p.add_argument("-s", "--path")
    p.add_argument("-t", "--target"); p.add_argument("-V", "--version"); flags(p, "--no-deps"); resolution(p)
    p = sub.add_parser("include", help="Include model interchange files")
    p.add_argument("paths", nargs="*"); flags(p, "--compute-checksum", "--no-index-symbols")
    p = sub.add_parser("exclude", help="Exclude model interchange file"); p.add_argument("paths", nargs="*")
    p = sub.add_parser("build", help="Build a KerML Project Archive (KPAR).")
    p.add_argument("path", nargs="?"); p.add_argument("-c", "--compression", choices=["stored", "deflated"], default="deflated")
    flags(p, "-a", "--keep-index")
    p = sub.add_parser("publish", help="Publish a KPAR"); p.add_argument("path", nargs="?")
    p.add_argument("--index", required=True)
    p.add_argument("--trusted-publishing", choices=["auto", "always", "never", "false"], default="auto")
    p = sub.add_parser("auth", help="Manage stored credentials")
    a = p.add_subparsers(dest="auth", required=True)
    a.add_parser("status"); q = a.add_parser("login"); q.add_argument("index_url", nargs="?"); flags(q, "--token-stdin")
    a.add_parser("whoami").add_argument("index_url", nargs="?"); a.add_parser("logout").add_argument("index_url", nargs="?")
    p = sub.add_parser("lock", help="Create or update lockfile"); resolution(p)
    p = sub.add_parser("env", help="Create a local `.kestro` directory")
    e = p.add_subparsers(dest="env")
    q = e.add_parser("install"); q.add_argument("iri"); q.add_argument("version", nargs="?"); q.add_argument("--path")
    flags(q, "--allow-overwrite", "--allow-multiple", "--no-deps"); resolution(q)
    q = e.add_parser("uninstall"); q.add_argument("iri"); q.add_argument("version", nargs="?")
    e.add_parser("list"); q = e.add_parser("sources"); q.add_argument("iri"); q.add_argument("version", nargs="?")
    q.add_argument("--deps", choices=["none", "deps", "deps-std", "std"], default="deps"); flags(q, "--only-deps")
    p = sub.add_parser("index", help="Manage a local kestro index")
    i = p.add_subparsers(dest="index", required=True)
    i.add_parser("init").add_argument("--index-root")
    q = i.add_parser("add"); q.add_argument("iri", nargs="?"); q.add_argument("--kpar-path", required=True); q.add_argument("--index-root")
    q = i.add_parser("yank"); q.add_argument("iri"); q.add_argument("--version", required=True); q.add_argument("--index-root")
    q = i.add_parser("remove"); q.add_argument("iri"); t = q.add_mutually_exclusive_group(required=True)
    t.add_argument("--version"); t.add_argument("--project", action="store_true"); q.add_argument("--index-root")
    p = sub.add_parser("sync", help="Sync `.kestro` to lockfile"); resolution(p); flags(p, "--no-prune")
    p = sub.add_parser("info", help="Describe or modify a local project")
    l = p.add_mutually_exclusive_group()
    l.add_argument("-p", "--path"); l.add_argument("-i", "--iri", "--uri", "--url"); l.add_argument("-a", "--auto-location")
    flags(p, "--no-normalise"); resolution(p)
    f = p.add_subparsers(dest="field")
    for name in ("name", "publisher", "description", "version", "license", "maintainer", "website", "topic"):
        q = f.add_parser(name); g = q.add_mutually_exclusive_group()
        g.add_argument("--set"); g.add_argument("--clear", action="store_true"); g.add_argument("--add"); g.add_argument("--remove", type=int)
        q.add_argument("--numbered", action="store_true")
    for name in ("usage", "index", "created", "checksum", "includes-derived", "includes-implied"):
        q = f.add_parser(name); q.add_argument("--numbered", action="store_true"); q.add_argument("--set")
    q = f.add_parser("metamodel"); q.add_argument("--set", choices=["sysml", "kerml"]); q.add_argument("--release", default="20250201")
    q.add_argument("--release-custom", type=int); q.add_argument("--set-custom"); q.add_argument("--clear", action="store_true")
    p = sub.add_parser("sources", help="List source files")
    p.add_argument("--deps", choices=["none", "deps", "deps-std", "std"], default="deps"); flags(p, "--only-deps")
    sub.add_parser("print-root", help="Prints the root directory of the current project")
    p = sub.add_parser("experimental", help="Experimental commands.")
    x = p.add_subparsers(dest="exp", required=True)
    q = x.add_parser("add"); g = q.add_mutually_exclusive_group(required=True); g.add_argument("--dir"); g.add_argument("--kpar-path")
    flags(q, "--no-lock", "--no-sync", "--no-prune"); resolution(q)
    q = x.add_parser("remove"); q.add_argument("publisher"); q.add_argument("name")
    flags(q, "--no-lock", "--no-sync", "--no-prune"); resolution(q)
    return root

VECTORS = [v.split("\x1f")[1:] for v in sys.argv[3].split("\x1e")]
count, built_count = int(sys.argv[1]), int(sys.argv[2])
parser = build()
start = time.perf_counter()
for i in range(count):
    parser.parse_args(VECTORS[i % len(VECTORS)])
print("reused", count / (time.perf_counter() - start))
start = time.perf_counter()
for i in range(built_count):
    build().parse_args(VECTORS[i % len(VECTORS)])
print("built", built_count / (time.perf_counter() - start))
)PY";

template <typename F>
double rate(std::size_t count, F&& one) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < count; ++i) one(i);
  return static_cast<double>(count) /
         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000;
  const std::size_t built_count = count / 10;
  const auto& vs = vectors();
  std::size_t failures = 0;

  kestro::cli::Command command = kestro::cli::build_cli_command();
  double reused = rate(count, [&](std::size_t i) {
    failures += !kestro::cli::try_parse_args_with(command, vs[i % vs.size()]).has_value();
  });
  double built = rate(built_count, [&](std::size_t i) {
    failures += !kestro::cli::try_parse_args(vs[i % vs.size()]).has_value();
  });

  std::string packed;
  for (const auto& v : vs) {
    if (!packed.empty()) packed += '\x1e';
    for (std::size_t i = 1; i < v.size(); ++i) packed += "\x1f" + v[i];  // without the program name
  }
  auto dir = std::filesystem::temp_directory_path() / fmt::format("kestro-bench-cli-{}", ::getpid());
  std::filesystem::create_directories(dir);
  auto peer = bench::run_python(dir, kPeer, fmt::format("{} {} '{}'", count, built_count, packed));
  std::filesystem::remove_all(dir);

  bench::header();
  std::optional<double> peer_reused, peer_built;
  if (peer) {
    peer_reused = (*peer)["reused"];
    peer_built = (*peer)["built"];
  }
  bench::row("parse, tree reused", reused, peer_reused, "vec/s", "argparse");
  bench::row("build tree + parse", built, peer_built, "vec/s", "argparse");
  if (failures) fmt::print("{} vectors failed to parse\n", failures);
  return failures == 0 ? 0 : 1;
}
