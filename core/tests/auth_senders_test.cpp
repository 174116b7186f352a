#include "kestro/auth/senders.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/http_status.hpp"
#include "kestro/utils/log.hpp"
#include "support/log_capture.hpp"
#include "support/loopback_server.hpp"

namespace kestro::auth {
namespace {

using testing::LoopbackServer;
using testing::Reply;

const std::string kToken = "tok-9f8e7d";
ConfiguredCredential bearer(std::string token = kToken) {
  return {ConfiguredCredential::Bearer{std::move(token), "python"}};
}

RequestFactory factory_for(RequestVariant variant, const std::string& url) {
  return RequestFactory{variant, *url::Url::parse(url)};
}

std::vector<std::string> messages(const log::ScopedCapture& capture) {
  testing::expect_not_logged(capture, kToken);
  return testing::messages_of(capture, {"kestro_core::auth"});
}

TEST(AuthSenders, Base64) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"alice:", "YWxpY2U6"}, {"\xff\xfe\x00", "//4A"}};
  cases.back().first = std::string("\xff\xfe\x00", 3);
  for (const auto& [in, out] : cases) EXPECT_EQ(base64_encode(in), out);
}

TEST(AuthSenders, FallbackByFirstStatus) {
  struct Case {
    int first_status;
    bool retried;
  };
  std::vector<Case> cases = {{200, false}, {401, true}, {403, true}, {404, true},
                             {429, false}, {500, false}, {302, false}, {204, false}};
  http::Client client;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first_status);
    LoopbackServer server;
    server.push(Reply::with_status(c.first_status));
    server.push(Reply::with_status(401, "again"));
    auto factory = factory_for(RequestVariant::JsonDocument, server.url("/index/versions.json"));
    log::ScopedCapture capture;
    auto response = send_with_auth_fallback(bearer(), factory(client), factory);
    ASSERT_TRUE(response) << response.error().message();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), c.retried ? 2u : 1u);
    EXPECT_EQ(requests[0].header("Authorization"), std::nullopt);
    EXPECT_EQ(requests[0].header("Accept"), "application/vnd.github.raw, application/json, text/plain");
    auto lines = messages(capture);
    if (c.retried) {
      // The second answer is returned even when it is a client error again.
      EXPECT_EQ(response->status(), 401);
      EXPECT_EQ(*response->read_body(100), "again");
      EXPECT_EQ(requests[1].header("Authorization"), "Bearer " + kToken);
      EXPECT_EQ(requests[1].header("Accept"), "application/vnd.github.raw, application/json, text/plain");
      EXPECT_EQ(requests[1].method, "GET");
      ASSERT_EQ(lines.size(), 5u);
      EXPECT_EQ(lines[2], fmt::format("higher priority auth request returned status {}, trying lower",
                                      http_status_text(static_cast<std::uint16_t>(c.first_status))));
      EXPECT_EQ(lines[3], "GET (bearer auth) `" + server.url("/index/versions.json") + "`");
      EXPECT_EQ(lines[4], "response to (bearer auth) `" + server.url("/index/versions.json") +
                              "`: status 401 Unauthorized, content type None");
    } else {
      EXPECT_EQ(response->status(), c.first_status);
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[0], "GET (no auth) `" + server.url("/index/versions.json") + "`");
      EXPECT_EQ(lines[1], fmt::format("response to (no auth) `{}`: status {}, content type None",
                                      server.url("/index/versions.json"),
                                      http_status_text(static_cast<std::uint16_t>(c.first_status))));
    }
  }
}

TEST(AuthSenders, VariantsRetryWithTheirMethodAndAccept) {
  struct Case {
    RequestVariant variant;
    std::string method;
    std::string accept;
  };
  std::vector<Case> cases = {
      {RequestVariant::JsonDocument, "GET", "application/vnd.github.raw, application/json, text/plain"},
      {RequestVariant::KparArchive, "GET", "application/zip, application/octet-stream, application/vnd.github.raw"},
      {RequestVariant::SourceFile, "GET", "application/vnd.github.raw, text/plain, application/octet-stream"},
      {RequestVariant::ExistenceProbe, "HEAD", "application/vnd.github.raw, application/json, text/plain"},
  };
  http::Client client;
  for (const Case& c : cases) {
    LoopbackServer server;
    server.push(Reply::with_status(401));
    auto factory = factory_for(c.variant, server.url("/p/x"));
    ASSERT_TRUE(send_with_auth_fallback(bearer(), factory(client), factory));
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) {
      EXPECT_EQ(r.method, c.method);
      EXPECT_EQ(r.header("Accept"), c.accept);
    }
  }
}

TEST(AuthSenders, BasicWithEmptyPasswordSendsUserAndColon) {
  LoopbackServer server;
  server.push(Reply::with_status(401));
  http::Client client;
  auto factory = factory_for(RequestVariant::JsonDocument, server.url("/"));
  ConfiguredCredential basic{ConfiguredCredential::Basic{"alice", ""}};
  log::ScopedCapture capture;
  ASSERT_TRUE(send_with_auth_fallback(basic, factory(client), factory));
  EXPECT_EQ(server.requests().at(1).header("Authorization"), "Basic YWxpY2U6");
  EXPECT_EQ(messages(capture).at(3), "GET (basic auth) `" + server.url("/") + "`");
}

TEST(AuthSenders, TokenWithLineFeedFailsToBuildAfterTheFirstRequest) {
  LoopbackServer server;
  server.push(Reply::with_status(401));
  http::Client client;
  auto factory = factory_for(RequestVariant::JsonDocument, server.url("/"));
  auto response = send_with_auth_fallback(bearer("bad\nsecretvalue"), factory(client), factory);
  ASSERT_FALSE(response);
  EXPECT_TRUE(response.error().holds<http::HttpError::InvalidHeader>());
  EXPECT_EQ(response.error().message().find("secretvalue"), std::string::npos);
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(AuthSenders, RefusedConnectionEndsAfterTheRequestLine) {
  std::string url;
  {
    LoopbackServer gone;
    url = gone.url("/v.json");
  }
  http::Client client;
  auto factory = factory_for(RequestVariant::JsonDocument, url);
  log::ScopedCapture capture;
  auto response = send_with_auth_fallback(bearer(), factory(client), factory);
  ASSERT_FALSE(response);
  EXPECT_TRUE(response.error().holds<http::HttpError::Connect>());
  EXPECT_EQ(messages(capture), std::vector<std::string>{"GET (no auth) `" + url + "`"});
}

TEST(AuthSenders, ResponseLineNamesTheFinalUrlAndCredentialStaysOnItsPort) {
  LoopbackServer first, second;
  first.push(Reply::redirect(302, second.url("/moved")));
  second.push(Reply::ok("{}").header("Content-Type", "application/json"));
  http::Client client;
  auto factory = factory_for(RequestVariant::JsonDocument, first.url("/v.json"));
  log::ScopedCapture capture;
  auto response = send_with_bearer(factory(client), kToken, factory);
  ASSERT_TRUE(response);
  EXPECT_EQ(first.requests().at(0).header("Authorization"), "Bearer " + kToken);
  EXPECT_EQ(second.requests().at(0).header("Authorization"), std::nullopt);
  auto lines = messages(capture);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "GET (bearer auth) `" + first.url("/v.json") + "`");
  EXPECT_EQ(lines[1], "response to (bearer auth) `" + second.url("/moved") +
                          "`: status 200 OK, content type Some(\"application/json\")");
}

}  // namespace
}  // namespace kestro::auth
