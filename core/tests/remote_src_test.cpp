// Remote source trees against the loopback server: which requests are sent,
// how answers become records, files and checksums, and that names from an
// untrusted `.meta.json` never lead a request out of the project's tree.
#include "kestro/remote/remote_src.hpp"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "kestro/auth/fetch_json.hpp"
#include "kestro/remote/kpar_download.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/sha256.hpp"
#include "kestro/utils/text.hpp"
#include "support/loopback_server.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::remote {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using testing::kInfo;

std::string meta_with(const std::string& checksum_entries) {
  return R"({"index":{},"created":"2025-01-01T00:00:00Z","checksum":{)" + checksum_entries + "}}";
}

// A key as the body of a JSON string: only backslashes and tabs need
// escaping here.
std::string escape_key(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\\\") : c == '\t' ? std::string("\\t") : std::string(1, c);
  return out;
}

// Answers by request target; 404 for any other.
void serve(LoopbackServer& server, std::map<std::string, Reply> replies) {
  server.set_handler([replies = std::move(replies)](const RecordedRequest& request) {
    auto it = replies.find(request.target);
    return it == replies.end() ? Reply::with_status(404) : it->second;
  });
}

RemoteSrcProject project_at(const std::string& base, std::optional<std::string> known = std::nullopt) {
  return RemoteSrcProject(url::Url::parse(base).value(), std::move(known), http::Client(), AuthPolicy());
}

std::vector<std::string> targets(const LoopbackServer& server) {
  std::vector<std::string> out;
  for (const auto& r : server.requests()) out.push_back(r.target);
  return out;
}

TEST(RemoteSrc, RecordNamesResolveAgainstTheBase) {
  struct Case {
    const char* base;
    const char* expected;
  };
  for (const Case c : {Case{"/p/", "/p/.project.json"}, Case{"/p", "/.project.json"}, Case{"/a/b/?q=1", "/a/b/.project.json"}}) {
    LoopbackServer server;
    serve(server, {});
    auto project = project_at(server.url(c.base));
    EXPECT_EQ(project.get_info().value(), std::nullopt) << c.base;
    ASSERT_EQ(server.requests().size(), 1u) << c.base;
    EXPECT_EQ(server.requests()[0].target, c.expected);
    EXPECT_EQ(server.requests()[0].header("Accept"), "application/vnd.github.raw, application/json, text/plain");
  }
}

