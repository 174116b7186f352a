#include "kestro/auth/send_with_credentials.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "kestro/utils/log.hpp"
#include "support/log_capture.hpp"
#include "support/loopback_server.hpp"

namespace kestro::auth {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;

constexpr int kClose = -1;  // the server closes the connection without an answer

std::string expand(std::string text, const std::string& base) {
  for (std::size_t at; (at = text.find("{B}")) != std::string::npos;) text.replace(at, 3, base);
  return text;
}

ConfiguredCredential bearer(std::string token) { return {ConfiguredCredential::Bearer{std::move(token), "x"}}; }

StoredLogin login(std::string key, std::vector<std::string> globs, std::string secret,
                  std::optional<time::Timestamp> expires = std::nullopt) {
  return {std::move(key), std::move(globs), std::move(secret), expires};
}

const time::Timestamp kPast{1'000'000'000, 0};
const time::Timestamp kFuture{32'000'000'000, 0};

// Answers by the request's `Authorization` ("" for none): the status from
// the table (200 when absent), with that value as the body.
Reply answer(const std::map<std::string, int>& answers, const RecordedRequest& request) {
  std::string auth = request.header("Authorization").value_or("");
  auto it = answers.find(auth);
  int status = it == answers.end() ? 200 : it->second;
  if (status == kClose) return Reply::raw_bytes("");
  return Reply::with_status(status, auth.empty() ? "none" : auth);
}

TEST(SendWithCredentials, Phases) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, ConfiguredCredential>> configured;
    std::optional<std::vector<StoredLogin>> stored;  // none: the policy has no store
    std::map<std::string, int> answers;
    std::vector<std::string> sent;  // `Authorization` of each request in order
    int status;                     // 0: an error is returned
    std::string body;
    int store_reads;
    std::vector<std::string> logged;  // lines expected among the warn and debug lines
  };
  std::vector<Case> cases = {
      {"no configured match, 200", {}, std::vector<StoredLogin>{login("k", {"{B}/**"}, "s1")}, {}, {""}, 200, "none", 0, {}},
      {"configured phase ends with 429",
       {},
       std::vector<StoredLogin>{login("k", {"{B}/**"}, "s1")},
       {{"", 429}},
       {""},
       429,
       "none",
       0,
       {}},
      {"404 tries the stored login and returns its 404",
       {},
       std::vector<StoredLogin>{login("k", {"{B}/**"}, "s1")},
       {{"", 404}, {"Bearer s1", 404}},
       {"", "Bearer s1"},
       404,
       "Bearer s1",
       1,
       {"stored credential matches `{B}/v.json`; retrying with forced bearer auth"}},
      {"two stored logins, 429 from the first moves on",
       {},
       std::vector<StoredLogin>{login("k1", {"{B}/**"}, "s1"), login("k2", {"{B}/*"}, "s2")},
       {{"", 401}, {"Bearer s1", 429}},
       {"", "Bearer s1", "Bearer s2"},
       200,
       "Bearer s2",
       1,
       {"URL {B}/v.json matches multiple stored credentials; trying each in order"}},
      {"two globs of one login, or one secret twice: one attempt",
       {},
       std::vector<StoredLogin>{login("k1", {"{B}/**", "{B}/*"}, "s1"), login("k2", {"{B}/v.*"}, "s1")},
       {{"", 401}, {"Bearer s1", 401}},
       {"", "Bearer s1"},
       401,
       "Bearer s1",
       1,
       {"stored credential matches `{B}/v.json`; retrying with forced bearer auth"}},
      {"all stored rejected: the first stored answer, expiry warned for the expired login only",
       {},
       std::vector<StoredLogin>{login("k1", {"{B}/**"}, "s1", kPast), login("k2", {"{B}/*"}, "s2", kFuture),
                                login("k3", {"{B}/v.json"}, "s3")},
       {{"", 401}, {"Bearer s1", 403}, {"Bearer s2", 401}, {"Bearer s3", 404}},
       {"", "Bearer s1", "Bearer s2", "Bearer s3"},
       403,
       "Bearer s1",
       1,
       {"credential for `k1` may be expired or revoked;\nre-authenticate to store a fresh credential"}},
      {"three configured globs, the second answers 200",
       {{"{B}/**", bearer("a")}, {"{B}/*", bearer("b")}, {"{B}/v.json", bearer("c")}},
       std::nullopt,
       {{"", 401}, {"Bearer a", 403}},
       {"", "Bearer a", "", "Bearer b"},
       200,
       "Bearer b",
       0,
       {"URL {B}/v.json matches multiple authentication URL globs: \n{B}/**\n{B}/*\n{B}/v.json"}},
      {"three configured globs all 403, then the stored phase",
       {{"{B}/**", bearer("a")}, {"{B}/*", bearer("b")}, {"{B}/v.json", bearer("c")}},
       std::vector<StoredLogin>{login("k", {"{B}/**"}, "s1")},
       {{"", 403}, {"Bearer a", 403}, {"Bearer b", 403}, {"Bearer c", 403}, {"Bearer s1", 200}},
       {"", "Bearer a", "", "Bearer b", "", "Bearer c", "Bearer s1"},
       200,
       "Bearer s1",
       1,
       {}},
      {"three configured globs all 403, no store: the first one's answer",
       {{"{B}/**", bearer("a")}, {"{B}/*", bearer("b")}, {"{B}/v.json", bearer("c")}},
       std::nullopt,
       {{"", 403}, {"Bearer a", 403}, {"Bearer b", 403}, {"Bearer c", 403}},
       {"", "Bearer a", "", "Bearer b", "", "Bearer c"},
       403,
       "Bearer a",
       0,
       {}},
      {"two configured credentials under one glob",
       {{"{B}/**", bearer("a")}, {"{B}/**", bearer("b")}},
       std::nullopt,
       {{"", 401}, {"Bearer a", 401}},
       {"", "Bearer a", "", "Bearer b"},
       200,
       "Bearer b",
       0,
       {"URL {B}/v.json matches multiple authentication URL globs: \n{B}/**\n{B}/**"}},
      {"one configured credential: its answer whatever the status, then stored",
       {{"{B}/**", {ConfiguredCredential::Basic{"alice", ""}}}},
       std::vector<StoredLogin>{},
       {{"", 401}, {"Basic YWxpY2U6", 401}},
       {"", "Basic YWxpY2U6"},
       401,
       "Basic YWxpY2U6",
       1,
       {}},
      {"a store but no configured credentials: the stored phase runs",
       {},
       std::vector<StoredLogin>{login("k", {"{B}/v.json"}, "s1")},
       {{"", 401}},
       {"", "Bearer s1"},
       200,
       "Bearer s1",
       1,
       {}},
      {"no store: the configured answer",
       {},
       std::nullopt,
       {{"", 401}},
       {""},
       401,
       "none",
       0,
       {}},
      {"connection fails during the second stored attempt",
       {},
       std::vector<StoredLogin>{login("k1", {"{B}/**"}, "s1"), login("k2", {"{B}/*"}, "s2")},
       {{"", 401}, {"Bearer s1", 401}, {"Bearer s2", kClose}},
       {"", "Bearer s1", "Bearer s2"},
       0,
       "",
       1,
       {}},
  };
  http::Client client;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server;
    const std::string base = server.url("");
    server.set_handler([&](const RecordedRequest& r) { return answer(c.answers, r); });
    UrlGlobMapBuilder<ConfiguredCredential> builder;
    for (const auto& [pattern, credential] : c.configured) push_credential(builder, expand(pattern, base), credential);
    std::atomic<int> reads = 0;
    StoredCredentialSource source;
    if (c.stored) {
      std::vector<StoredLogin> logins = *c.stored;
      for (auto& l : logins)
        for (auto& g : l.globs) g = expand(g, base);
      source = [&reads, logins] {
        ++reads;
        return compile_stored_credentials(logins);
      };
    }
    AuthPolicy policy(*build_url_glob_map(std::move(builder)), source);
    log::ScopedCapture capture;
    auto response = send_with_credentials(policy, RequestVariant::JsonDocument, *url::Url::parse(base + "/v.json"), client);
    if (c.status == 0) {
      ASSERT_FALSE(response);
      EXPECT_TRUE(response.error().holds<http::HttpError::Transfer>()) << response.error().debug();
    } else {
      ASSERT_TRUE(response) << response.error().message();
      EXPECT_EQ(response->status(), c.status);
      EXPECT_EQ(*response->read_body(100), c.body);
    }
    std::vector<std::string> sent;
    for (const auto& r : server.requests()) {
      sent.push_back(r.header("Authorization").value_or(""));
      EXPECT_EQ(r.method, "GET");
      EXPECT_EQ(r.header("Accept"), "application/vnd.github.raw, application/json, text/plain");
    }
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(reads, c.store_reads);
    std::vector<std::string> lines;
    for (const auto& r : capture.records()) {
      for (const char* secret : {"s1", "s2", "s3", "Bearer a", "Bearer b", "YWxpY2U6"})
        EXPECT_EQ(r.message.find(secret), std::string::npos) << r.message;
      lines.push_back(r.message);
    }
    for (const std::string& expected : c.logged)
      EXPECT_NE(std::find(lines.begin(), lines.end(), expand(expected, base)), lines.end()) << expected;
    int expiry_warnings = 0;
    for (const auto& l : lines) expiry_warnings += l.find("may be expired") != std::string::npos;
    EXPECT_LE(expiry_warnings, 1);
  }
}

