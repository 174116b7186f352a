// The index environment resolver against a scripted loopback index: which
// versions become candidates, when the index has none, and which failures
// of the version list fail the resolution.
#include "kestro/resolve/index_resolver.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestro/model/usage_match.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/sha256.hpp"
#include "resolve_test_support.hpp"
#include "support/log_capture.hpp"
#include "support/loopback_index.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

namespace kestro::resolve {
namespace {

using testing::entry;
using testing::Index;
using testing::Reply;
using testing::replace_all;
using testing::versions;

constexpr const char* kIri = "pkg:kestro/acme/widgets";
constexpr const char* kList = "/idx/acme/widgets/versions.json";

// The answer as text: "items: 2.0.0 1.0.0" (an error item as "!message"),
// "not found: ..." and so on, or "error: ...".
std::string answer_of(EnvResolver& resolver, const UsageInContext& usage) {
  auto result = resolver.resolve(usage);
  if (!result) return "error: " + result.error().message();
  if (auto* found = std::get_if<EnvResolver::Outcome::Resolved>(&result->value)) {
    std::string out = "items:";
    while (auto item = found->candidates->next())
      out += " " + (*item ? (*item)->version()->value() : "!" + item->error().message());
    return out;
  }
  static constexpr const char* kNames[] = {"", "unsupported: ", "not found: ", "unresolvable: "};
  return kNames[result->value.index()] + *result->reason();
}

std::vector<std::string> index_lines(const log::ScopedCapture& capture) {
  return testing::messages_of(capture, {kIndexTarget});
}

TEST(IndexResolver, AnswersFromTheVersionList) {
  const std::string retired_yanked =
      "skipping retired version `2.0.0` of `pkg:kestro/acme/widgets` (status: Yanked) during candidate enumeration";
  const std::string retired_removed =
      "skipping retired version `1.0.0` of `pkg:kestro/acme/widgets` (status: Removed) during candidate enumeration";
  const std::string not_listed =
      "versions.json 404 for `pkg:kestro/acme/widgets`: project not in this index, yielding empty candidate stream";
  struct Case {
    const char* name;
    std::optional<std::string> list;  // none: 404
    std::string answer;               // {U}: the list's URL; an answer ending in a space is a prefix
    std::vector<std::string> lines;   // the index client's debug lines of one resolution
    std::size_t list_requests;        // after resolving twice
  };
  const std::vector<Case> cases = {
      {"yanked and removed versions are skipped",
       versions({entry("2.0.0", R"(,"status":"yanked")"), entry("1.1.0"), entry("1.0.0", R"(,"status":"removed")")}),
       "items: 1.1.0",
       {retired_yanked, retired_removed},
       1},
      {"every version retired",
       versions({entry("2.0.0", R"(,"status":"yanked")"), entry("1.0.0", R"(,"status":"removed")")}),
       "not found: environment does not contain this project",
       {retired_yanked, retired_removed},
       1},
      {"an empty list logs nothing", versions({}), "not found: environment does not contain this project", {}, 1},
      {"list order, pre-releases under their own text",
       versions({entry("2.0.0"), entry("1.0.0"), entry("1.0.0-rc.1")}), "items: 2.0.0 1.0.0 1.0.0-rc.1", {}, 1},
      {"404 is asked again every time", std::nullopt, "not found: environment does not contain this project",
       {not_listed}, 2},
      {"a version listed twice fails the resolution", versions({entry("2.0.0"), entry("2.0.0")}),
       "error: versions.json at `{U}` lists version `2.0.0` more than once", {}, 2},
      {"an unparsable version fails the resolution", versions({entry("2.0.0"), entry("v1.0.0")}),
       "error: versions.json at `{U}` has entry with non-semver version `v1.0.0`: ", {}, 2},
      {"malformed JSON fails the resolution", R"({"versions":[)", "error: failed to parse JSON from `{U}`: ", {}, 2},
      {"out of order fails the resolution", versions({entry("1.0.0"), entry("2.0.0")}),
       "error: versions.json at `{U}` is not in descending semver precedence: `1.0.0` precedes `2.0.0` in wire order",
       {}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Index index;
    if (c.list) index.route(kList, Reply::ok(*c.list));
    EnvResolver resolver(IndexEnvironment(index.location(), http::Client(), AuthPolicy()));
    const std::string expected = replace_all(c.answer, "{U}", index.url("acme/widgets/versions.json"));
    for (int round = 0; round < 2; ++round) {
      log::ScopedCapture capture;
      const std::string answer = answer_of(resolver, resource_usage(kIri));
      if (expected.ends_with(' '))
        EXPECT_TRUE(answer.starts_with(expected)) << answer;
      else
        EXPECT_EQ(answer, expected);
      // A cached list is walked again, with the same lines.
      EXPECT_EQ(index_lines(capture), c.lines);
    }
    std::size_t list_requests = 0;
    for (const std::string& target : index.targets()) list_requests += target == kList;
    EXPECT_EQ(list_requests, c.list_requests);
    // Nothing of a candidate is fetched while resolving.
    for (const std::string& target : index.targets())
      EXPECT_TRUE(target == kList || target == "/idx/kestro-index-config.json") << target;
  }
}

TEST(IndexResolver, IdentifiersAreTheUsagesAsWritten) {
  Index index;
  index.route(kList, Reply::ok(versions({entry("1.0.0")})));
  EnvResolver resolver(IndexEnvironment(index.location(), http::Client(), AuthPolicy()));
  EXPECT_EQ(answer_of(resolver, resource_usage(kIri)), "items: 1.0.0");
  // A directory usage is looked up under the identifier of its publisher
  // and name: the list already kept serves it.
  UsageInContext directory{DirectoryUsageG<std::string>{"/nowhere", "acme", "widgets"}, std::nullopt};
  EXPECT_EQ(usage_identifier(directory.usage), kIri);
  EXPECT_EQ(answer_of(resolver, directory), "items: 1.0.0");
  // A malformed package IRI fails before any list is asked for.
  EXPECT_EQ(answer_of(resolver, resource_usage("pkg:kestro/acme")),
            "error: malformed `pkg:kestro` IRI `pkg:kestro/acme`");
  EXPECT_EQ(index.targets(), (std::vector<std::string>{"/idx/kestro-index-config.json", kList}));
  // IRIs that differ in letter case name two projects, each asked for.
  const std::string not_found = "not found: environment does not contain this project";
  EXPECT_EQ(answer_of(resolver, resource_usage("urn:example:Widgets")), not_found);
  EXPECT_EQ(answer_of(resolver, resource_usage("urn:example:widgets")), not_found);
  auto targets = index.targets();
  ASSERT_EQ(targets.size(), 4u);
  EXPECT_TRUE(targets[2].starts_with("/idx/_iri/") && targets[3].starts_with("/idx/_iri/"));
  EXPECT_NE(targets[2], targets[3]);
}

TEST(IndexResolver, CandidatesReadTheirFilesFromTheArchive) {
  ScopedTmpdir tmp;
  std::string kpar;
  {
    TempDir dir;
    make_zip(dir.path() / "a.kpar", {{".project.json", R"({"name":"w","version":"1.0.0"})"}, {"a.sysml", "part a;"},
                                     {"b.sysml", "part b;"}});
    kpar = read_bytes(dir.path() / "a.kpar");
  }
  Index index;
  index.route(kList, Reply::ok(versions({fmt::format(
                         R"({{"version":"1.0.0","usage":[],"kpar_size":{},"kpar_digest":"sha256:{}"}})", kpar.size(),
                         sha256_hex(kpar))})));
  index.route("/idx/acme/widgets/1.0.0/project.kpar", Reply::ok(kpar));
  EnvResolver resolver(IndexEnvironment(index.location(), http::Client(), AuthPolicy()));
  auto outcome = resolver.resolve(resource_usage(kIri));
  ASSERT_TRUE(outcome && outcome->resolved());
  auto item = std::get<EnvResolver::Outcome::Resolved>(outcome->value).candidates->next();
  ASSERT_TRUE(item && *item);
  const std::size_t before = index.targets().size();
  for (const char* path : {"a.sysml", "b.sysml"}) {
    auto reader = (*item)->read_source(path);
    ASSERT_TRUE(reader) << reader.error().message();
    char buffer[16];
    EXPECT_EQ((*reader)->read(std::span<char>(buffer, sizeof buffer)).value(), 7u);
  }
  // One download for both reads; the records in the index are not asked for.
  auto targets = index.targets();
  EXPECT_EQ(std::vector<std::string>(targets.begin() + static_cast<std::ptrdiff_t>(before), targets.end()),
            std::vector<std::string>{"/idx/acme/widgets/1.0.0/project.kpar"});
}

TEST(IndexResolver, WrappingPassesErrorItemsOnAndTakesEntriesWhole) {
  auto passed = wrap_index_candidate(std::unexpected(IndexEnvError::VersionNotInIndex{"u", "9"}));
  ASSERT_FALSE(passed);
  EXPECT_EQ(passed.error().message(), "versions.json at `u` does not list version `9`");

  Index index;
  index.route(kList, Reply::ok(versions({entry("2.0.0")})));
  EnvResolver resolver(IndexEnvironment(index.location(), http::Client(), AuthPolicy()));
  auto outcome = resolver.resolve(resource_usage(kIri));
  ASSERT_TRUE(outcome && outcome->resolved());
  auto held = wrap_index_candidate(*std::get<EnvResolver::Outcome::Resolved>(outcome->value).candidates->next());
  ASSERT_TRUE(held);
  const std::size_t before = index.targets().size();
  EXPECT_EQ((*held)->version().value(), "2.0.0");
  EXPECT_EQ((*held)->checksum_hex()->hex, testing::kDigest);
  EXPECT_EQ(index.targets().size(), before);
  // A failure is the entry's own error.
  auto info = (*held)->get_info();
  ASSERT_FALSE(info);
  EXPECT_EQ(info.error().message(), "HTTP request to `" + index.url("acme/widgets/2.0.0/.project.json") +
                                        "` returned status 404 Not Found");
  const IndexEntryError* inner = &info.error();
  ASSERT_TRUE(inner);
  EXPECT_TRUE(inner->holds<IndexEntryError::Fetch>());
}

}  // namespace
}  // namespace kestro::resolve