TEST(RemoteSrc, RecordAnswers) {
  struct Case {
    const char* name;
    Reply info;
    std::string expected;  // the record's name, "absent", or the error text with {U} for the URL
  };
  const Case cases[] = {
      {"plain", Reply::ok(kInfo), "P"},
      {"404", Reply::with_status(404, kInfo), "absent"},
      {"500", Reply::with_status(500, kInfo), "absent"},
      {"empty body", Reply::ok(""), "HTTP request to\n  `{U}`\n  returned malformed data: "},
      {"blanks only", Reply::ok(" \r\n\t"), "HTTP request to\n  `{U}`\n  returned malformed data: "},
      {"trailing text", Reply::ok(std::string(kInfo) + " x"), "HTTP request to\n  `{U}`\n  returned malformed data: "},
      {"surrounding blanks", Reply::ok(std::string("\r\n ") + kInfo + "\t\n"), "P"},
      {"UTF-8 byte-order mark", Reply::ok("\xEF\xBB\xBF{\"name\":\"caf\xC3\xA9\",\"version\":\"1\"}"), "caf\xC3\xA9"},
      {"windows-1252", Reply::ok("{\"name\":\"caf\xE9 \x80\",\"version\":\"1\"}")
                           .header("Content-Type", "application/json; charset=\"Windows-1252\""),
       "caf\xC3\xA9 \xE2\x82\xAC"},
      {"latin1 label means windows-1252", Reply::ok("{\"name\":\"\x80\",\"version\":\"1\"}")
                                              .header("Content-Type", "text/plain;charset=ISO-8859-1"),
       "\xE2\x82\xAC"},
      {"unknown charset is UTF-8", Reply::ok("{\"name\":\"caf\xC3\xA9\",\"version\":\"1\"}")
                                       .header("Content-Type", "application/json; charset=no-such-set"),
       "caf\xC3\xA9"},
      {"malformed UTF-8 becomes U+FFFD", Reply::ok("{\"name\":\"a\xFF\",\"version\":\"1\"}"), "a\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    serve(server, {{"/p/.project.json", c.info}});
    auto info = project_at(server.url("/p/")).get_info();
    std::string got = !info ? info.error().message() : !*info ? "absent" : (*info)->name;
    std::string expected = c.expected;
    if (auto at = expected.find("{U}"); at != std::string::npos) {
      expected.replace(at, 3, server.url("/p/.project.json"));
      EXPECT_TRUE(got.starts_with(expected)) << c.name << ": " << got;
    } else {
      EXPECT_EQ(got, expected) << c.name;
    }
  }
}

TEST(RemoteSrc, MissingInformationRecord) {
  LoopbackServer server;
  serve(server, {{"/p/.meta.json", Reply::ok(meta_with(""))}});
  auto project = project_at(server.url("/p/"));
  auto records = project.get_project().value();
  EXPECT_FALSE(records.first);
  EXPECT_TRUE(records.second);
  for (auto message : {project.sources({}).error().message(), project.checksum_hex().error().message()})
    EXPECT_EQ(message, "project is missing `.project.json` and/or `.meta.json` files");
  // A project without records asks for no file.
  for (const auto& t : targets(server)) EXPECT_TRUE(t == "/p/.project.json" || t == "/p/.meta.json") << t;
}

TEST(RemoteSrc, BothRecordsFailingReportsTheInformationRecord) {
  LoopbackServer server;
  serve(server, {{"/p/.project.json", Reply::ok("[")}, {"/p/.meta.json", Reply::ok("[")}});
  auto records = project_at(server.url("/p/")).get_project();
  ASSERT_FALSE(records);
  EXPECT_NE(records.error().message().find("/p/.project.json"), std::string::npos) << records.error().message();
}

// A body of `total` bytes (endless when none) in pieces of 1 MiB.
std::function<std::optional<std::string>()> mebibytes(std::optional<std::size_t> total) {
  return [total, sent = std::size_t{0}]() mutable -> std::optional<std::string> {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    if (total && sent >= *total) return std::nullopt;
    sent += kPiece;
    return std::string(kPiece, ' ');
  };
}

// The resident set's growth while `work` runs in a child process: its
// highest resident set against the one it started with, in bytes. The
// child's result is its exit status (0: `work` held).
std::pair<long, bool> peak_growth_in_child(const std::function<bool()>& work) {
#ifdef __SANITIZE_ADDRESS__
  // Forking a process whose loopback server and client threads run can leave
  // the sanitizer's allocator locked in the child; the peak is not asserted
  // under the sanitizer, so the work runs here.
  return {0, work()};
#endif
  int fds[2];
  if (::pipe(fds) != 0) return {-1, false};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    const long start = resident * ::sysconf(_SC_PAGESIZE);
    const bool held = work();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long growth = usage.ru_maxrss * 1024 - start;
    (void)!::write(fds[1], &growth, sizeof growth);
    ::_exit(held ? 0 : 1);
  }
  ::close(fds[1]);
  long growth = -1;
  (void)!::read(fds[0], &growth, sizeof growth);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {growth, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

TEST(RemoteSrc, RecordsAreReadWithTheJsonDocumentLimit) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  struct Case {
    const char* name;
    Reply reply;
    long peak_bound;  // bytes the reader may grow by
  };
  // Well below the several times its size that reading a record once took.
  std::vector<Case> cases = {
      // Ends at the limit however long the server goes on (bounded here so
      // that a reader without a limit fails rather than running forever).
      {"endless", Reply::streamed(mebibytes(200 * kMiB)), static_cast<long>(160 * kMiB)},
      {"96 MiB, undeclared", Reply::streamed(mebibytes(96 * kMiB)), static_cast<long>(160 * kMiB)},
      {"96 MiB, declared",
       Reply::streamed(mebibytes(96 * kMiB)).header("Content-Length", std::to_string(96 * kMiB)),
       static_cast<long>(16 * kMiB)},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server;
    serve(server, {{"/p/.meta.json", c.reply}});
    const std::string meta_url = server.url("/p/.meta.json");
    auto [growth, held] = peak_growth_in_child([&] {
      auto meta = project_at(server.url("/p/")).get_meta();
      return !meta && meta.error().holds<RemoteSrcError::HttpBody>() &&
             meta.error().get_if<RemoteSrcError::HttpBody>()->err ==
                 http::HttpError(http::HttpError::BodyTooLarge{meta_url, auth::kJsonBodyLimit});
    });
    EXPECT_TRUE(held);
    EXPECT_GE(growth, 0);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's allocator keeps freed blocks in quarantine
    EXPECT_LT(growth, c.peak_bound) << growth / static_cast<long>(kMiB) << " MiB";
#endif
    auto meta = project_at(server.url("/p/")).get_meta();
    ASSERT_FALSE(meta);
    EXPECT_EQ(meta.error().message(), "error making an HTTP request:\nBodyTooLarge { url: \"" + meta_url +
                                          "\", limit: 67108864 }");
  }
}

TEST(RemoteSrc, AUrlPasswordStaysOutOfErrorsAndLogLines) {
  LoopbackServer server;
  serve(server, {{"/p/.project.json", Reply::ok("[")},
                 {"/p/.meta.json", Reply::ok(std::string(auth::kJsonBodyLimit + 1, ' '))},
                 {"/p.kpar", Reply::ok("PK")},
                 {"/q.kpar", Reply::ok("")}});
  const std::string authority = "user:secret@127.0.0.1:" + std::to_string(server.port());
  const std::string shown = "http://<redacted>@127.0.0.1:" + std::to_string(server.port());
  log::ScopedCapture capture;
  auto project = project_at("http://" + authority + "/p/");
  std::vector<std::string> texts;
  texts.push_back(project.get_info().error().message());
  texts.push_back(project.get_meta().error().message());
  texts.push_back(project.read_source("missing.sysml").error().message());
  http::Client client;
  auto kpar = [&](const std::string& path, std::optional<ExpectedArchive> expected) {
    return RemoteKparProject::create("http://" + authority + path, client, AuthPolicy(), std::move(expected))
        ->get_project()
        .error()
        .message();
  };
  texts.push_back(kpar("/missing.kpar", std::nullopt));
  texts.push_back(kpar("/p.kpar", ExpectedArchive{std::string(64, '0'), 2}));
  texts.push_back(kpar("/p.kpar", ExpectedArchive{std::string(64, '0'), 5}));
  texts.push_back(kpar("/q.kpar", std::nullopt));
  EXPECT_TRUE(texts[0].starts_with("HTTP request to\n  `" + shown + "/p/.project.json`\n  returned malformed data: "))
      << texts[0];
  EXPECT_EQ(texts[2], "HTTP request to `" + shown + "/p/missing.sysml` returned unexpected status code 404 Not Found");
  EXPECT_EQ(texts[3], "HTTP request to `" + shown + "/missing.kpar` returned status 404 Not Found");
  for (const auto& text : texts) {
    EXPECT_EQ(text.find("secret"), std::string::npos) << text;
    EXPECT_NE(text.find("<redacted>@"), std::string::npos) << text;
  }
  ASSERT_FALSE(capture.records().empty());
  for (const auto& record : capture.records()) EXPECT_EQ(record.message.find("secret"), std::string::npos) << record.message;
}

TEST(RemoteSrc, ReadSource) {
  LoopbackServer server;
  serve(server, {{"/p/a%20b.sysml", Reply::ok("part a;")},
                 {"/p/moved.sysml", Reply::redirect(302, server.url("/elsewhere/gone.sysml"))}});
  auto project = project_at(server.url("/p/"));
  auto reader = project.read_source("a b.sysml");
  ASSERT_TRUE(reader);
  EXPECT_EQ(read_to_end(**reader), "part a;");
  EXPECT_EQ(server.requests().back().header("Accept"), "application/vnd.github.raw, text/plain, application/octet-stream");

  auto moved = project.read_source("moved.sysml");
  ASSERT_FALSE(moved);
  EXPECT_EQ(moved.error().message(), "HTTP request to `" + server.url("/elsewhere/gone.sysml") +
                                         "` returned unexpected status code 404 Not Found");
}

TEST(RemoteSrc, ConnectionDroppedInAFile) {
  LoopbackServer server;
  const std::string meta = meta_with(R"("a.sysml":{"value":"00","algorithm":"SHA1"})");
  serve(server, {{"/p/.project.json", Reply::ok(kInfo)},
                 {"/p/.meta.json", Reply::ok(meta)},
                 {"/p/a.sysml", Reply::raw_bytes("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart")}});
  auto project = project_at(server.url("/p/"));
  auto checksum = project.checksum_hex();
  ASSERT_FALSE(checksum);
  EXPECT_TRUE(checksum.error().message().starts_with("failed to read file\n  `a.sysml`:\n  ")) << checksum.error().message();
}

TEST(RemoteSrc, Checksums) {
  LoopbackServer server;
  // b.sysml is recorded as SHA256 and never requested; a.sysml is hashed.
  const std::string meta = meta_with(
      R"("a.sysml":{"value":"00","algorithm":"SHA1"},"b.sysml":{"value":"ABCD","algorithm":"SHA256"})");
  serve(server, {{"/p/.project.json", Reply::ok(kInfo)}, {"/p/.meta.json", Reply::ok(meta)}, {"/p/a.sysml", Reply::ok("part a;")}});
  auto info = parse_project_info(kInfo).value();
  auto adjusted = parse_project_meta(meta_with(R"("a.sysml":{"value":")" + to_hex(sha256("part a;")) +
                                               R"(","algorithm":"SHA256"},"b.sysml":{"value":"abcd","algorithm":"SHA256"})"))
                      .value();
  const std::string expected = canonical_project_digest_hex(info, adjusted);

  auto known = project_at(server.url("/p/"), "feed");
  EXPECT_EQ(known.sources({}).value(), (std::vector<Source>{RemoteSrcSource{server.url("/p/"), "feed"}}));
  EXPECT_TRUE(server.requests().empty());

  EXPECT_EQ(known.checksum_hex().value(), EnvProjectChecksum::src(expected));
  EXPECT_EQ(project_at(server.url("/p/")).sources({}).value(),
            (std::vector<Source>{RemoteSrcSource{server.url("/p/"), expected}}));
  for (const auto& t : targets(server)) EXPECT_NE(t, "/p/b.sysml");

  // A hashed file the server does not have fails the checksum with its status.
  LoopbackServer bare;
  serve(bare, {{"/p/.project.json", Reply::ok(kInfo)}, {"/p/.meta.json", Reply::ok(meta)}});
  EXPECT_EQ(project_at(bare.url("/p/")).checksum_hex().error().message(),
            "HTTP request to `" + bare.url("/p/a.sysml") + "` returned unexpected status code 404 Not Found");
}

