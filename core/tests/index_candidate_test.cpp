// Index entries as the combined resolver's index candidates: reads through
// the entry (its version and usages with no request), the cached kind's
// reads from its local copy with its lock source from the entry, and the
// local-cache match over the entry.
#include <gtest/gtest.h>

#include "kestro/remote/index_candidates.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/index_resolver.hpp"
#include "kestro/resolve/local_cache.hpp"
#include "support/loopback_index.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

using testing::entry;
using testing::Index;
using testing::Reply;
using testing::versions;
using testing::kMeta;

constexpr const char* kInfo = R"({"name":"P","version":"9.9.9"})";

// An index listing 2.0.0 of acme/widgets, its records unserved.
struct IndexWithOneVersion {
  Index index;
  IndexEnvironment env{index.location(), http::Client(), AuthPolicy()};
  IndexWithOneVersion() { index.route("/idx/acme/widgets/versions.json", Reply::ok(versions({entry("2.0.0")}))); }
  void serve_records() {
    index.route("/idx/acme/widgets/2.0.0/.project.json", Reply::ok(kInfo));
    index.route("/idx/acme/widgets/2.0.0/.meta.json", Reply::ok(kMeta));
  }
  IndexEntryHandle candidate() {
    return wrap_index_candidate(index_project_candidates(std::string("2.0.0"), env, "pkg:kestro/acme/widgets"))
        .value();
  }
  Source source() const {
    return IndexKparSource{index.url("acme/widgets/2.0.0/project.kpar"), 10, testing::kDigest};
  }
};

TEST(IndexCandidate, VersionAndUsagesWithoutRequestsRecordsFetchedUntilTheyArrive) {
  IndexWithOneVersion fixture;
  CombinedProject project(CombinedProject::IndexProject{fixture.candidate()});
  const std::size_t before = fixture.index.targets().size();
  EXPECT_EQ(project.version().value(), "2.0.0");
  EXPECT_TRUE(project.usage().value()->empty());
  EXPECT_EQ(project.sources({}).value(), std::vector<Source>{fixture.source()});
  EXPECT_EQ(fixture.index.targets().size(), before);

  auto failed = project.get_info();
  ASSERT_FALSE(failed);
  ASSERT_TRUE(failed.error().holds<CombinedProjectError::IndexProject>());
  EXPECT_EQ(failed.error().message(), "HTTP request to `" + fixture.index.url("acme/widgets/2.0.0/.project.json") +
                                          "` returned status 404 Not Found");
  const IndexEntryError* inner = &failed.error().get_if<CombinedProjectError::IndexProject>()->err;
  ASSERT_TRUE(inner);
  EXPECT_TRUE(inner->holds<IndexEntryError::Fetch>());

  // A failure is not kept: the next read asks again and gets the records.
  fixture.serve_records();
  EXPECT_EQ(project.get_info().value()->version, "9.9.9");
  EXPECT_EQ(project.version().value(), "2.0.0");
  EXPECT_TRUE(project.get_meta().value());
}

TEST(IndexCandidate, TheSolversProjectAnswersVersionAndUsagesFromTheEntry) {
  IndexWithOneVersion fixture;
  fixture.serve_records();  // `.project.json` says 9.9.9
  using Configured = PriorityProject<std::shared_ptr<const SourceProject>, InMemoryProject>;
  using Solver = PriorityProject<Configured, CombinedProject>;
  Solver project(Solver::Lower{CombinedProject(CombinedProject::IndexProject{fixture.candidate()})});
  const std::size_t before = fixture.index.targets().size();
  EXPECT_EQ(project.version().value(), "2.0.0");
  EXPECT_TRUE(project.usage().value()->empty());
  EXPECT_EQ(fixture.index.targets().size(), before);
}

TEST(IndexCandidate, CachedKindReadsItsCopyAndTakesItsSourceFromTheEntry) {
  IndexWithOneVersion fixture;
  TempDir dir;
  testing::write_project(dir.path(), R"({"name":"Copy","version":"2.0.0"})");
  CombinedProject cached(CombinedProject::CachedIndexProject{LocalSrcProject(dir.path()), fixture.candidate()});
  const std::size_t before = fixture.index.targets().size();
  EXPECT_EQ(cached.get_info().value()->name, "Copy");
  EXPECT_TRUE(cached.get_meta().value());
  EXPECT_EQ(cached.version().value(), "2.0.0");
  EXPECT_EQ(cached.sources({}).value(), std::vector<Source>{fixture.source()});
  EXPECT_EQ(local_project_root(cached), std::nullopt);
  EXPECT_EQ(fixture.index.targets().size(), before);

  // A broken copy fails as the cached kind, never as the index entry.
  write_text(dir.path() / ".project.json", "{");
  auto failed = cached.get_info();
  ASSERT_FALSE(failed);
  EXPECT_TRUE(failed.error().holds<CombinedProjectError::CachedIndexProject>());
}

TEST(IndexCandidate, MatchesTheCopyWithItsCanonicalChecksum) {
  IndexWithOneVersion fixture;
  fixture.serve_records();
  const std::string sum =
      canonical_project_digest_hex(parse_project_info(kInfo).value(), parse_project_meta(kMeta).value());
  LocalCacheMap cache;
  cache.insert_or_assign("11", LocalSrcProject("/other"));
  cache.insert_or_assign(sum, LocalSrcProject("/copy"));
  auto candidate = fixture.candidate();
  auto copy = match_local_cache(cache, candidate);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->project_path, "/copy");
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_FALSE(match_local_cache(cache, candidate));
}

}  // namespace
}  // namespace kestro::resolve
