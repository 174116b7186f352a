// Logging in against scripted index surfaces on loopback servers, storing
// into gnome-keyring's Secret Service in a private session: the events in
// order, the stored text as `secret-tool` reads it, and the requests each
// server received.
#include "kestro/remote/login_probe.hpp"

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kestro/credentials/credential_store.hpp"
#include "kestro/model/index_documents.hpp"
#include "support/keyring_session.hpp"
#include "support/loopback_server.hpp"
#include "test_support.hpp"

namespace kestro::remote {
namespace {

using testing::LoopbackServer;
using testing::Reply;
using testing::shared_keyring_session;

constexpr const char* kToken = "tok-LOGIN-5e1a";
constexpr const char* kWhoami =
    R"({"subject":{"type":"user","name":"ana","extra":[1]},"token":{"name":"ci","prefix":"kst_ab",)"
    R"("expires_at":"2027-01-02T03:04:05+00:00"}})";

std::string surface_name(ProbeSurface s) { return s == ProbeSurface::Read ? "Read" : "Api"; }

std::string describe(const LoginProbeEvent& event) {
  using E = LoginProbeEvent;
  return std::visit(
      [](const auto& e) -> std::string {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, E::ReplacingExisting>) return "ReplacingExisting(" + e.key + ")";
        if constexpr (std::is_same_v<T, E::IndexConfigUnreadable>) return "IndexConfigUnreadable(" + e.text + ")";
        if constexpr (std::is_same_v<T, E::Redirected>)
          return "Redirected(" + surface_name(e.surface) + ", " + e.location + ")";
        if constexpr (std::is_same_v<T, E::CouldNotProbe>)
          return "CouldNotProbe(" + surface_name(e.surface) + ", " + e.text + ")";
        if constexpr (std::is_same_v<T, E::RateLimited>) return "RateLimited(" + surface_name(e.surface) + ")";
        if constexpr (std::is_same_v<T, E::RejectedButStored>)
          return fmt::format("RejectedButStored({}, {}, [{}])", surface_name(e.surface), e.status,
                             fmt::join(e.challenge_schemes, ", "));
      },
      event.kind);
}

std::string outcome_text(const std::expected<LoginOutcome, AuthCommandError>& outcome) {
  if (!outcome) return "error: " + outcome.error().message();
  if (const auto* stored = std::get_if<LoginOutcome::Stored>(&outcome->kind)) {
    std::vector<std::string> validated;
    for (ProbeSurface s : stored->validated) validated.push_back(surface_name(s));
    return fmt::format("stored [{}]", fmt::join(validated, ", "));
  }
  return "not stored: " + std::get<LoginOutcome::NotStored>(outcome->kind).reason;
}

// The stored record's text after the key and globs, as the blob writes it.
std::string record_tail(const std::string& validated, bool details) {
  std::string tail = std::string(R"("scheme":"bearer","secret":")") + kToken + "\"";
  if (details)
    tail += R"(,"expires_at":"2027-01-02T03:04:05Z","subject":{"type":"user","name":"ana"},"token_name":"ci",)"
            R"("token_prefix":"kst_ab")";
  if (!validated.empty()) tail += R"(,"validated":[)" + validated + "]";
  return tail;
}

// The server was asked once: for the discovery document, without the token.
void expect_only_the_document_asked(const LoopbackServer& server) {
  const auto asked = server.requests();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].method, "GET");
  EXPECT_EQ(asked[0].target, "/idx/kestro-index-config.json");
  EXPECT_EQ(asked[0].header("Authorization"), std::nullopt);
}

class LoginProbe : public testing::KeyringStoreTest<CredentialStore> {
 protected:
  void SetUp() override {
    KeyringStoreTest::SetUp();
    if (HasFatalFailure()) return;
    auto index = parse_auth_index_url(read_.url("/idx/"));
    ASSERT_TRUE(index);
    index_ = std::move(*index);
  }
  static void clear() { shared_keyring_session().clear_entry(); }
  static testing::CommandResult lookup() { return shared_keyring_session().lookup_entry(); }

