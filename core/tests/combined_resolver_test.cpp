// The combined resolver and its candidate sequence against real members: an
// environment directory written to disk, project directories, the loopback
// HTTP server with its request log, and git repositories made by the tests.
#include "kestro/resolve/combined_resolver.hpp"

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include "git_fixture.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/remote/discovery.hpp"
#include "kestro/remote/versions.hpp"
#include "kestro/utils/log.hpp"
#include "resolve_test_support.hpp"
#include "support/log_capture.hpp"
#include "support/loopback_index.hpp"
#include "support/loopback_server.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

namespace fs = std::filesystem;
using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using testing::kMeta;
using testing::serve_tree;
using testing::write_project;
using Outcome = CombinedResolver::Outcome;

constexpr const char* kInfo1 = R"({"name":"lib","publisher":"acme","version":"1.0.0"})";
constexpr const char* kInfo2 = R"({"name":"lib","publisher":"acme","version":"2.0.0"})";

// One installed entry: its directory under the environment, version and
// records (an empty record is not written).
struct Installed {
  std::string dir;
  std::string version;
  std::string info;
  std::string meta = kMeta;
  std::string identifier = "urn:lib";
};

// An environment at `dir`/.kestro holding `entries`, opened as the
// commands open it.
LocalResolver<LocalDirectoryEnv> environment(const fs::path& dir, const std::vector<Installed>& entries) {
  const fs::path env = dir / ".kestro";
  fs::create_directories(env);
  std::string toml = "version = \"0.1\"\n";
  for (const Installed& e : entries) {
    toml += "[[project]]\nname = \"lib\"\nversion = \"" + e.version + "\"\npath = \"" + e.dir +
            "\"\nidentifiers = [\"" + e.identifier + "\"]\n";
    write_project(env / e.dir, e.info, e.meta);
  }
  write_text(env / "env.toml", toml);
  auto opened = LocalDirectoryEnv::open(env);
  EXPECT_TRUE(opened) << opened.error().message();
  return LocalResolver<LocalDirectoryEnv>(std::move(*opened));
}

// One candidate as text: its kind and where it is read from.
std::string describe(const CombinedItem& item) {
  if (!item) return "error " + item.error().message();
  auto where = [](const HttpOrGitProject& p) {
    return std::holds_alternative<HttpOrGitProject::Http>(p.kind) ? std::string("http") : std::string("git");
  };
  return std::visit(
      [&](const auto& k) -> std::string {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, CombinedProject::FileProject>)
          return "file " + k.project.src()->project_path.filename().string();
        else if constexpr (std::is_same_v<K, CombinedProject::RemoteProject>)
          return "remote " + where(k.project);
        else if constexpr (std::is_same_v<K, CombinedProject::CachedRemoteProject>)
          return "cached " + where(k.remote) + " " + k.project.project_path.filename().string();
        else if constexpr (std::is_same_v<K, CombinedProject::IndexProject>)
          return "index " + k.project->version()->value_or("?");
        else if constexpr (std::is_same_v<K, CombinedProject::CachedIndexProject>)
          return "cached index " + k.project.project_path.filename().string();
        else
          return "dangling " + k.project.project_path.filename().string();
      },
      item->kind);
}

// The answer as text: "resolved: a; b" (every candidate, pulled to the end),
// or the kind of negative answer and its reason, or the error.
std::string answer_of(CombinedResolver& resolver, const UsageInContext& usage) {
  auto r = resolver.resolve(usage);
  if (!r) return "error: " + r.error().message();
  if (auto* found = std::get_if<Outcome::Resolved>(&r->value)) {
    std::string out = "resolved:";
    for (const char* sep = " "; auto item = found->candidates->next(); sep = "; ") out += sep + describe(*item);
    EXPECT_FALSE(found->candidates->next()) << "the end repeats";
    return out;
  }
  static constexpr const char* kNames[] = {"", "unsupported: ", "not found: ", "refused: "};
  return kNames[r->value.index()] + *r->reason();
}

// The lines of the resolver's stages and of the index it asks, in order.
std::vector<std::string> debug_lines(const log::ScopedCapture& capture) {
  return testing::messages_of(capture, {"kestro_core::resolve::combined", "kestro_core::resolve::remote",
                                        remote::kDiscoveryTarget, remote::kIndexTarget});
}

