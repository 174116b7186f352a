#include "kestro/remote/kpar_download.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kestro/utils/sha256.hpp"
#include "support/loopback_server.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

namespace kestro::remote {
namespace {

using testing::LoopbackServer;
using testing::Reply;

constexpr std::string_view kKparAccept = "application/zip, application/octet-stream, application/vnd.github.raw";
const std::string kInfo = R"({"name":"widgets","version":"1.0.0","usage":[]})";
const std::string kMeta = R"({"index":{},"created":"2024-01-01T00:00:00Z"})";

std::string zip_bytes(const std::vector<ZipFixtureEntry>& entries) {
  TempDir dir;
  auto path = dir.path() / "a.kpar";
  make_zip(path, entries);
  return read_bytes(path);
}

// An archive with the project in `p/`, and one with no `.project.json`.
const std::string& project_zip() {
  static const std::string bytes = zip_bytes({{"p/.project.json", kInfo},
                                              {"p/.meta.json", kMeta},
                                              {"p/src/a.sysml", "package A;"},
                                              {"src/a.sysml", "not this one"}});
  return bytes;
}
const std::string& no_info_zip() {
  static const std::string bytes = zip_bytes({{"src/a.sysml", "package A;"}});
  return bytes;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class KparDownloadTest : public ::testing::Test {
 protected:
  ScopedTmpdir tmp;
  LoopbackServer server;
  http::Client client;
  auth::AuthPolicy policy;

  RemoteKparProject remote(std::optional<ExpectedArchive> expected = {}) {
    return *RemoteKparProject::create(server.url("/p.kpar"), client, policy, std::move(expected));
  }
};

TEST_F(KparDownloadTest, FailedDownloadsLeaveNothingAndRetry) {
  const std::string& good = project_zip();
  const std::string digest = sha256_hex(good);
  const auto size = static_cast<std::uint64_t>(good.size());
  auto no_length = [](std::string body) {
    Reply r = Reply::ok(std::move(body));
    r.content_length = false;
    return r;
  };
  struct Case {
    const char* name;
    Reply reply;
    std::optional<ExpectedArchive> expected;
    std::string message;  // {U} is the archive URL
  };
  std::vector<Case> cases = {
      {"404", Reply::with_status(404), {}, "HTTP request to `{U}` returned status 404 Not Found"},
      {"500", Reply::with_status(500, "x"), ExpectedArchive{digest, size},
       "HTTP request to `{U}` returned status 500 Internal Server Error"},
      {"empty, nothing expected", Reply::ok(""), {}, "kpar at `{U}` is an empty file"},
      {"empty, zero expected", Reply::ok(""), ExpectedArchive{digest, 0}, "kpar at `{U}` is an empty file"},
      {"empty without length", no_length(""), ExpectedArchive{digest, size}, "kpar at `{U}` is an empty file"},
      {"declared zero, size expected", Reply::ok(""), ExpectedArchive{digest, size},
       "kpar at `{U}` has size 0 bytes but the expected size was " + std::to_string(size) + " bytes"},
      {"declared length differs", Reply::ok(good + "x"), ExpectedArchive{digest, size},
       "kpar at `{U}` has size " + std::to_string(size + 1) + " bytes but the expected size was " +
           std::to_string(size) + " bytes"},
      {"one byte too long without length", no_length(good + "x"), ExpectedArchive{digest, size},
       "kpar at `{U}` has size " + std::to_string(size + 1) + " bytes but the expected size was " +
           std::to_string(size) + " bytes"},
      {"one byte short without length", no_length(good.substr(1)), ExpectedArchive{digest, size},
       "kpar at `{U}` has size " + std::to_string(size - 1) + " bytes but the expected size was " +
           std::to_string(size) + " bytes"},
      {"upper-case expected digest", Reply::ok(good), ExpectedArchive{upper(digest), size},
       "kpar at `{U}` has sha256 `" + digest + "` but the expected digest was `" + upper(digest) + "`"},
      {"no .project.json", Reply::ok(no_info_zip()), {}, "path `.project.json` not found"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer local;
    local.push(c.reply);
    local.push(c.reply);
    auto project = *RemoteKparProject::create(local.url("/p.kpar"), client, policy, c.expected);
    std::string message = c.message;
    if (auto at = message.find("{U}"); at != std::string::npos) message.replace(at, 3, local.url("/p.kpar"));
    for (int attempt = 1; attempt <= 2; ++attempt) {
      auto result = project.get_project();
      ASSERT_FALSE(result);
      EXPECT_EQ(result.error().message(), message);
      EXPECT_EQ(tmp.entries(), 0u);  // no archive, no extraction directory
      EXPECT_EQ(local.requests().size(), static_cast<std::size_t>(attempt));  // each call downloads again
    }
  }
}

TEST_F(KparDownloadTest, BrokenConnectionIsBodyError) {
  server.push(Reply::raw_bytes("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nPK only part"));
  auto result = remote().get_project();
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.error().holds<RemoteKparError::Body>());
  EXPECT_TRUE(result.error().message().starts_with("error making an HTTP request:\n")) << result.error().message();
  EXPECT_EQ(tmp.entries(), 0u);
}

TEST_F(KparDownloadTest, FailedWriteIsIoErrorAndLeavesNothing) {
  server.push(Reply::ok(project_zip()));
  auto project = remote();
  auto result = with_file_size_limit(100, [&] { return project.get_project(); });
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.error().message().starts_with("failed to write file\n  `")) << result.error().message();
  EXPECT_EQ(tmp.entries(), 0u);
}

TEST_F(KparDownloadTest, UnknownSizeStopsAtTheBound) {
  const std::string& good = project_zip();
  const std::uint64_t bound = good.size() + 100;
  // Far more than the bound: a server that would fill the disk.
  const std::string flood = good + std::string(8 << 20, 'x');
  auto no_length = [](const std::string& body) {
    Reply r = Reply::ok(body);
    r.content_length = false;
    return r;
  };
  struct Case {
    const char* name;
    Reply reply;
    bool fits;
  } cases[] = {
      {"declared past the bound", Reply::ok(flood), false},
      {"streamed past the bound", no_length(flood), false},
      {"one byte past the bound", no_length(good + std::string(101, 'x')), false},
      {"at the bound", no_length(good + std::string(100, '\0')), true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer local;
    local.push(c.reply);
    auto url = *url::Url::parse(local.url("/p.kpar"));
    auto result = download_kpar(client, policy, url, std::nullopt, bound);
    if (c.fits) {
      ASSERT_TRUE(result) << result.error().message();
      EXPECT_EQ((*result)->archive.size, bound);
      continue;
    }
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().holds<RemoteKparError::TooLarge>());
    EXPECT_EQ(result.error().message(), "kpar at `" + local.url("/p.kpar") + "` is larger than the limit of " +
                                            std::to_string(bound) + " bytes for an archive of unknown size");
    EXPECT_EQ(tmp.entries(), 0u);
  }
  // With an expected size the bound is that size, whatever the fixed one.
  server.push(Reply::ok(good));
  EXPECT_TRUE(download_kpar(client, policy, *url::Url::parse(server.url("/p.kpar")),
                            ExpectedArchive{sha256_hex(good), good.size()}, 10));
}

TEST_F(KparDownloadTest, LargeArchiveLandsWholeOrNotAtAll) {
  // Many blocks of the writer's thread, the last one partial.
  std::string noise(21 << 20, '\0');
  std::uint64_t state = 7;
  for (char& c : noise) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    c = static_cast<char>(state >> 56);
  }
  const std::string big = zip_bytes({{"p/.project.json", kInfo}, {"p/big.bin", noise}});
  const ExpectedArchive expected{sha256_hex(big), big.size()};
  server.push(Reply::ok(big));
  {
    auto downloaded = remote(expected).ensure_downloaded();
    ASSERT_TRUE(downloaded) << downloaded.error().message();
    EXPECT_EQ(read_bytes((*downloaded)->archive.archive_path), big);
    EXPECT_EQ((*downloaded)->archive.sha256, expected.digest);
  }
  // A write that fails part-way, with blocks still waiting: an I/O error,
  // and nothing left behind.
  server.push(Reply::ok(big));
  auto project = remote(expected);
  auto cut = with_file_size_limit(6 << 20, [&] { return project.ensure_downloaded(); });
  ASSERT_FALSE(cut);
  EXPECT_TRUE(cut.error().holds<RemoteKparError::Io>());
  EXPECT_TRUE(cut.error().message().starts_with("failed to write file\n  `")) << cut.error().message();
  EXPECT_EQ(tmp.entries(), 0u);
}

TEST_F(KparDownloadTest, UnparsableUrlFailsAtCreation) {
  auto project = RemoteKparProject::create("http://exa mple.org/p.kpar", client, policy);
  ASSERT_FALSE(project);
  EXPECT_TRUE(project.error().message().starts_with("failed to parse URL `http://exa mple.org/p.kpar`: "));
  EXPECT_FALSE(IndexKparProject::create("not a url", client, policy, 1, std::string(64, 'a')));
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(KparDownloadTest, DownloadsOnceAndReadsFromTheProjectDirectory) {
  server.push(Reply::ok(project_zip()));
  {
    auto project = remote();
    EXPECT_EQ(tmp.entries(), 0u);  // nothing fetched on creation
    auto records = project.get_project();
    ASSERT_TRUE(records) << records.error().message();
    EXPECT_EQ(records->first->name, "widgets");
    EXPECT_TRUE(records->second);
    for (int i = 0; i < 2; ++i) {
      auto reader = project.read_source("src/a.sysml");
      ASSERT_TRUE(reader) << reader.error().message();
      EXPECT_EQ(read_to_end(**reader), "package A;");
    }
    // Measured size and lower-case digest, no further request.
    auto sources = project.sources({});
    ASSERT_TRUE(sources);
    EXPECT_EQ(sources->at(0), Source(RemoteKparSource{server.url("/p.kpar"), project_zip().size(),
                                                      sha256_hex(project_zip())}));
    EXPECT_EQ(project.checksum_hex()->hex, sha256_hex(project_zip()));
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/p.kpar");
    EXPECT_EQ(requests[0].header("Accept"), std::string(kKparAccept));
    EXPECT_FALSE(requests[0].header("Authorization"));
    EXPECT_EQ(tmp.entries(), 1u);
  }
  EXPECT_EQ(tmp.entries(), 0u);  // dropped with the project
}

TEST_F(KparDownloadTest, KnownArchivesAnswerSourcesWithoutRequest) {
  const std::string digest = sha256_hex(project_zip());
  auto remote_known = remote(ExpectedArchive{digest, 7});
  EXPECT_EQ(remote_known.sources({})->at(0), Source(RemoteKparSource{server.url("/p.kpar"), 7, digest}));
  auto index = *IndexKparProject::create(server.url("/i.kpar"), client, policy, project_zip().size(), digest);
  EXPECT_EQ(index.sources({})->at(0), Source(IndexKparSource{server.url("/i.kpar"), project_zip().size(), digest}));
  EXPECT_TRUE(server.requests().empty());
  server.push(Reply::ok(project_zip()));
  auto checksum = index.checksum_hex();  // downloads and verifies first
  ASSERT_TRUE(checksum) << checksum.error().message();
  EXPECT_EQ(checksum->hex, digest);
  EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace kestro::remote