  // The discovery document: the read server's `/idx/` as the index root
  // and, with `api`, the API server's `/api/` as the API root.
  std::string discovery_doc(bool api) const {
    std::string doc = R"({"index_root":")" + read_.url("/idx/") + "\"";
    if (api) doc += R"(,"api_root":")" + api_.url("/api/") + "\"";
    return doc + "}";
  }
  std::string discovery_url() const { return read_.url("/idx/kestro-index-config.json"); }
  std::string globs_json(bool api) const {
    std::string globs = "\"" + read_.url("/idx/") + "**\"";
    if (api) globs += ",\"" + api_.url("/api/") + "**\"";
    return "[" + globs + "]";
  }

  std::expected<LoginOutcome, AuthCommandError> login(const ProbeClientFactory& client = build_probe_http_client) {
    events_.clear();
    return probe_and_store_login(store_, index_, kToken, discovery_client_,
                                 [this](const LoginProbeEvent& e) { events_.push_back(describe(e)); }, client);
  }
  std::string stored_login(const std::string& globs, const std::string& validated, bool details = false) const {
    return R"({"version":1,"credentials":[{"key":")" + read_.url("/idx/") + R"(","globs":)" + globs + "," +
           record_tail(validated, details) + "}]}";
  }

  LoopbackServer read_;
  LoopbackServer api_;
  http::Client discovery_client_;
  AuthIndexArgument index_;
  std::vector<std::string> events_;
};