std::vector<std::string> targets_of(const LoopbackServer& server) {
  std::vector<std::string> out;
  for (const auto& r : server.requests()) out.push_back(r.target);
  return out;
}

TEST(CombinedResolver, ExistingDirectoryAsksNothingElse) {
  TempDir dir;
  write_project(dir.path() / "w/lib", kInfo1, kMeta);
  fs::create_directories(dir.path() / "w/app");
  LoopbackServer server;
  CombinedResolver resolver = build_combined_resolver(
      // An installed copy without `.meta.json`: scanning it would log.
      environment(dir.path(), {{"lib1", "1.0.0", kInfo1, ""}}), http::Client(), std::nullopt, AuthPolicy());
  UsageInContext usage{DirectoryUsageG<std::string>{"../lib", "acme", "lib"}, dir.path() / "w/app"};
  log::ScopedCapture capture;
  EXPECT_EQ(answer_of(resolver, usage), "resolved: file lib");
  EXPECT_TRUE(debug_lines(capture).empty());
  EXPECT_TRUE(server.requests().empty());
}

TEST(CombinedResolver, NoBasePathIsRefusedForEverySource) {
  TempDir dir;
  LoopbackServer server;
  serve_tree(server, kInfo1, kMeta);
  // The environment holds the project under the path usages' identifier.
  CombinedResolver resolver = build_combined_resolver(
      environment(dir.path(), {{"lib1", "1.0.0", kInfo1, kMeta, "pkg:kestro/acme/lib"}}), http::Client(), std::nullopt, AuthPolicy());
  const UsageInContext usages[] = {
      {DirectoryUsageG<std::string>{"../lib", "acme", "lib"}, std::nullopt},
      {KparPathUsageG<std::string>{"../lib.kpar", "acme", "lib"}, std::nullopt},
  };
  for (const UsageInContext& usage : usages) {
    log::ScopedCapture capture;
    EXPECT_EQ(answer_of(resolver, usage),
              "refused: file resolver refused to resolve the project, no other sources will be tried: cannot resolve "
              "relative path usage without a base path")
        << usage.label();
    EXPECT_TRUE(debug_lines(capture).empty()) << usage.label();
  }
  EXPECT_TRUE(server.requests().empty());
}

TEST(CombinedResolver, EndAnswers) {
  TempDir dir;
  struct Case {
    const char* name;
    std::function<CombinedResolver()> make;
    UsageInContext usage;
    std::string answer;
  };
  int made = 0;
  auto local_only = [&](std::vector<Installed> entries) {
    return [&, entries] {
      CombinedResolver r;
      r.local = environment(dir.path() / std::to_string(++made), entries);
      return r;
    };
  };
  auto file_only = [] {
    CombinedResolver r;
    r.file.emplace();
    return r;
  };
  auto remote_only = [] {
    CombinedResolver r;
    r.remote = RemoteResolver{HttpResolver(http::Client(), AuthPolicy(), true), GitResolver(), true};
    return r;
  };
  const Case cases[] = {
      {"no members", [] { return CombinedResolver(); }, resource_usage("urn:lib"),
       "unsupported: no resolver supports the project type"},
      {"a member that does not handle the usage", file_only, resource_usage("urn:lib"),
       "unsupported: no resolver supports the project type"},
      {"the remote member with neither an http nor a git IRI", remote_only, resource_usage("urn:lib"),
       "not found: no resolver was able to resolve the project"},
      {"an environment without the project", local_only({{"a1", "1.0.0", kInfo1}}), resource_usage("urn:other"),
       "not found: no resolver was able to resolve the project"},
      {"installed versions only, in the environment's order", local_only({{"a2", "2.0.0", kInfo2}, {"a1", "1.0.0", kInfo1}}),
       resource_usage("urn:lib"), "resolved: dangling a2; dangling a1"},
      {"identical content: the later copy at the earlier place",
       local_only({{"a1", "1.0.0", kInfo1}, {"a2", "2.0.0", kInfo2}, {"a1b", "1.0.1", kInfo1}}),
       resource_usage("urn:lib"), "resolved: dangling a1b; dangling a2"},
      {"unreadable copies only", local_only({{"a1", "1.0.0", kInfo1, ""}}), resource_usage("urn:lib"),
       "not found: no resolver was able to resolve the project"},
  };
  for (const Case& c : cases) {
    CombinedResolver resolver = c.make();
    EXPECT_EQ(answer_of(resolver, c.usage), c.answer) << c.name;
  }
}

