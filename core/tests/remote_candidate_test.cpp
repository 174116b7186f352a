// HTTP projects as the combined resolver's remote candidates: reads through
// the candidate, the cached kind's reads from its local copy, its lock
// sources from the candidate, and the local-cache match over the candidate.
#include <gtest/gtest.h>

#include "kestro/remote/http_project.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/local_cache.hpp"
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
using testing::write_project;

HttpOrGitProject candidate_at(const LoopbackServer& server) {
  return remote_candidate(HttpProject(HttpProject::Src{remote::RemoteSrcProject(
      url::Url::parse(server.url("/p/")).value(), std::nullopt, http::Client(), AuthPolicy())}));
}

void write_copy(const std::filesystem::path& dir) {
  write_project(dir, R"({"name":"Copy","version":"1.0.0"})");
}

TEST(RemoteCandidate, ReadsThroughTheHttpProject) {
  LoopbackServer server;
  serve_tree(server);
  CombinedProject remote(CombinedProject::RemoteProject{candidate_at(server)});
  EXPECT_EQ(remote.get_info().value()->name, "P");
  const std::string sum =
      canonical_project_digest_hex(parse_project_info(kInfo).value(), parse_project_meta(kMeta).value());
  EXPECT_EQ(remote.sources({}).value(), (std::vector<Source>{RemoteSrcSource{server.url("/p/"), sum}}));

  LocalCacheMap cache;
  cache.insert_or_assign(sum, LocalSrcProject("/copy"));
  auto copy = match_local_cache(cache, candidate_at(server));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->project_path, "/copy");
}

TEST(RemoteCandidate, CachedKindReadsItsCopyAndReportsItsCandidatesFailure) {
  TempDir dir;
  write_copy(dir.path());
  LoopbackServer server;
  serve_tree(server, /*info=*/"");
  CombinedProject cached(CombinedProject::CachedRemoteProject{LocalSrcProject(dir.path()), candidate_at(server)});
  EXPECT_EQ(cached.get_info().value()->name, "Copy");
  EXPECT_EQ(cached.version().value(), "1.0.0");
  EXPECT_TRUE(server.requests().empty());

  // The candidate's sources need its checksum, which fails without
  // `.project.json`: an error with the candidate's text, never a lock
  // source without a checksum.
  auto sources = cached.sources({});
  ASSERT_FALSE(sources);
  ASSERT_TRUE(sources.error().holds<CombinedProjectError::CachedRemoteOrigin>());
  EXPECT_EQ(sources.error().message(), "project is missing `.project.json` and/or `.meta.json` files");
  const auto* http = http_error_of(sources.error().get_if<CombinedProjectError::CachedRemoteOrigin>()->err);
  ASSERT_TRUE(http);
  EXPECT_TRUE(http->get_if<HttpProjectError::SrcProject>()->err.holds<remote::RemoteSrcError::MissingInfoMeta>());
}

}  // namespace
}  // namespace kestro::resolve
