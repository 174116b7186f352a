// Sends requests to the loopback server through the authenticated read
// (a policy with several configured globs, one of which matches, and stored
// logins) and through the plain client with no policy, and prints both rates.
// The server answers 200 to a bearer token and 401 without one, so every
// authenticated read makes two requests: one unauthenticated, one with the
// credential. Usage: bench_auth_http [count]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <fmt/format.h>

#include "kestro/auth/send_with_credentials.hpp"
#include "support/loopback_server.hpp"

using namespace kestro;

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000;
  testing::LoopbackServer server;
  server.set_handler([](const testing::RecordedRequest& r) {
    return r.header("Authorization") ? testing::Reply::ok("{\"versions\":[]}") : testing::Reply::with_status(401);
  });
  auth::UrlGlobMapBuilder<auth::ConfiguredCredential> builder;
  for (int i = 0; i < 20; ++i)
    auth::push_credential(builder, fmt::format("https://other{}.example/**", i),
                          {auth::ConfiguredCredential::Bearer{"t", "x"}});
  auth::push_credential(builder, server.url("/**"), {auth::ConfiguredCredential::Bearer{"tok", "bench"}});
  std::vector<auth::StoredLogin> logins = {{"k", {server.url("/**")}, "stored", std::nullopt}};
  auth::AuthPolicy policy(*auth::build_url_glob_map(std::move(builder)),
                          [&] { return auth::compile_stored_credentials(logins); });
  http::Client client;
  const url::Url url = *url::Url::parse(server.url("/index/versions.json"));

  auto run = [&](auto&& send) {
    auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < count; ++i) {
      auto response = send();
      if (!response || response->status() != 200 || !response->read_body(1024)) {
        std::fprintf(stderr, "request %zu failed\n", i);
        std::exit(1);
      }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  double with_policy =
      run([&] { return auth::send_with_credentials(policy, auth::RequestVariant::JsonDocument, url, client); });
  double plain = run([&] {
    auto prepared = client.get(url);
    prepared.header("Authorization", "Bearer tok", true);
    return std::move(prepared).send();
  });
  fmt::print("send_with_credentials: {} reads in {:.3f} s, {:.0f} reads/s ({} requests on {} connections)\n", count,
             with_policy, count / with_policy, server.requests().size() - count, server.connections());
  fmt::print("plain client, no policy: {} requests in {:.3f} s, {:.0f} requests/s\n", count, plain, count / plain);
  fmt::print("ratio (plain / authenticated): {:.2f}\n", with_policy / plain);
}
