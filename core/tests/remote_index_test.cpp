// The index client against a scripted loopback index: discovery, version
// lists, candidates and index entry projects.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kestro/remote/discovery.hpp"
#include "kestro/remote/index_candidates.hpp"
#include "kestro/remote/index_entry.hpp"
#include "kestro/remote/versions.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/sha256.hpp"
#include "support/log_capture.hpp"
#include "support/loopback_index.hpp"
#include "support/loopback_server.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

namespace kestro::remote {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;

constexpr std::string_view kJsonAccept = "application/vnd.github.raw, application/json, text/plain";
using testing::Index;
using testing::entry;
using testing::kDigest;
using testing::replace_all;
using testing::versions;

constexpr std::string_view kIri = "pkg:kestro/acme/widgets";

std::vector<std::string> debug_lines(const log::ScopedCapture& capture, std::string_view target) {
  return testing::messages_of(capture, {target});
}

// ---- discovery ----

TEST(IndexDiscovery, DocumentsAndTheirEndpoints) {
  struct Case {
    const char* name;
    Reply reply;
    std::string result;  // "root|api" on success ("-" for none), else the message; {D} the document URL,
                         // {L} the location
  };
  std::vector<Case> cases = {
      {"404", Reply::with_status(404), "{L}|-"},
      {"empty object", Reply::ok("{}"), "{L}|-"},
      {"both null", Reply::ok(R"({"index_root":null,"api_root":null})"), "{L}|-"},
      {"unlisted keys only", Reply::ok(R"({"other":[1]})"), "{L}|-"},
      {"api root gets a slash", Reply::ok(R"({"api_root":"https://api.example.com/v1"})"),
       "{L}|https://api.example.com/v1/"},
      {"api root keeps its slash", Reply::ok(R"({"api_root":"https://api.example.com/v1/"})"),
       "{L}|https://api.example.com/v1/"},
      {"query and fragment stay after the slash", Reply::ok(R"({"api_root":"https://api.example.com/v1?x=1#f"})"),
       "{L}|https://api.example.com/v1/?x=1#f"},
      {"upper-case scheme", Reply::ok(R"({"api_root":"HTTPS://api.example.com"})"), "{L}|https://api.example.com/"},
      {"template index root", Reply::ok(R"({"index_root":"https://h.example/files/{path}/raw?ref=main"})"),
       "https://h.example/files/{path}/raw?ref=main|-"},
      {"absolute path", Reply::ok(R"({"api_root":"/api"})"),
       "discovery document at `{D}` supplied a relative URL `/api` for `api_root`;\nabsolute HTTP(S) URLs are required"},
      {"empty api root", Reply::ok(R"({"api_root":""})"),
       "discovery document at `{D}` supplied a relative URL `` for `api_root`;\nabsolute HTTP(S) URLs are required"},
      {"invalid port", Reply::ok(R"({"api_root":"https://x.example:99999/"})"),
       "discovery document at `{D}` supplied an invalid URL `https://x.example:99999/` for `api_root`:\ninvalid port "
       "number\n  caused by: invalid port number\n"},
      {"ftp", Reply::ok(R"({"api_root":"FTP://x.example/a"})"),
       "discovery document at `{D}` supplied a non-HTTP(S) URL `ftp://x.example/a` for `api_root`;\nonly `http` and "
       "`https` are supported"},
      {"no authority", Reply::ok(R"({"api_root":"mailto:a@b.example"})"),
       "discovery document at `{D}` supplied a non-HTTP(S) URL `mailto:a@b.example` for `api_root`;\nonly `http` and "
       "`https` are supported"},
      {"user name", Reply::ok(R"({"api_root":"https://me@x.example"})"),
       "discovery document at `{D}` supplied URL userinfo in `https://me@x.example/` for `api_root`;\nusername and "
       "password are not allowed"},
      {"relative index root", Reply::ok(R"({"index_root":"files/"})"),
       "discovery document at `{D}` supplied an invalid `index_root`\n  caused by: index URL `files/` is relative;\n"
       "index locations must be absolute HTTP(S) URLs\n"},
      {"both invalid: only the index root", Reply::ok(R"({"index_root":"files/","api_root":"/api"})"),
       "discovery document at `{D}` supplied an invalid `index_root`\n  caused by: index URL `files/` is relative;\n"
       "index locations must be absolute HTTP(S) URLs\n"},
      {"500", Reply::with_status(500), "HTTP request to `{D}` returned status 500 Internal Server Error"},
      {"html", Reply::ok("<html></html>"), "failed to parse JSON from `{D}`: "},
      {"key twice", Reply::ok(R"({"api_root":null,"api_root":null})"),
       "failed to parse JSON from `{D}`: duplicate field `api_root` at line 1 column 27\n"
       "  caused by: duplicate field `api_root` at line 1 column 27\n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Index index;
    index.route("/idx/kestro-index-config.json", c.reply);
    std::string expected = replace_all(replace_all(c.result, "{D}", index.url("kestro-index-config.json")), "{L}",
                                       index.url());
    auto found = discover_index_endpoints(http::Client(), auth::AuthPolicy(), index.location());
    if (found) {
      std::string api = found->api_root ? found->api_root->href() : "-";
      EXPECT_EQ(display_index_location(found->index_root) + "|" + api, expected);
    } else {
      std::string text = render_error_chain(found.error());
      if (expected.ends_with(' '))
        EXPECT_TRUE(text.starts_with(expected)) << text;
      else
        EXPECT_EQ(text, expected);
    }
    auto requests = index.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header("Accept"), std::string(kJsonAccept));
    EXPECT_FALSE(requests[0].header("Authorization"));
  }
}

TEST(IndexDiscovery, ReadOnlyIndexDebugLineAndRequiredDocument) {
  Index index;
  log::ScopedCapture capture;
  auto found = discover_index_endpoints(http::Client(), auth::AuthPolicy(), index.location());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->index_root, index.location());
  EXPECT_EQ(debug_lines(capture, kDiscoveryTarget),
            std::vector<std::string>{"resolved index endpoints: index_root `" + index.url() +
                                     "`, no api_root (read-only index)"});
  EXPECT_TRUE(discover_index_endpoints_unauthenticated(http::Client(), index.location(), false));
  auto required = discover_index_endpoints_unauthenticated(http::Client(), index.location(), true);
  ASSERT_FALSE(required);
  EXPECT_EQ(required.error().message(),
            "HTTP request to `" + index.url("kestro-index-config.json") + "` returned status 404 Not Found");
}

TEST(IndexDiscovery, OversizedDocumentFailsAsBodyError) {
  Index index;
  index.route("/idx/kestro-index-config.json", Reply::ok(std::string(kJsonBodyLimit + 1, ' ')));
  auto found = discover_index_endpoints(http::Client(), auth::AuthPolicy(), index.location());
  ASSERT_FALSE(found);
  EXPECT_TRUE(found.error().message().starts_with("failed to read HTTP response body from `" +
                                                  index.url("kestro-index-config.json") + "`: "))
      << found.error().message();
}

TEST(IndexDiscovery, SuccessIsKeptFailureIsNot) {
  Index index;
  index.route("/idx/kestro-index-config.json", Reply::with_status(500));
  IndexEnvironment env(index.location(), http::Client(), auth::AuthPolicy());
  EXPECT_FALSE(env.index_endpoints_once());
  EXPECT_FALSE(env.index_endpoints_once());
  EXPECT_EQ(index.server.requests().size(), 2u);
  index.route("/idx/kestro-index-config.json", Reply::ok(R"({"api_root":"https://api.example/"})"));
  ASSERT_TRUE(env.index_endpoints_once());
  index.route("/idx/kestro-index-config.json", Reply::ok(R"({"api_root":"https://changed.example/"})"));
  auto again = env.index_endpoints_once();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->get().api_root->href(), "https://api.example/");
  EXPECT_EQ(index.server.requests().size(), 3u);
  IndexEnvironment known(IndexEndpoints{index.location(), std::nullopt}, http::Client(), auth::AuthPolicy());
  EXPECT_TRUE(known.index_endpoints_once());
  EXPECT_EQ(index.server.requests().size(), 3u);
}

// ---- versions.json ----

TEST(IndexVersions, ChecksAndTheirTexts) {
  struct Case {
    const char* name;
    std::string body;
    std::string result;  // the versions in order joined by " " on success, else the message ({U}: the URL);
                         // a message ending in a space is a prefix
  };
  std::vector<Case> cases = {
      {"valid, release above its pre-release", versions({entry("2.0.0"), entry("1.0.0"), entry("1.0.0-rc.1")}),
       "2.0.0 1.0.0 1.0.0-rc.1"},
      {"empty list", versions({}), ""},
      {"extra keys ignored", R"({"x":1,"versions":[)" + entry("1.0.0", R"(,"y":2)") + "]}", "1.0.0"},
      {"no versions key", "{}", "failed to parse JSON from `{U}`: missing field `versions` at line 1 column 2"},
      {"missing field", R"({"versions":[{"version":"1.0.0","usage":[],"kpar_size":1}]})",
       "failed to parse JSON from `{U}`: missing field `kpar_digest` at line 1 column 57"},
      {"zero size", versions({replace_all(entry("1.0.0"), "10", "0")}),
       "failed to parse JSON from `{U}`: invalid value: integer `0`, expected a nonzero u64 at "},
      {"capitalised status", versions({entry("1.0.0", R"(,"status":"Yanked")")}), "failed to parse JSON from `{U}`: "},
      {"null status", versions({entry("1.0.0", R"(,"status":null)")}), "failed to parse JSON from `{U}`: "},
      {"trailing letter", versions({entry("1.0.0")}) + "x", "failed to parse JSON from `{U}`: "},
      {"upper-case digest", versions({entry("1.0.0", "", std::string(64, 'A'))}),
       "versions.json at `{U}` has entry for version `1.0.0` with malformed `kpar_digest` = `sha256:" +
           std::string(64, 'A') + "` (expected `sha256:<64-hex>`)"},
      {"63 digits", versions({entry("1.0.0", "", std::string(63, 'a'))}),
       "versions.json at `{U}` has entry for version `1.0.0` with malformed `kpar_digest` = `sha256:" +
           std::string(63, 'a') + "` (expected `sha256:<64-hex>`)"},
      {"leading v", versions({entry("v1.0.0")}), "versions.json at `{U}` has entry with non-semver version `v1.0.0`: "},
      {"two numbers", versions({entry("1.0")}), "versions.json at `{U}` has entry with non-semver version `1.0`: "},
      {"build metadata", versions({entry("1.0.0+build.5")}),
       "versions.json at `{U}` has entry with version `1.0.0+build.5` carrying build metadata; build metadata is not "
       "permitted in index-advertised versions"},
      {"out of order", versions({entry("1.0.0-rc.1"), entry("1.0.0")}),
       "versions.json at `{U}` is not in descending semver precedence: `1.0.0-rc.1` precedes `1.0.0` in wire order"},
      {"duplicate before order", versions({entry("1.0.0"), entry("2.0.0"), entry("2.0.0")}),
       "versions.json at `{U}` lists version `2.0.0` more than once"},
      {"entry checks before duplicates", versions({entry("2.0.0"), entry("2.0.0"), entry("1.0.0", "", "x")}),
       "versions.json at `{U}` has entry for version `1.0.0` with malformed `kpar_digest` = `sha256:x` (expected "
       "`sha256:<64-hex>`)"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Index index;
    index.route("/idx/acme/widgets/versions.json", Reply::ok(c.body));
    IndexEnvironment env(index.location(), http::Client(), auth::AuthPolicy());
    std::string expected = replace_all(c.result, "{U}", index.url("acme/widgets/versions.json"));
    auto list = env.fetch_versions_json(kIri);
    if (list) {
      ASSERT_TRUE(*list);
      std::string got;
      for (const auto& e : ***list) got += (got.empty() ? "" : " ") + e.version.to_string();
      EXPECT_EQ(got, expected);
    } else if (expected.ends_with(' ')) {
      EXPECT_TRUE(list.error().message().starts_with(expected)) << list.error().message();
    } else {
      EXPECT_EQ(list.error().message(), expected);
    }
  }
}

TEST(IndexVersions, SuccessIsCachedMissingAndFailuresAreNot) {
  Index index;
  IndexEnvironment env(index.location(), http::Client(), auth::AuthPolicy());
  auto missing = env.fetch_versions_json(kIri);
  ASSERT_TRUE(missing);
  EXPECT_FALSE(*missing);
  index.route("/idx/acme/widgets/versions.json", Reply::with_status(500));
  auto failed = env.fetch_versions_json(kIri);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message(), "HTTP request to `" + index.url("acme/widgets/versions.json") +
                                          "` returned status 500 Internal Server Error");
  index.route("/idx/acme/widgets/versions.json", Reply::ok(versions({entry("1.0.0")})));
  auto first = env.fetch_versions_json(kIri);
  auto second = env.fetch_versions_json(kIri);
  ASSERT_TRUE(first && *first && second && *second);
  EXPECT_EQ(first->value().get(), second->value().get());  // the same list, shared
  EXPECT_EQ(index.targets(), (std::vector<std::string>{"/idx/kestro-index-config.json", "/idx/acme/widgets/versions.json",
                                                       "/idx/acme/widgets/versions.json",
                                                       "/idx/acme/widgets/versions.json"}));
  for (const auto& r : index.server.requests()) EXPECT_EQ(r.header("Accept"), std::string(kJsonAccept));
}

// ---- candidates ----

class IndexCandidates : public ::testing::Test {
 protected:
  Index index;
  IndexEnvironment env{index.location(), http::Client(), auth::AuthPolicy()};
  void SetUp() override {
    index.route("/idx/acme/widgets/versions.json",
                Reply::ok(versions({entry("3.0.0", R"(,"status":"yanked")"), entry("2.0.0"), entry("1.2.0-rc.1"),
                                    entry("1.0.0", R"(,"status":"removed")")})));
  }
};

TEST_F(IndexCandidates, EnumerationSkipsRetiredVersions) {
  log::ScopedCapture capture;
  auto list = env.fetch_versions_json(kIri);
  ASSERT_TRUE(list && *list);
  SkipRetiredVersion versions_of(**list, std::string(kIri));
  std::vector<std::string> offered;
  while (auto v = versions_of.next()) offered.push_back(*v);
  EXPECT_EQ(offered, (std::vector<std::string>{"2.0.0", "1.2.0-rc.1"}));
  EXPECT_EQ(debug_lines(capture, kIndexTarget),
            (std::vector<std::string>{
                "skipping retired version `3.0.0` of `pkg:kestro/acme/widgets` (status: Yanked) during candidate "
                "enumeration",
                "skipping retired version `1.0.0` of `pkg:kestro/acme/widgets` (status: Removed) during candidate "
                "enumeration"}));
}

TEST_F(IndexCandidates, NamedVersions) {
  std::string url = index.url("acme/widgets/versions.json");
  struct Case {
    std::string version;
    std::string result;  // the archive URL's path, or the message
    std::vector<std::string> debug;
  };
  std::vector<Case> cases = {
      {"3.0.0", "/idx/acme/widgets/3.0.0/project.kpar", {}},
      {"1.2.0-rc.1", "/idx/acme/widgets/1.2.0-rc.1/project.kpar", {}},
      {"1.0.0",
       "version `1.0.0` of `pkg:kestro/acme/widgets` was removed upstream (versions.json at `" + url +
           "` marks it `status: \"removed\"`)",
       {}},
      {"1.0.0+build.1", "versions.json at `" + url + "` does not list version `1.0.0+build.1`", {}},
      {"4.0.0", "versions.json at `" + url + "` does not list version `4.0.0`", {}},
      {"latest", "versions.json at `" + url + "` does not list version `latest`", {"index: failed to parse version `latest`:\n"}},
      {"01.0.0", "versions.json at `" + url + "` does not list version `01.0.0`", {"index: failed to parse version `01.0.0`:\n"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.version);
    log::ScopedCapture capture;
    auto project = index_project_candidates(c.version, env, kIri);
    if (project)
      EXPECT_EQ(project->archive().url().href(), index.server.url(c.result));
    else
      EXPECT_EQ(project.error().message(), c.result);
    auto lines = debug_lines(capture, kIndexTarget);
    ASSERT_EQ(lines.size(), c.debug.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(lines[i].starts_with(c.debug[i])) << lines[i];
      EXPECT_TRUE(lines[i].ends_with(";\ntreating as not present in index")) << lines[i];
    }
  }
  // Discovery and the list once; building candidates requests nothing.
  EXPECT_EQ(index.server.requests().size(), 2u);
}

TEST_F(IndexCandidates, ErrorsAndMissingProjects) {
  auto passed = index_project_candidates(std::unexpected(IndexEnvError::VersionNotInIndex{"u", "9"}), env, kIri);
  ASSERT_FALSE(passed);
  EXPECT_EQ(passed.error().message(), "versions.json at `u` does not list version `9`");
  EXPECT_TRUE(index.server.requests().empty());
  auto missing = index_project_candidates(std::string("1.0.0"), env, "pkg:kestro/acme/gadgets");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "project `pkg:kestro/acme/gadgets` is not in this index (versions.json at `" +
                                           index.url("acme/gadgets/versions.json") + "` returned 404)");
}

// ---- index entries ----

TEST_F(IndexCandidates, EntryRecordsFetchedOnceAsAPair) {
  auto project = index_project_candidates(std::string("2.0.0"), env, kIri);
  ASSERT_TRUE(project) << project.error().message();
  const std::size_t before = index.server.requests().size();
  // What the solver asks costs no request.
  EXPECT_EQ(project->version()->value(), "2.0.0");
  EXPECT_TRUE(project->usage()->value().empty());
  EXPECT_EQ(project->checksum_hex()->hex, kDigest);
  EXPECT_EQ(project->sources({})->at(0),
            Source(IndexKparSource{index.url("acme/widgets/2.0.0/project.kpar"), 10, kDigest}));
  EXPECT_EQ(index.server.requests().size(), before);

  index.route("/idx/acme/widgets/2.0.0/.project.json", Reply::ok(R"({"name":"widgets","version":"9.9.9","x":1})"));
  auto info = project->get_info();
  ASSERT_FALSE(info);  // .meta.json answers 404
  EXPECT_EQ(info.error().message(),
            "HTTP request to `" + index.url("acme/widgets/2.0.0/.meta.json") + "` returned status 404 Not Found");
  index.route("/idx/acme/widgets/2.0.0/.meta.json", Reply::ok(""));
  auto empty = project->get_meta();
  ASSERT_FALSE(empty);
  EXPECT_TRUE(empty.error().message().starts_with("failed to parse JSON from `" +
                                                  index.url("acme/widgets/2.0.0/.meta.json") + "`: "));
  index.route("/idx/acme/widgets/2.0.0/.meta.json", Reply::ok(R"({"index":{},"created":"2024-01-01T00:00:00Z"})"));
  ASSERT_TRUE(project->get_info());
  ASSERT_TRUE(project->get_meta());
  auto records = project->get_project();
  ASSERT_TRUE(records);
  EXPECT_EQ(records->first->version, "9.9.9");  // the file as read; the entry still answers version()
  EXPECT_EQ(project->version()->value(), "2.0.0");
  auto targets = index.targets();
  std::vector<std::string> record_targets(targets.begin() + static_cast<std::ptrdiff_t>(before), targets.end());
  EXPECT_EQ(record_targets, (std::vector<std::string>{
                                "/idx/acme/widgets/2.0.0/.project.json", "/idx/acme/widgets/2.0.0/.meta.json",
                                "/idx/acme/widgets/2.0.0/.project.json", "/idx/acme/widgets/2.0.0/.meta.json",
                                "/idx/acme/widgets/2.0.0/.project.json", "/idx/acme/widgets/2.0.0/.meta.json"}));
  for (const auto& r : index.server.requests()) EXPECT_EQ(r.header("Accept"), std::string(kJsonAccept));
}

TEST(IndexEntry, FilesComeFromTheVerifiedArchive) {
  ScopedTmpdir tmp;
  std::string kpar;
  {
    TempDir dir;
    make_zip(dir.path() / "a.kpar", {{".project.json", R"({"name":"w","version":"1.0.0"})"}, {"a.sysml", "part a;"}});
    kpar = read_bytes(dir.path() / "a.kpar");
  }
  Index index;
  index.route("/idx/acme/widgets/versions.json",
              Reply::ok(versions({fmt::format(R"({{"version":"1.0.0","usage":[],"kpar_size":{},"kpar_digest":"sha256:{}"}})",
                                              kpar.size(), sha256_hex(kpar))})));
  index.route("/idx/acme/widgets/1.0.0/project.kpar", Reply::ok(kpar));
  IndexEnvironment env(index.location(), http::Client(), auth::AuthPolicy());
  auto project = index_project_candidates(std::string("1.0.0"), env, kIri);
  ASSERT_TRUE(project);
  auto reader = project->read_source("a.sysml");
  ASSERT_TRUE(reader) << reader.error().message();
  char buffer[16];
  EXPECT_EQ((*reader)->read(std::span<char>(buffer, sizeof buffer)).value(), 7u);
  EXPECT_EQ(index.targets().back(), "/idx/acme/widgets/1.0.0/project.kpar");
  EXPECT_EQ(tmp.entries(), 1u);
}

}  // namespace
}  // namespace kestro::remote