// A `checksum` key of `.meta.json` that is no safe project-relative path is
// refused before any URL is formed: no request leaves the tree, none goes to
// another host.
TEST(RemoteSrc, HostileChecksumKeysSendNothing) {
  LoopbackServer server;
  LoopbackServer other;
  const std::string other_host = other.url("/x").substr(7);  // "127.0.0.1:port/x"
  const std::string keys[] = {
      "/etc/passwd", "../secret",  "a/../../secret",    "a\\..\\secret", "//" + other_host, "http://" + other_host,
      "https:" + other_host,      "C:x",        "%2e%2e/secret",     "a/%2E%2e/%2e%2e/x", ".%2e/x",   "%2e/x",
      " //" + other_host,  ".\t./secret",
      // The parser ends the path at `?` or `#`, so these are parent steps too.
      "..?x", ".%2e?", "a/..#f", "%2E.?q",
  };
  for (const std::string& key : keys) {
    const std::string meta = meta_with("\"" + escape_key(key) + R"(":{"value":"00","algorithm":"SHA1"})");
    serve(server, {{"/p/.project.json", Reply::ok(kInfo)}, {"/p/.meta.json", Reply::ok(meta)}});
    auto project = project_at(server.url("/p/"));
    for (auto result : {project.checksum_hex().error(), project.sources({}).error()}) {
      ASSERT_TRUE(result.holds<RemoteSrcError::UnsafePath>()) << key << ": " << result.message();
      EXPECT_EQ(result.get_if<RemoteSrcError::UnsafePath>()->err.path(), key);
    }
    for (const auto& t : targets(server)) EXPECT_TRUE(t == "/p/.project.json" || t == "/p/.meta.json") << key << ": " << t;
    EXPECT_EQ(project.read_source(key).error().message().find("path `" + key + "`"), 0u) << key;
  }
  EXPECT_TRUE(other.requests().empty());
}

}  // namespace
}  // namespace kestro::remote