TEST(SendWithCredentials, ExistenceProbeSendsHeadThroughEveryPhase) {
  LoopbackServer server;
  server.set_handler([](const RecordedRequest& r) { return answer({{"", 401}, {"Bearer a", 401}}, r); });
  UrlGlobMapBuilder<ConfiguredCredential> builder;
  push_credential(builder, server.url("/**"), bearer("a"));
  std::vector<StoredLogin> logins = {login("k", {server.url("/**")}, "s1")};
  AuthPolicy policy(*build_url_glob_map(std::move(builder)), [&] { return compile_stored_credentials(logins); });
  http::Client client;
  auto response = send_with_credentials(policy, RequestVariant::ExistenceProbe, *url::Url::parse(server.url("/p/.project.json")), client);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status(), 200);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& r : requests) {
    EXPECT_EQ(r.method, "HEAD");
    EXPECT_EQ(r.header("Accept"), "application/vnd.github.raw, application/json, text/plain");
  }
}

TEST(SendWithCredentials, StoreIsReadOncePerPolicyAlsoWithTwoRequestsAtOnce) {
  LoopbackServer server;
  server.set_handler([](const RecordedRequest& r) { return answer({{"", 401}}, r); });
  std::atomic<int> reads = 0;
  std::vector<StoredLogin> logins = {login("k", {server.url("/**")}, "s1")};
  AuthPolicy policy({}, [&] {
    ++reads;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return compile_stored_credentials(logins);
  });
  AuthPolicy shared_copy = policy;
  http::Client client;
  std::atomic<int> ok = 0;
  auto read = [&](const AuthPolicy& p, const char* path) {
    auto r = send_with_credentials(p, RequestVariant::JsonDocument, *url::Url::parse(server.url(path)), client);
    if (r && r->status() == 200) ++ok;
  };
  std::thread a(read, std::cref(policy), "/a.json");
  std::thread b(read, std::cref(shared_copy), "/b.json");
  a.join();
  b.join();
  read(policy, "/c.json");
  EXPECT_EQ(ok, 3);
  EXPECT_EQ(reads, 1);
  // A fresh policy reads again.
  AuthPolicy other({}, [&] {
    ++reads;
    return compile_stored_credentials(logins);
  });
  read(other, "/d.json");
  EXPECT_EQ(reads, 2);
}

