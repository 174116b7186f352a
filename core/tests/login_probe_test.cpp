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

class LoginProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto& session = shared_keyring_session();
    ASSERT_TRUE(session.ready()) << session.failure();
    clear();
    store_ = CredentialStore{(dir_.path() / "kestro/credentials.lock").string()};
    auto index = parse_auth_index_url(read_.url("/idx/"));
    ASSERT_TRUE(index);
    index_ = std::move(*index);
  }
  void TearDown() override { clear(); }
  static void clear() { shared_keyring_session().clear_entry(); }
  static testing::CommandResult lookup() { return shared_keyring_session().lookup_entry(); }

  // Discovery that names the read server's `/idx/` as the index root and,
  // with `api`, the API server's `/api/` as the API root.
  LoginDiscovery discovered(bool api) const {
    return [this, api](DiscoveryMode) -> std::expected<LoginEndpoints, std::string> {
      LoginEndpoints e{*parse_index_location(read_.url("/idx/")), std::nullopt};
      if (api) e.api_root = *url::Url::parse(api_.url("/api/"));
      return e;
    };
  }
  std::string globs_json(bool api) const {
    std::string globs = "\"" + read_.url("/idx/") + "**\"";
    if (api) globs += ",\"" + api_.url("/api/") + "**\"";
    return "[" + globs + "]";
  }

  std::expected<LoginOutcome, AuthCommandError> login(const LoginDiscovery& discover,
                                                      const ProbeClientFactory& client = build_probe_http_client) {
    events_.clear();
    return probe_and_store_login(store_, index_, kToken, discover,
                                 [this](const LoginProbeEvent& e) { events_.push_back(describe(e)); }, client);
  }

  TempDir dir_;
  CredentialStore store_;
  LoopbackServer read_;
  LoopbackServer api_;
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
    for (const Reply& r : c.read) read_.push(r);
    if (c.api)
      for (const Reply& r : *c.api) api_.push(r);
    const std::size_t read_before = read_.requests().size(), api_before = api_.requests().size();
    auto outcome = login(discovered(c.api.has_value()));
    EXPECT_EQ(outcome_text(outcome), c.outcome) << c.name;
    EXPECT_EQ(events_, c.events) << c.name;
    auto stored = lookup();
    if (outcome) {
      EXPECT_EQ(stored.out, R"({"version":1,"credentials":[{"key":")" + key + R"(","globs":)" +
                                globs_json(c.api.has_value()) + "," + record_tail(c.validated, c.details) + "}]}")
          << c.name;
    } else {
      EXPECT_EQ(stored.status, 1) << c.name << ": " << stored.out;
    }
    // Every scripted answer was asked for, and no more.
    EXPECT_EQ(read_.requests().size() - read_before, c.read.size()) << c.name;
    EXPECT_EQ(api_.requests().size() - api_before, c.api ? c.api->size() : 0) << c.name;
  }
}