TEST(CombinedResolver, UnreadableInstalledCopiesAreLogged) {
  TempDir dir;
  // Recorded with another algorithm name, the file is hashed again; it is
  // missing here, so the copy cannot be hashed.
  const std::string rehashed =
      R"({"index":{},"created":"2025-01-01T00:00:00Z","checksum":{"a.sysml":{"value":"AB","algorithm":"sha256"}}})";
  CombinedResolver resolver;
  // Each entry is its own version in `env.toml`: the environment hands out
  // the first entry of each version.
  resolver.local = environment(dir.path(), {{"nometa", "1.0.0", kInfo1, ""},
                                            {"noinfo", "1.0.1", "", kMeta},
                                            {"rehash", "1.0.2", kInfo1, rehashed},
                                            {"good", "2.0.0", kInfo2}});
  const UsageInContext usage = resource_usage("urn:lib");
  log::ScopedCapture capture;
  EXPECT_EQ(answer_of(resolver, usage), "resolved: dangling good");
  const std::string missing = "local resolver rejected project " + usage.label() + ": no `.project.json` or `.meta.json`";
  const auto lines = debug_lines(capture);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], missing);
  EXPECT_EQ(lines[1], missing);
  EXPECT_TRUE(lines[2].starts_with("local resolver rejected project " + usage.label() + ": ")) << lines[2];
  EXPECT_NE(lines[2].find("a.sysml"), std::string::npos) << lines[2];
}

