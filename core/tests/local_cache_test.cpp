// Pairing remote and index candidates with installed copies by canonical
// checksum: remote source trees and index entries against loopback servers,
// git candidates against missing repositories.
#include "kestro/resolve/local_cache.hpp"

#include <cctype>
#include <functional>

#include <gtest/gtest.h>

#include "kestro/remote/index_candidates.hpp"
#include "kestro/resolve/index_resolver.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/text.hpp"
#include "support/loopback_index.hpp"
#include "support/loopback_server.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using testing::kInfo;
using testing::kMeta;
using testing::serve_tree;

const std::string& checksum_of_records() {
  static const std::string sum =
      canonical_project_digest_hex(parse_project_info(kInfo).value(), parse_project_meta(kMeta).value());
  return sum;
}

HttpProject tree_at(const LoopbackServer& server) {
  return HttpProject(HttpProject::Src{
      remote::RemoteSrcProject(url::Url::parse(server.url("/p/")).value(), std::nullopt, http::Client(), AuthPolicy())});
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The lines of the combined resolver's target (the senders log their own).
std::vector<log::Record> match_lines(const log::ScopedCapture& capture) {
  std::vector<log::Record> out;
  for (const auto& r : capture.records())
    if (r.target == "kestro_core::resolve::combined") out.push_back(r);
  return out;
}

// A map of copies named by their roots, in order.
LocalCacheMap cache_of(const std::vector<std::pair<std::string, std::string>>& entries) {
  LocalCacheMap cache;
  for (const auto& [key, root] : entries) cache.insert_or_assign(key, LocalSrcProject(root));
  return cache;
}

std::string roots_of(const LocalCacheMap& cache) {
  std::string out;
  for (const auto& [key, project] : cache) out += project.project_path.string() + " ";
  return out;
}

TEST(LocalCache, MatchesByCanonicalChecksum) {
  const std::string sum = checksum_of_records();
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> entries;
    const char* matched;  // the copy's root, or "" for none
    const char* left;
    bool requested;
  };
  const Case cases[] = {
      {"no entries: nothing is fetched", {}, "", "", false},
      {"a match in the middle keeps the order of the rest", {{"11", "/a"}, {sum, "/b"}, {"22", "/c"}}, "/b", "/a /c ",
       true},
      {"a key differing in case does not match", {{upper(sum), "/a"}}, "", "/a ", true},
      {"no key matches", {{"11", "/a"}}, "", "/a ", true},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    serve_tree(server);
    LocalCacheMap cache = cache_of(c.entries);
    log::ScopedCapture capture;
    auto copy = match_local_cache(cache, tree_at(server));
    EXPECT_EQ(copy ? copy->project_path.string() : "", c.matched) << c.name;
    EXPECT_EQ(roots_of(cache), c.left) << c.name;
    EXPECT_EQ(!server.requests().empty(), c.requested) << c.name;
    EXPECT_TRUE(match_lines(capture).empty()) << c.name;
  }
}

TEST(LocalCache, ACopyServesOneCandidate) {
  LoopbackServer server;
  serve_tree(server);
  LocalCacheMap cache = cache_of({{checksum_of_records(), "/a"}});
  EXPECT_TRUE(match_local_cache(cache, tree_at(server)));
  EXPECT_FALSE(match_local_cache(cache, tree_at(server)));
}

TEST(LocalCache, FailuresAndMissingRecordsAreNoMatch) {
  LoopbackServer server;
  TempDir dir;
  struct Case {
    const char* name;
    std::function<std::optional<LocalSrcProject>(LocalCacheMap&)> match;
    std::string line;  // the debug line's start, "" for none
  };
  const std::string missing_repo = "file://" + (dir.path() / "missing.git").string();
  // An index listing the version whose `.meta.json` it does not serve.
  testing::Index index;
  index.route("/idx/acme/widgets/versions.json", Reply::ok(testing::versions({testing::entry("1.0.0")})));
  index.route("/idx/acme/widgets/1.0.0/.project.json", Reply::ok(kInfo));
  IndexEnvironment env(index.location(), http::Client(), AuthPolicy());
  const Case cases[] = {
      {"a source tree without .meta.json",
       [&](LocalCacheMap& cache) {
         serve_tree(server, kInfo, "");
         return match_local_cache(cache, tree_at(server));
       },
       ""},
      {"a malformed .meta.json",
       [&](LocalCacheMap& cache) {
         serve_tree(server, kInfo, "{");
         return match_local_cache(cache, tree_at(server));
       },
       "remote-project checksum_canonical_hex failed; skipping local-cache match: HTTP request to\n  `" +
           server.url("/p/.meta.json") + "`\n  returned malformed data: "},
      {"a failed clone",
       [&](LocalCacheMap& cache) {
         auto git = HttpOrGitProject(HttpOrGitProject::Git{RemoteGitProject::create(missing_repo).value()});
         return match_local_cache(cache, git);
       },
       "remote-project checksum_canonical_hex failed; skipping local-cache match: git clone from `" + missing_repo +
           "` failed: "},
      {"missing index .meta.json",
       [&](LocalCacheMap& cache) {
         auto candidate = index_project_candidates(std::string("1.0.0"), env, "pkg:kestro/acme/widgets");
         return match_local_cache(cache, wrap_index_candidate(std::move(candidate)).value());
       },
       "index-project checksum_canonical_hex failed; skipping local-cache match: HTTP request to `" +
           index.url("acme/widgets/1.0.0/.meta.json") + "` returned status 404 Not Found"},
  };
  for (const Case& c : cases) {
    LocalCacheMap cache = cache_of({{"11", "/a"}, {checksum_of_records(), "/b"}});
    log::ScopedCapture capture;
    EXPECT_FALSE(c.match(cache)) << c.name;
    EXPECT_EQ(roots_of(cache), "/a /b ") << c.name;
    auto lines = match_lines(capture);
    if (c.line.empty()) {
      EXPECT_TRUE(lines.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(lines.size(), 1u) << c.name;
    EXPECT_EQ(lines[0].level, log::Level::Debug);
    EXPECT_TRUE(lines[0].message.starts_with(c.line)) << c.name << ": " << lines[0].message;
  }
}

TEST(LocalCache, AnEmptyMapClonesNothing) {
  TempDir dir;
  auto git = HttpOrGitProject(
      HttpOrGitProject::Git{RemoteGitProject::create("file://" + (dir.path() / "missing.git").string()).value()});
  LocalCacheMap cache;
  log::ScopedCapture capture;
  EXPECT_FALSE(match_local_cache(cache, git));
  EXPECT_TRUE(capture.records().empty());
  const auto& checkout = std::get<HttpOrGitProject::Git>(git.kind).project.checkout().project_path;
  EXPECT_TRUE(std::filesystem::is_empty(checkout));
}

}  // namespace
}  // namespace kestro::resolve