TEST(SendWithCredentials, FailedStoreReadIsLoggedOnceAndNotRepeated) {
  LoopbackServer server;
  server.set_handler([](const RecordedRequest& r) { return answer({{"", 401}}, r); });
  int reads = 0;
  AuthPolicy policy({}, [&]() -> StoredCredentials {
    ++reads;
    throw std::runtime_error("worker stopped");
  });
  http::Client client;
  log::ScopedCapture capture;
  for (int i = 0; i < 2; ++i) {
    auto r = send_with_credentials(policy, RequestVariant::JsonDocument, *url::Url::parse(server.url("/x")), client);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 401);
  }
  EXPECT_EQ(reads, 1);
  int failures = 0;
  for (const auto& r : capture.records())
    failures += r.message == "credential store read failed: worker stopped;\ncontinuing without stored credentials";
  EXPECT_EQ(failures, 1);
}

TEST(StoredCredentials, InvalidGlobIsSkippedAndTheLoginsOtherGlobsStay) {
  std::vector<StoredLogin> logins = {login("key-1", {"https://a/[x", "https://a/**"}, "s1")};
  log::ScopedCapture capture;
  auto compiled = compile_stored_credentials(logins);
  ASSERT_EQ(compiled.patterns, std::vector<std::string>{"https://a/**"});
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].level, log::Level::Warn);
  EXPECT_EQ(capture.records()[0].message,
            "ignoring invalid stored credential URL pattern `https://a/[x` for `key-1`:\n"
            "error parsing glob 'https://a/[x': unclosed character class; missing ']'");
  auto hit = glob_map_lookup(compiled, "https://a/v.json");
  ASSERT_TRUE(std::holds_alternative<GlobLookup<StoredCredential>::One>(hit.result));
  EXPECT_EQ(std::get<GlobLookup<StoredCredential>::One>(hit.result).value->secret, "s1");
}

TEST(StoredCredentials, ExpiryWarningOncePerLoginAndOnlyWhenPast) {
  std::vector<StoredLogin> logins = {login("old", {"https://a/**", "https://a/*"}, "s1", kPast),
                                     login("fresh", {"https://a/**"}, "s2", kFuture), login("none", {"https://a/**"}, "s3"),
                                     login("old2", {"https://a/**"}, "s4", kPast)};
  auto compiled = compile_stored_credentials(logins);
  ASSERT_EQ(compiled.values.size(), 5u);
  log::ScopedCapture capture;
  for (int round = 0; round < 3; ++round)
    for (const auto& v : compiled.values) warn_credential_maybe_expired(v, time::Timestamp{2'000'000'000, 0});
  // Exactly at the expiry instant: not yet expired.
  auto at = compile_stored_credentials(std::vector<StoredLogin>{login("edge", {"https://a/**"}, "s5", kPast)});
  warn_credential_maybe_expired(at.values[0], kPast);
  const std::vector<std::string> lines = testing::messages_of(capture);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "credential for `old` may be expired or revoked;\nre-authenticate to store a fresh credential",
                       "credential for `old2` may be expired or revoked;\nre-authenticate to store a fresh credential"}));
}

}  // namespace
}  // namespace kestro::auth