// The token reaches only the surfaces discovery named, and only on the
// requests that carry it: the second HEAD and the whoami GET, over plain
// http as well.
TEST_F(LoginProbe, TheTokenGoesOnlyWhereDiscoveryPointed) {
  LoopbackServer named;  // the index the user named
  auto index = parse_auth_index_url(named.url("/idx/"));
  ASSERT_TRUE(index);
  index_ = *index;
  read_.push(Reply::with_status(401));
  read_.push(Reply::ok());
  api_.push(Reply::ok(kWhoami));
  auto outcome = login(discovered(true));
  ASSERT_TRUE(outcome) << outcome.error().message();
  EXPECT_TRUE(named.requests().empty());
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

TEST_F(LoginProbe, UnreadableDiscoveryProbesTheNamedLocation) {
  read_.push(Reply::with_status(401));
  read_.push(Reply::ok());
  auto outcome = login([](DiscoveryMode mode) -> std::expected<LoginEndpoints, std::string> {
    EXPECT_EQ(mode, DiscoveryMode::ForProbe);
    return std::unexpected("HTTP request to `x` returned status 503 Service Unavailable");
  });
  EXPECT_EQ(outcome_text(outcome), "stored [Read]");
  EXPECT_EQ(events_, (std::vector<std::string>{
                         "IndexConfigUnreadable(HTTP request to `x` returned status 503 Service Unavailable)"}));
  EXPECT_EQ(read_.requests().at(0).target, "/idx/index.json");
  EXPECT_EQ(lookup().out, R"({"version":1,"credentials":[{"key":")" + read_.url("/idx/") + R"(","globs":)" +
                              globs_json(false) + "," + record_tail(R"("read")", false) + "}]}");
}

TEST_F(LoginProbe, NoProbeClientStoresUnvalidated) {
  auto outcome = login(discovered(true), []() -> std::expected<http::Client, ErrorPtr> {
    return std::unexpected(make_error<MessageError>("no TLS backend"));
  });
  EXPECT_EQ(outcome_text(outcome), "stored []");
  EXPECT_EQ(events_, (std::vector<std::string>{"CouldNotProbe(Read, could not build the probe HTTP client: no TLS "
                                               "backend)"}));
  EXPECT_TRUE(read_.requests().empty());
  EXPECT_TRUE(api_.requests().empty());
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
  read_.push(Reply::with_status(401));
  read_.push(Reply::ok());
  api_.push(Reply::with_status(401));
  auto outcome = login(discovered(true));
  EXPECT_EQ(outcome_text(outcome), "stored [Read]");
  EXPECT_EQ(events_, (std::vector<std::string>{"RejectedButStored(Api, 401, [])", "ReplacingExisting(" + key + ")"}));
  EXPECT_EQ(lookup().out,
            R"({"version":1,"credentials":[{"key":"https://a/","globs":["https://a/**"],"scheme":"bearer","secret":"old"},)"
            R"({"key":")" + key + R"(","globs":)" + globs_json(true) + "," + record_tail(R"("read")", false) +
                R"(},{"key":"https://b/","globs":["https://b/**"],"scheme":"bearer","secret":"old"}]})");
}

TEST_F(LoginProbe, AnUnreadableStoreEndsTheLoginBeforeAnyRequest) {
  ASSERT_EQ(shared_keyring_session().store_entry("not a blob").status, 0);
  bool discovered_called = false;
  auto outcome = login([&](DiscoveryMode) -> std::expected<LoginEndpoints, std::string> {
    discovered_called = true;
    return std::unexpected("x");
  });
  EXPECT_EQ(outcome_text(outcome),
            "error: credential store unreadable; remove the `kestro` keyring entry to reset");
  EXPECT_FALSE(discovered_called);
  EXPECT_EQ(lookup().out, "not a blob");
}

// In a process of its own on a bus without a Secret Service.
TEST(LoginProbeChild, NoBackendNeverSendsTheToken) {
  if (!std::getenv("KESTRO_TEST_KEYRING_CHILD")) GTEST_SKIP() << "runs inside LoginProbeNoBackend";
  TempDir dir;
  LoopbackServer server;
  auto index = parse_auth_index_url(server.url("/idx/"));
  ASSERT_TRUE(index);
  std::vector<std::string> events;
  std::vector<DiscoveryMode> modes;
  auto outcome = probe_and_store_login(
      CredentialStore{(dir.path() / "credentials.lock").string()}, *index, kToken,
      [&](DiscoveryMode mode) -> std::expected<LoginEndpoints, std::string> {
        modes.push_back(mode);
        return LoginEndpoints{index->location, std::nullopt};
      },
      [&](const LoginProbeEvent& e) { events.push_back(describe(e)); });
  ASSERT_TRUE(outcome) << outcome.error().message();
  const auto* not_stored = std::get_if<LoginOutcome::NotStored>(&outcome->kind);
  ASSERT_NE(not_stored, nullptr);
  EXPECT_EQ(not_stored->globs, std::vector<std::string>{server.url("/idx/") + "**"});
  EXPECT_FALSE(not_stored->reason.empty());
  EXPECT_EQ(not_stored->reason.find("no OS keyring backend is available"), std::string::npos) << not_stored->reason;
  EXPECT_EQ(modes, std::vector<DiscoveryMode>{DiscoveryMode::WithoutStore});
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(server.requests().empty());
}

TEST(LoginProbeNoBackend, BusWithoutSecretService) {
  testing::KeyringSession bus_only(false);
  ASSERT_TRUE(bus_only.ready()) << bus_only.failure();
  auto child = testing::run_command({"/proc/self/exe", "--gtest_filter=LoginProbeChild.*"},
                                    testing::environment_with({{"DBUS_SESSION_BUS_ADDRESS", bus_only.address()},
                                                               {"KESTRO_TEST_KEYRING_CHILD", "1"}}));
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
    ASSERT_TRUE(response) << response.error();
    EXPECT_EQ(location_header_text(*response), c.text);
  }
}

}  // namespace
}  // namespace kestro::remote