TEST_F(LoginProbe, SurfaceVerdictsTable) {
  struct Case {
    const char* name;
    std::vector<Reply> read;  // the HEAD answers, without then with the token
    std::optional<std::vector<Reply>> api;  // none: discovery names no API
    std::vector<std::string> events;
    std::string outcome;
    std::string validated;  // stored `validated` items; unused when nothing is stored
    bool details = false;   // the whoami details are stored
  };
  const std::string key = read_.url("/idx/");
  const Case cases[] = {
      {"public read surface, no API: stored unvalidated", {Reply::ok()}, std::nullopt, {}, "stored []", ""},
      {"read surface refuses both, no API: rejected with both answers' schemes",
       {Reply::with_status(401).header("WWW-Authenticate", "Basic realm=\"x\""),
        Reply::with_status(401).header("WWW-Authenticate", "Negotiate, basic")},
       std::nullopt,
       {},
       "error: the index rejected the token for `" + key +
           "`\n(`index.json` answered HTTP 401); nothing was stored\nthis index uses username/password (HTTP basic) "
           "authentication; configure\n`KESTRO_CRED_<X>_BASIC_USER` / `KESTRO_CRED_<X>_BASIC_PASS` environment\n"
           "variables instead\nthe index requests the authentication scheme `Negotiate` in its challenge,\nwhich "
           "kestro does not support",
       ""},
      {"read 404 twice, API 200: stored for the API, the read rejection reported",
       {Reply::with_status(404).header("WWW-Authenticate", "Bearer"), Reply::with_status(404)},
       std::vector<Reply>{Reply::ok(kWhoami)},
       {"RejectedButStored(Read, 404, [Bearer])"},
       "stored [Api]",
       R"("api")",
       true},
      {"API 403 is no verdict; the read surface accepted",
       {Reply::with_status(401), Reply::ok()},
       std::vector<Reply>{Reply::with_status(403)},
       {"CouldNotProbe(Api, unexpected status 403 Forbidden)"},
       "stored [Read]",
       R"("read")"},
      {"API 200 with a body that is no whoami answer: accepted, no details",
       {Reply::ok()},
       std::vector<Reply>{Reply::ok(R"({"subject":{}})")},
       {},
       "stored [Api]",
       R"("api")"},
      {"both accept: read first",
       {Reply::with_status(403), Reply::with_status(204)},
       std::vector<Reply>{Reply::ok(kWhoami)},
       {},
       "stored [Read, Api]",
       R"("read","api")",
       true},
      {"API 401 and read 401: one sentence naming both",
       {Reply::with_status(401), Reply::with_status(401)},
       std::vector<Reply>{Reply::with_status(401)},
       {},
       "error: credential for `" + key +
           "` was rejected by the index read surface (`index.json`, HTTP 401) and the index API (`v1/whoami`, HTTP "
           "401) and accepted by no surface;\nnothing was stored",
       ""},
      {"API 401 but read accepted: stored, the API rejection reported without schemes",
       {Reply::with_status(401).header("WWW-Authenticate", "Basic"), Reply::ok()},
       std::vector<Reply>{Reply::with_status(401)},
       {"RejectedButStored(Api, 401, [])"},
       "stored [Read]",
       R"("read")"},
      {"redirect without Location, API rate limited: no verdict",
       {Reply::with_status(302)},
       std::vector<Reply>{Reply::with_status(429)},
       {"Redirected(Read, (no Location header))", "RateLimited(Api)"},
       "stored []",
       ""},
      {"redirect with a Location byte outside the printable range",
       {Reply::redirect(301, "https://elsewhere/\x01")},
       std::nullopt,
       {"Redirected(Read, (no Location header))"},
       "stored []",
       ""},
      {"redirect of the token probe, API redirected",
       {Reply::with_status(401), Reply::redirect(307, "https://sso.example/login?x=1")},
       std::vector<Reply>{Reply::redirect(308, "/api/v2/whoami")},
       {"Redirected(Read, https://sso.example/login?x=1)", "Redirected(Api, /api/v2/whoami)"},
       "stored []",
       ""},
      {"read rate limited, read 500 on the token probe is unexpected",
       {Reply::with_status(429)},
       std::vector<Reply>{Reply::with_status(503)},
       {"RateLimited(Read)", "CouldNotProbe(Api, unexpected status 503 Service Unavailable)"},
       "stored []",
       ""},
      {"a 500 without the token is unexpected",
       {Reply::with_status(500)},
       std::nullopt,
       {"CouldNotProbe(Read, unexpected status 500 Internal Server Error)"},
       "stored []",
       ""},
  };
  for (const Case& c : cases) {
    clear();
    read_.push(Reply::ok(discovery_doc(c.api.has_value())));
    for (const Reply& r : c.read) read_.push(r);
    if (c.api)
      for (const Reply& r : *c.api) api_.push(r);
    const std::size_t read_before = read_.requests().size(), api_before = api_.requests().size();
    auto outcome = login();
    EXPECT_EQ(outcome_text(outcome), c.outcome) << c.name;
    EXPECT_EQ(events_, c.events) << c.name;
    auto stored = lookup();
    if (outcome) {
      EXPECT_EQ(stored.out, stored_login(globs_json(c.api.has_value()), c.validated, c.details)) << c.name;
    } else {
      EXPECT_EQ(stored.status, 1) << c.name << ": " << stored.out;
    }
    // Every scripted answer (the discovery document first) was asked for,
    // and no more.
    EXPECT_EQ(read_.requests().size() - read_before, 1 + c.read.size()) << c.name;
    EXPECT_EQ(api_.requests().size() - api_before, c.api ? c.api->size() : 0) << c.name;
  }
}

// The token reaches only the surfaces discovery named, and only on the
// requests that carry it: the second HEAD and the whoami GET, over plain
// http as well. The index the user named answers the discovery document
// without it and never sees the token.
TEST_F(LoginProbe, TheTokenGoesOnlyWhereDiscoveryPointed) {
  LoopbackServer named;
  auto index = parse_auth_index_url(named.url("/idx/"));
  ASSERT_TRUE(index);
  index_ = *index;
  named.push(Reply::ok(discovery_doc(true)));
  read_.push(Reply::with_status(401));
  read_.push(Reply::ok());
  api_.push(Reply::ok(kWhoami));
  auto outcome = login();
  ASSERT_TRUE(outcome) << outcome.error().message();
  EXPECT_TRUE(events_.empty());
  expect_only_the_document_asked(named);
  const auto reads = read_.requests();
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].method, "HEAD");
  EXPECT_EQ(reads[0].target, "/idx/index.json");
  EXPECT_EQ(reads[0].header("Authorization"), std::nullopt);
  EXPECT_EQ(reads[1].header("Authorization"), std::string("Bearer ") + kToken);
  EXPECT_EQ(reads[1].header("User-Agent"), "kestro/0.2.1");
  const auto apis = api_.requests();
  ASSERT_EQ(apis.size(), 1u);
  EXPECT_EQ(apis[0].method, "GET");
  EXPECT_EQ(apis[0].target, "/api/v1/whoami");
  EXPECT_EQ(apis[0].header("Authorization"), std::string("Bearer ") + kToken);
  // The stored globs: the named index, then the discovered roots.
  const auto& globs = std::get<LoginOutcome::Stored>(outcome->kind).globs;
  EXPECT_EQ(globs, (std::vector<std::string>{named.url("/idx/") + "**", read_.url("/idx/") + "**",
                                             api_.url("/api/") + "**"}));
}