// Nothing at the URL: the probe drops the source tree (its two records
// requested together) without a line, the archive is probed and fetched
// again, then the git clone; each failure a debug line. With an index
// configured, it is asked last: its discovery document and the project's
// version list, after every remote request. One server answers both the
// IRI and the index, so its log shows the order across the stages.
TEST(CombinedResolver, HttpIriTriesSourceTreeThenGitThenIndex) {
  struct Case {
    const char* name;
    bool with_index;
    bool index_lists;  // the index's version list holds 1.0.0
    std::string answer;
  };
  const Case cases[] = {
      {"no index", false, false, "not found: no resolver was able to resolve the project"},
      {"an index without the project", true, false, "not found: no resolver was able to resolve the project"},
      {"an index with the project", true, true, "resolved: index 1.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::Index index;
    const std::string iri = index.server.url("/p");
    const url::Url versions_url = versions_json_url(index.location(), iri).value();
    const std::string versions(versions_url.path());
    if (c.index_lists) index.route(versions, Reply::ok(testing::versions({testing::entry("1.0.0")})));
    CombinedResolver resolver = build_combined_resolver(
        std::nullopt, http::Client(),
        c.with_index ? std::optional(std::vector{index.location()}) : std::nullopt, AuthPolicy());
    const UsageInContext usage = resource_usage(iri);
    const std::string label = usage.label();
    log::ScopedCapture capture;
    EXPECT_EQ(answer_of(resolver, usage), c.answer);

    auto targets = index.targets();
    const std::vector<std::string> index_targets =
        c.with_index ? std::vector<std::string>{"/idx/" + std::string(remote::kDiscoveryFile), versions}
                     : std::vector<std::string>{};
    ASSERT_GE(targets.size(), 5u + index_targets.size());
    std::sort(targets.begin(), targets.begin() + 2);
    EXPECT_EQ(targets[0], "/p/.meta.json");
    EXPECT_EQ(targets[1], "/p/.project.json");
    EXPECT_EQ(targets[2], "/p");
    EXPECT_EQ(targets[3], "/p");
    const std::size_t git_end = targets.size() - index_targets.size();
    for (std::size_t i = 4; i < git_end; ++i) EXPECT_TRUE(targets[i].starts_with("/p/info/refs")) << targets[i];
    EXPECT_EQ(std::vector(targets.begin() + git_end, targets.end()), index_targets);

    std::vector<std::string> expected = {
        "file resolver does not support usage type of " + label + ": resource is not a file URL",
        "remote resolver skipping project for " + label + ": HTTP request to `" + iri +
            "` returned status 404 Not Found",
        "git clone",
        "remote resolver unable to find valid project for " + label,
    };
    if (c.with_index)
      expected.push_back("resolved index endpoints: index_root `" + index.url() + "`, no api_root (read-only index)");
    if (c.with_index && !c.index_lists) {
      expected.push_back("versions.json 404 for `" + iri + "`: project not in this index, yielding empty candidate stream");
      expected.push_back("index resolver unable to resolve " + label +
                         ": [\"environment does not contain this project\"]");
    }
    auto lines = debug_lines(capture);
    ASSERT_EQ(lines.size(), expected.size());
    // The clone's failure ends with git's own words.
    const std::string clone = "remote resolver skipping project for " + label + ": git clone from `" + iri + "` failed: ";
    EXPECT_TRUE(lines[2].starts_with(clone)) << lines[2];
    lines[2] = "git clone";
    EXPECT_EQ(lines, expected);
  }
}

TEST(CombinedResolver, FirstReadableRemoteCandidateStopsTheSearch) {
  LoopbackServer server;
  serve_tree(server, kInfo1, kMeta);
  CombinedResolver resolver = build_combined_resolver(std::nullopt, http::Client(), std::nullopt, AuthPolicy());
  auto r = resolver.resolve(resource_usage(server.url("/p/")));
  ASSERT_TRUE(r);
  auto* found = std::get_if<Outcome::Resolved>(&r->value);
  ASSERT_TRUE(found);
  // The source tree was probed and read; the archive and the git candidate
  // behind it are not touched, neither when handed out.
  auto targets = targets_of(server);
  std::sort(targets.begin(), targets.end());
  EXPECT_EQ(targets, (std::vector<std::string>{"/p/.meta.json", "/p/.meta.json", "/p/.project.json",
                                               "/p/.project.json"}));
  EXPECT_EQ(describe(*found->candidates->next()), "remote http");
  EXPECT_EQ(describe(*found->candidates->next()), "remote http");
  EXPECT_EQ(describe(*found->candidates->next()), "remote git");
  EXPECT_FALSE(found->candidates->next());
  EXPECT_EQ(server.requests().size(), 4u);
}

TEST(CombinedResolver, RemoteCandidateMatchingAnInstalledCopyComesBackCached) {
  TempDir dir;
  // The same project served over HTTP and kept in a git repository; two
  // versions installed, one of them with the same content.
  LoopbackServer server;
  serve_tree(server, kInfo1, kMeta);
  const std::string repo = make_repo(dir.path() / "git", {{".project.json", kInfo1}, {".meta.json", kMeta}});
  struct Case {
    const char* name;
    std::string iri;
    std::string answer;
  };
  const Case cases[] = {
      // The archive and the git candidate behind the source tree cannot be
      // fetched from the HTTP server: they are handed out plain.
      {"http, then git", server.url("/p/"), "resolved: cached http a1; remote http; remote git; dangling a2"},
      {"git only", "git+" + repo, "resolved: cached git a1; dangling a2"},
  };
  for (const Case& c : cases) {
    TempDir env_dir;
    CombinedResolver resolver = build_combined_resolver(
        environment(env_dir.path(), {{"a1", "1.0.0", kInfo1, kMeta, c.iri}, {"a2", "2.0.0", kInfo2, kMeta, c.iri}}),
        http::Client(), std::nullopt, AuthPolicy());
    EXPECT_EQ(answer_of(resolver, resource_usage(c.iri)), c.answer) << c.name;
  }
}

// The chain drains each part once, in the order `http_first` gives; a git
// error is an item of its own.
TEST(RemoteChain, PartsInOrder) {
  auto http_part = [] {
    std::vector<HttpProject> items;
    for (const char* u : {"http://h.example/a/", "http://h.example/b/"})
      items.push_back(HttpProject(HttpProject::Src{
          remote::RemoteSrcProject(url::Url::parse(u).value(), std::nullopt, http::Client(), AuthPolicy())}));
    return std::make_unique<ListSequence<HttpProject>>(std::move(items));
  };
  auto git_part = [](bool ok) {
    std::vector<GitCandidate> items;
    items.push_back(RemoteGitProject::create(ok ? "file:///nowhere/repo.git" : ""));
    return std::make_unique<ListSequence<GitCandidate>>(std::move(items));
  };
  auto kinds = [](RemoteChain chain) {
    std::string out;
    while (auto item = chain.next()) out += std::array{"http ", "git ", "git-error "}[item->index()];
    EXPECT_FALSE(chain.next());
    return out;
  };
  EXPECT_EQ(kinds(RemoteChain(http_part(), git_part(true), true)), "http http git ");
  EXPECT_EQ(kinds(RemoteChain(http_part(), git_part(false), false)), "git-error http http ");
  EXPECT_EQ(kinds(RemoteChain(nullptr, git_part(true), true)), "git ");
  EXPECT_EQ(kinds(RemoteChain(http_part(), nullptr, false)), "http http ");
  EXPECT_EQ(kinds(RemoteChain(nullptr, nullptr, true)), "");
}

// An index holding 2.0.0 and 1.0.0 beside installed copies: a version with
// an installed copy of the same content comes out paired with it, copies no
// version claimed come out last, and an empty environment costs no request.
TEST(CombinedResolver, IndexVersionsPairWithInstalledCopies) {
  constexpr const char* kIri = "pkg:kestro/acme/lib";
  const std::string info3 = R"({"name":"lib","publisher":"acme","version":"3.0.0"})";
  struct Case {
    const char* name;
    std::vector<Installed> installed;
    std::string answer;
    std::size_t requests;  // to the index, resolving and pulling every candidate
  };
  const Case cases[] = {
      {"the same 1.0.0 installed", {{"a1", "1.0.0", kInfo1, kMeta, kIri}}, "resolved: index 2.0.0; cached index a1", 6},
      {"an installed version the index lacks",
       {{"a3", "3.0.0", info3, kMeta, kIri}, {"a1", "1.0.0", kInfo1, kMeta, kIri}},
       "resolved: index 2.0.0; cached index a1; dangling a3", 6},
      {"nothing installed", {}, "resolved: index 2.0.0; index 1.0.0", 2},
  };
  for (const Case& c : cases) {
    TempDir dir;
    testing::Index index;
    index.route("/idx/acme/lib/versions.json", Reply::ok(testing::versions({testing::entry("2.0.0"), testing::entry("1.0.0")})));
    index.route("/idx/acme/lib/2.0.0/.project.json", Reply::ok(kInfo2));
    index.route("/idx/acme/lib/2.0.0/.meta.json", Reply::ok(kMeta));
    index.route("/idx/acme/lib/1.0.0/.project.json", Reply::ok(kInfo1));
    index.route("/idx/acme/lib/1.0.0/.meta.json", Reply::ok(kMeta));
    CombinedResolver resolver = build_combined_resolver(environment(dir.path(), c.installed), http::Client(),
                                                        std::vector{index.location()}, AuthPolicy());
    EXPECT_EQ(answer_of(resolver, resource_usage(kIri)), c.answer) << c.name;
    EXPECT_EQ(index.targets().size(), c.requests) << c.name;
  }
}

// An index that does not list the project: its answer is a debug line and
// the resolution falls through to the end.
TEST(CombinedResolver, IndexWithoutTheProjectIsLogged) {
  testing::Index index;
  CombinedResolver resolver =
      build_combined_resolver(std::nullopt, http::Client(), std::vector{index.location()}, AuthPolicy());
  const UsageInContext usage = resource_usage("pkg:kestro/acme/lib");
  log::ScopedCapture capture;
  EXPECT_EQ(answer_of(resolver, usage), "not found: no resolver was able to resolve the project");
  const auto lines = debug_lines(capture);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "index resolver unable to resolve " + usage.label() + ": [\"environment does not contain this project\"]");
}

}  // namespace
}  // namespace kestro::resolve
