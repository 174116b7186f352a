// The HTTP candidate's probe (is it certainly not there?) against a loopback
// server: what it answers, which requests it makes, what it logs, and what
// the next read of the same candidate does.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kestro/resolve/http_resolver.hpp"
#include "kestro/utils/log.hpp"
#include "support/loopback_server.hpp"
#include "support/records.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

namespace kestro::resolve {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using testing::kInfo;
using testing::kMeta;

const std::string& project_zip() {
  static const std::string bytes = [] {
    TempDir dir;
    make_zip(dir.path() / "p.kpar", {{"p/.project.json", kInfo}, {"p/.meta.json", kMeta}});
    return read_bytes(dir.path() / "p.kpar");
  }();
  return bytes;
}

// A port on 127.0.0.1 that nothing listens on.
std::uint16_t closed_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  ::close(fd);
  return ntohs(addr.sin_port);
}

// Answers by target (404 for anything else). A record of a source tree is
// answered only once the other record has been asked for as well (503 after
// five seconds without it), so both requests must be in flight together.
class RecordServer {
 public:
  explicit RecordServer(std::map<std::string, Reply> replies) : replies_(std::move(replies)) {
    server_.set_handler([this](const RecordedRequest& request) { return answer(request.target); });
  }
  std::string url(std::string_view path) const { return server_.url(path); }
  std::vector<std::string> targets() const {
    std::vector<std::string> out;
    for (const auto& r : server_.requests()) out.push_back(r.target);
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  Reply answer(const std::string& target) {
    const bool info = target.ends_with("/.project.json");
    if (info || target.ends_with("/.meta.json")) {
      std::unique_lock lock(mutex_);
      seen_.insert(target);
      changed_.notify_all();
      const std::string other = target.substr(0, target.rfind('/') + 1) + (info ? ".meta.json" : ".project.json");
      if (!changed_.wait_for(lock, std::chrono::seconds(5), [&] { return seen_.contains(other); }))
        return Reply::with_status(503);
    }
    auto it = replies_.find(target);
    return it == replies_.end() ? Reply::with_status(404) : it->second;
  }

  std::map<std::string, Reply> replies_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> seen_;
  LoopbackServer server_;  // last: stopped before the state its handler uses
};

HttpProject tree_at(const std::string& url) {
  return HttpProject(HttpProject::Src{RemoteSrcProject(url::Url::parse(url).value(), std::nullopt, http::Client(), {})});
}
HttpProject kpar_at(const std::string& url) {
  return HttpProject(HttpProject::Kpar{
      std::make_unique<const RemoteKparProject>(RemoteKparProject::create(url, http::Client(), {}).value())});
}

// Each text with "{url}" replaced by `url`.
std::string with_url(std::string text, const std::string& url) {
  for (auto at = text.find("{url}"); at != std::string::npos; at = text.find("{url}", at + url.size()))
    text.replace(at, 5, url);
  return text;
}

TEST(HttpProjectProbe, AnswersRequestsLogsAndTheNextRead) {
  struct Case {
    const char* name;
    bool kpar;
    bool unreachable;
    std::map<std::string, Reply> replies;
    bool unusable;
    // The debug lines under the download target, then the name read
    // afterwards (or the read's error), then every request target, sorted.
    std::vector<std::string> logged;
    std::string read;
    std::vector<std::string> requests;
  };
  const std::string tree_info = "/p/.project.json", tree_meta = "/p/.meta.json";
  const Case cases[] = {
      {"tree: metadata 404", false, false, {{tree_info, Reply::ok(kInfo)}}, true, {}, "P",
       {tree_meta, tree_info, tree_info}},
      {"tree: information 404", false, false, {{tree_meta, Reply::ok(kMeta)}}, true, {}, "absent",
       {tree_meta, tree_info, tree_info}},
      {"tree: information 500", false, false, {{tree_info, Reply::with_status(500)}, {tree_meta, Reply::ok(kMeta)}},
       true, {}, "absent", {tree_meta, tree_info, tree_info}},
      // Bodies are not looked at: an empty information record passes.
      {"tree: both 2xx, bad body", false, false, {{tree_info, Reply::ok("")}, {tree_meta, Reply::with_status(204)}},
       false, {}, "HTTP request to\n  `{url}.project.json`\n  returned malformed data", {tree_meta, tree_info, tree_info}},
      {"tree: both 200", false, false, {{tree_info, Reply::ok(kInfo)}, {tree_meta, Reply::ok(kMeta)}}, false, {}, "P",
       {tree_meta, tree_info, tree_info}},
      {"tree: host unreachable", false, true, {}, true, {}, "error making an HTTP request", {}},
      // A failed download is no answer: logged, usable, tried again by the
      // next read, which reports it.
      {"kpar: 404", true, false, {}, false,
       {"error downloading/reading a kpar: HTTP request to `{url}` returned status 404 Not Found"},
       "HTTP request to `{url}` returned status 404 Not Found", {"/p.kpar", "/p.kpar"}},
      {"kpar: host unreachable", true, true, {}, false, {"error downloading/reading a kpar: error making an HTTP request"},
       "error making an HTTP request", {}},
      // Downloaded once, by the probe.
      {"kpar: downloads", true, false, {{"/p.kpar", Reply::ok(project_zip())}}, false, {}, "P", {"/p.kpar"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTmpdir tmp;
    RecordServer server(c.replies);
    const std::string base = c.unreachable ? "http://127.0.0.1:" + std::to_string(closed_port()) : server.url("");
    const std::string url = base + (c.kpar ? "/p.kpar" : "/p/");
    const HttpProject project = c.kpar ? kpar_at(url) : tree_at(url);

    std::vector<std::string> logged;
    {
      log::ScopedCapture capture;
      EXPECT_EQ(project.read_info_meta(), c.unusable);
      for (const auto& r : capture.records())
        if (r.target == kKparDownloadTarget) {
          EXPECT_EQ(r.level, log::Level::Debug);
          logged.push_back(r.message);
        }
    }
    ASSERT_EQ(logged.size(), c.logged.size());
    for (std::size_t i = 0; i < logged.size(); ++i)
      EXPECT_TRUE(logged[i].starts_with(with_url(c.logged[i], url))) << logged[i];

    auto info = project.get_info();
    const std::string read = info ? (*info ? (*info)->name : "absent") : info.error().message();
    EXPECT_TRUE(read.starts_with(with_url(c.read, url))) << read;
    // The tag adds nothing to the kind's own text.
    if (!info) {
      const HttpProjectError& err = info.error();
      const auto* tree = err.get_if<HttpProjectError::SrcProject>();
      const auto* kpar = err.get_if<HttpProjectError::KparDownloaded>();
      ASSERT_TRUE(c.kpar ? kpar != nullptr : tree != nullptr);
      EXPECT_EQ(read, c.kpar ? kpar->err.message() : tree->err.message());
    }
    EXPECT_EQ(server.targets(), c.requests);
  }
}

// The probe reaches the HTTP project through every holder the combined
// resolver puts it in.
TEST(HttpProjectProbe, ReachesThroughTheCombinedCandidate) {
  RecordServer server({{"/p/.project.json", Reply::ok(kInfo)}});
  const CombinedProject missing_meta = wrap_http_candidate(tree_at(server.url("/p/")));
  ASSERT_TRUE(std::holds_alternative<CombinedProject::RemoteProject>(missing_meta.kind));
  EXPECT_TRUE(missing_meta.is_known_unusable());
  EXPECT_TRUE(std::get<CombinedProject::RemoteProject>(missing_meta.kind).project.is_known_unusable());
  auto info = missing_meta.get_info();
  ASSERT_TRUE(info && *info);
  EXPECT_EQ((*info)->name, "P");
}

}  // namespace
}  // namespace kestro::resolve