// The login's discovery against the named index: the answers to the
// unauthenticated GET of the document and, when it was refused with a
// client error other than 429, to the retry with the token. The read
// surface then accepts; the API, when discovery named one, answers whoami.
TEST_F(LoginProbe, DiscoveryTable) {
  struct Case {
    const char* name;
    std::vector<Reply> discovery;
    bool api;                         // the endpoints found name the API
    std::optional<std::string> event;  // the one `IndexConfigUnreadable` text
    bool event_prefix = false;         // the event text only starts so
  };
  const std::string doc = discovery_url();
  const std::string bad_json = model::parse_index_config("{").error().message();
  const Case cases[] = {
      {"answered without the token", {Reply::ok(discovery_doc(true))}, true, std::nullopt},
      {"401, then answered with the token", {Reply::with_status(401), Reply::ok(discovery_doc(true))}, true,
       std::nullopt},
      {"403, then 404 with the token: the read-only endpoints of the location",
       {Reply::with_status(403), Reply::with_status(404)}, false, std::nullopt},
      {"404 is a client error too: retried", {Reply::with_status(404), Reply::ok(discovery_doc(true))}, true,
       std::nullopt},
      {"429 is not retried", {Reply::with_status(429)}, false,
       "HTTP request to `" + doc + "` returned status 429 Too Many Requests"},
      {"503 is not retried", {Reply::with_status(503)}, false,
       "HTTP request to `" + doc + "` returned status 503 Service Unavailable"},
      {"a redirect is not retried", {Reply::with_status(302)}, false,
       "HTTP request to `" + doc + "` returned status 302 Found"},
      {"a bad document value is not retried", {Reply::ok(R"({"api_root":"ftp://h/"})")}, false,
       "discovery document at `" + doc +
           "` supplied a non-HTTP(S) URL `ftp://h/` for `api_root`;\nonly `http` and `https` are supported"},
      {"a body that is no JSON is not retried", {Reply::ok("{")}, false,
       "failed to parse JSON from `" + doc + "`: " + bad_json + "\n  caused by: " + bad_json + "\n"},
      {"retry redirected", {Reply::with_status(401), Reply::redirect(307, "https://sso.example/l?x=1")}, false,
       "the authenticated retry for `" + doc + "` was redirected to `https://sso.example/l?x=1`"},
      {"retry redirected without Location", {Reply::with_status(401), Reply::with_status(303)}, false,
       "the authenticated retry for `" + doc + "` was redirected to `(no Location header)`"},
      {"retry rate limited", {Reply::with_status(401), Reply::with_status(429)}, false,
       "the authenticated retry for `" + doc + "` was rate limited (HTTP 429)"},
      {"retry refused", {Reply::with_status(401), Reply::with_status(401)}, false,
       "the authenticated retry for `" + doc + "` returned status 401 Unauthorized"},
      {"retry answered 201: only 200 counts", {Reply::with_status(401), Reply::with_status(201, "{}")}, false,
       "the authenticated retry for `" + doc + "` returned status 201 Created"},
      {"retry body no JSON", {Reply::with_status(401), Reply::ok("{")}, false,
       "failed to parse JSON from `" + doc + "`: " + bad_json},
      {"retry names a relative API root", {Reply::with_status(401), Reply::ok(R"({"api_root":"v1/"})")}, false,
       "discovery document at `" + doc +
           "` supplied a relative URL `v1/` for `api_root`;\nabsolute HTTP(S) URLs are required"},
      {"retry answered with no HTTP", {Reply::with_status(401), Reply::raw_bytes("SSH-2.0-x\r\n\r\n")}, false,
       "HTTP request to `" + doc + "` failed: ", true},
      {"retry body broken off",
       {Reply::with_status(401), Reply::raw_bytes("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{")}, false,
       "failed to read HTTP response body from `" + doc + "`: ", true},
  };
  for (const Case& c : cases) {
    clear();
    for (const Reply& r : c.discovery) read_.push(r);
    read_.push(Reply::with_status(401));
    read_.push(Reply::ok());
    if (c.api) api_.push(Reply::ok(kWhoami));
    const std::size_t read_before = read_.requests().size(), api_before = api_.requests().size();
    auto outcome = login();
    EXPECT_EQ(outcome_text(outcome), c.api ? "stored [Read, Api]" : "stored [Read]") << c.name;
    if (!c.event) {
      EXPECT_EQ(events_, std::vector<std::string>{}) << c.name;
    } else if (c.event_prefix) {
      ASSERT_EQ(events_.size(), 1u) << c.name;
      EXPECT_TRUE(events_[0].starts_with("IndexConfigUnreadable(" + *c.event)) << c.name << ": " << events_[0];
    } else {
      EXPECT_EQ(events_, std::vector<std::string>{"IndexConfigUnreadable(" + *c.event + ")"}) << c.name;
    }
    EXPECT_EQ(lookup().out, stored_login(globs_json(c.api), c.api ? R"("read","api")" : R"("read")", c.api))
        << c.name;
    // The document requests: the first without the token, the retry with
    // it; then the two HEAD requests of the read surface at the location.
    const auto all = read_.requests();
    const std::vector<testing::RecordedRequest> asked(all.begin() + static_cast<std::ptrdiff_t>(read_before),
                                                      all.end());
    ASSERT_EQ(asked.size(), c.discovery.size() + 2) << c.name;
    for (std::size_t i = 0; i < c.discovery.size(); ++i) {
      EXPECT_EQ(asked[i].method, "GET") << c.name;
      EXPECT_EQ(asked[i].target, "/idx/kestro-index-config.json") << c.name;
      EXPECT_EQ(asked[i].header("Authorization"),
                i == 0 ? std::nullopt : std::optional<std::string>(std::string("Bearer ") + kToken))
          << c.name;
    }
    EXPECT_EQ(asked[c.discovery.size()].target, "/idx/index.json") << c.name;
    EXPECT_EQ(api_.requests().size() - api_before, c.api ? 1u : 0u) << c.name;
  }
}

TEST_F(LoginProbe, NoProbeClientStoresUnvalidated) {
  // The discovery retry needs a probe client too.
  read_.push(Reply::with_status(401));
  auto outcome = login([]() -> std::expected<http::Client, ProbeClientError> {
    return std::unexpected(ProbeClientError::Unavailable{"no TLS backend"});
  });
  EXPECT_EQ(outcome_text(outcome), "stored []");
  EXPECT_EQ(events_, (std::vector<std::string>{
                         "IndexConfigUnreadable(could not build the probe HTTP client: no TLS backend)",
                         "CouldNotProbe(Read, could not build the probe HTTP client: no TLS backend)"}));
  EXPECT_EQ(read_.requests().size(), 1u);
  EXPECT_TRUE(api_.requests().empty());
  EXPECT_EQ(lookup().out, stored_login(globs_json(false), ""));
}

TEST_F(LoginProbe, AnExistingLoginIsReplacedInPlace) {
  const std::string key = read_.url("/idx/");
  auto seeded = update_credential_store(store_, [&](CredentialBlob& blob) {
    for (const std::string& k : {std::string("https://a/"), key, std::string("https://b/")}) {
      CredentialRecord r;
      r.key = k;
      r.globs = {k + "**"};
      r.secret = "old";
      blob.credentials.push_back(r);
    }
    return true;
  });
  ASSERT_TRUE(seeded);
  read_.push(Reply::ok(discovery_doc(true)));
  read_.push(Reply::with_status(401));
  read_.push(Reply::ok());
  api_.push(Reply::with_status(401));
  auto outcome = login();
  EXPECT_EQ(outcome_text(outcome), "stored [Read]");
  EXPECT_EQ(events_, (std::vector<std::string>{"RejectedButStored(Api, 401, [])", "ReplacingExisting(" + key + ")"}));
  EXPECT_EQ(lookup().out,
            R"({"version":1,"credentials":[{"key":"https://a/","globs":["https://a/**"],"scheme":"bearer","secret":"old"},)"
            R"({"key":")" + key + R"(","globs":)" + globs_json(true) + "," + record_tail(R"("read")", false) +
                R"(},{"key":"https://b/","globs":["https://b/**"],"scheme":"bearer","secret":"old"}]})");
}

TEST_F(LoginProbe, AnUnreadableStoreEndsTheLoginBeforeAnyRequest) {
  ASSERT_EQ(shared_keyring_session().store_entry("not a blob").status, 0);
  auto outcome = login();
  EXPECT_EQ(outcome_text(outcome),
            "error: credential store unreadable; remove the `kestro` keyring entry to reset");
  EXPECT_TRUE(read_.requests().empty());
  EXPECT_EQ(lookup().out, "not a blob");
}

// In a process of its own on a bus without a Secret Service: only the
// unauthenticated discovery is asked, its 404 giving the read-only
// endpoints of the location.
TEST(LoginProbeChild, NoBackendNeverSendsTheToken) {
  if (!testing::in_keyring_child()) GTEST_SKIP() << "runs inside LoginProbeNoBackend";
  TempDir dir;
  LoopbackServer server;
  server.push(Reply::with_status(404));
  auto index = parse_auth_index_url(server.url("/idx/"));
  ASSERT_TRUE(index);
  std::vector<std::string> events;
  auto outcome = probe_and_store_login(CredentialStore{(dir.path() / "credentials.lock").string()}, *index, kToken,
                                       http::Client(),
                                       [&](const LoginProbeEvent& e) { events.push_back(describe(e)); });
  ASSERT_TRUE(outcome) << outcome.error().message();
  const auto* not_stored = std::get_if<LoginOutcome::NotStored>(&outcome->kind);
  ASSERT_NE(not_stored, nullptr);
  EXPECT_EQ(not_stored->globs, std::vector<std::string>{server.url("/idx/") + "**"});
  EXPECT_FALSE(not_stored->reason.empty());
  EXPECT_EQ(not_stored->reason.find("no OS keyring backend is available"), std::string::npos) << not_stored->reason;
  EXPECT_TRUE(events.empty());
  expect_only_the_document_asked(server);
}

TEST(LoginProbeNoBackend, BusWithoutSecretService) {
  testing::KeyringSession bus_only(false);
  ASSERT_TRUE(bus_only.ready()) << bus_only.failure();
  auto child = testing::run_keyring_child("LoginProbeChild.*", {{"DBUS_SESSION_BUS_ADDRESS", bus_only.address()}});
  EXPECT_EQ(child.status, 0) << child.out;
}

TEST(LoginProbeLocation, HeaderText) {
  LoopbackServer server;
  struct Case {
    Reply reply;
    const char* text;
  } cases[] = {
      {Reply::redirect(302, "https://h/a b\tc~"), "https://h/a b\tc~"},
      {Reply::with_status(302), "(no Location header)"},
      {Reply::redirect(302, "https://h/\x7f"), "(no Location header)"},
      {Reply::redirect(302, "https://h/\xc3\xa9"), "(no Location header)"},
  };
  for (const Case& c : cases) {
    server.push(c.reply);
    auto client = build_probe_http_client();
    auto response = send_probe_request(*client, http::Method::Head, *url::Url::parse(server.url("/x")), nullptr);
    ASSERT_TRUE(response) << response.error().message();
    EXPECT_EQ(location_header_text(*response), c.text);
  }
}

}  // namespace
}  // namespace kestro::remote
