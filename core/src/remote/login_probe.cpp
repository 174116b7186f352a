#include "kestro/remote/login_probe.hpp"

#include <algorithm>
#include <chrono>
#include <span>

#include <fmt/format.h>

#include "kestro/auth/challenge.hpp"
#include "kestro/auth/scope.hpp"
#include "kestro/utils/ascii.hpp"
#include "kestro/utils/http_status.hpp"

namespace kestro::remote {
namespace {

using Event = LoginProbeEvent;

constexpr std::chrono::seconds kProbeTimeout{30};
// A whoami answer is a few hundred bytes; anything past this is not one.
constexpr std::size_t kWhoamiBodyLimit = 1 << 20;

std::string unexpected_status(std::uint16_t status) { return "unexpected status " + http_status_text(status); }
std::string no_probe_client(const ProbeClientError& error) {
  return "could not build the probe HTTP client: " + error.message();
}

// The scheme names of every `WWW-Authenticate` header of the answer.
void add_response_challenges(const http::Response& response, std::vector<std::string>& schemes) {
  for (const http::Header& h : response.headers())
    if (eq_ignore_ascii_case(h.name, "WWW-Authenticate")) add_challenge_schemes(h.value, schemes);
}

// The answer's verdict-free outcomes shared by both surfaces: a redirect or
// a rate limit is reported and ends the probe.
bool reported_without_verdict(ProbeSurface surface, const http::Response& response, const LoginProbeSink& sink) {
  if (is_redirect(response.status())) {
    sink({Event::Redirected{surface, location_header_text(response)}});
    return true;
  }
  if (response.status() == 429) {
    sink({Event::RateLimited{surface}});
    return true;
  }
  return false;
}

void probe_api(const http::Client& client, const url::Url& api_root, const std::string& token, ProbeResults& results,
               const LoginProbeSink& sink) {
  auto url = api_root.join("v1/whoami");
  if (!url) {
    sink({Event::CouldNotProbe{ProbeSurface::Api, "could not build the whoami URL: " + url.error().message()}});
    return;
  }
  auto response = send_probe_request(client, http::Method::Get, *url, &token);
  if (!response) {
    sink({Event::CouldNotProbe{ProbeSurface::Api, render_error_chain(response.error())}});
    return;
  }
  if (reported_without_verdict(ProbeSurface::Api, *response, sink)) return;
  const std::uint16_t status = response->status();
  if (status == 200) {
    results.accepted.push_back(ProbeSurface::Api);
    auto body = response->read_body(kWhoamiBodyLimit);
    results.whoami = parse_whoami_response(body);
  } else if (status == 401) {
    results.rejected.push_back({ProbeSurface::Api, status});
  } else {
    sink({Event::CouldNotProbe{ProbeSurface::Api, unexpected_status(status)}});
  }
}

CredentialSurface stored_surface(ProbeSurface s) {
  return CredentialSurface{s == ProbeSurface::Read ? CredentialSurface::Tag::Read : CredentialSurface::Tag::Api, {}};
}

CredentialRecord login_record(std::string key, std::vector<std::string> globs, std::string token,
                              const ProbeResults& results) {
  CredentialRecord record;
  record.key = std::move(key);
  record.globs = std::move(globs);
  record.secret = std::move(token);
  if (results.whoami) {
    record.expires_at = results.whoami->token.expires_at;
    record.subject = CredentialSubject{results.whoami->subject.type, results.whoami->subject.name};
    record.token_name = results.whoami->token.name;
    record.token_prefix = results.whoami->token.prefix;
  }
  for (ProbeSurface s : results.accepted) record.validated.push_back(stored_surface(s));
  return record;
}

std::vector<std::string> login_globs(const AuthIndexArgument& index, const std::optional<IndexEndpoints>& endpoints) {
  if (!endpoints) return credential_globs_for_index(index.scope);
  return credential_globs_for_index(index.scope, &endpoints->index_root,
                                    endpoints->api_root ? &*endpoints->api_root : nullptr);
}

// The unauthenticated discovery; a failure is reported and gives nothing.
std::optional<IndexEndpoints> discover_or_report(const http::Client& client, const IndexLocation& location,
                                                 bool require_document, const LoginProbeSink& sink) {
  auto endpoints = discover_index_endpoints_unauthenticated(client, location, require_document);
  if (endpoints) return std::move(*endpoints);
  sink({Event::IndexConfigUnreadable{render_error_chain(endpoints.error())}});
  return std::nullopt;
}

// Whether an unauthenticated discovery failure may be retried with the
// token: the document was refused with a client error other than 429.
bool refused_for_want_of_token(const DiscoveryError& error) {
  const auto* fetch = error.get_if<DiscoveryError::Fetch>();
  if (!fetch) return false;
  const auto* status = fetch->err.get_if<FetchJsonError::BadHttpStatus>();
  return status && is_client_error(status->status) && status->status != 429;
}

// The discovery document asked for with the token.
std::expected<IndexEndpoints, AuthenticatedDiscoveryError> authenticated_discovery(
    const IndexLocation& location, const std::string& token, const ProbeClientFactory& probe_client) {
  using E = AuthenticatedDiscoveryError;
  using Fail = std::unexpected<E>;
  auto client = probe_client();
  if (!client) return Fail(E::NoClient{std::move(client.error())});
  const url::Url url = index_file_url(location, kDiscoveryFile);
  std::string href = kestro::url::display_url(url);
  auto answer = auth::read_json_answer<model::IndexConfigRaw>(
      send_probe_request(*client, http::Method::Get, url, &token), [](std::uint16_t s) { return s == 200; },
      model::parse_index_config);
  if (!answer) return Fail(E::Read{fetch_json_error(std::move(answer.error()), url)});
  const std::uint16_t status = answer->response.status();
  if (status == 404) return IndexEndpoints{location, std::nullopt};
  if (is_redirect(status)) return Fail(E::Redirected{std::move(href), location_header_text(answer->response)});
  if (status == 429) return Fail(E::RateLimited{std::move(href)});
  if (status != 200) return Fail(E::BadStatus{std::move(href), status});
  auto endpoints = resolve_index_endpoints(std::move(*answer->document), url, location);
  if (!endpoints) return Fail(E::Endpoints{std::move(endpoints.error())});
  return std::move(*endpoints);
}

std::string backend_reason(const CredentialStoreError::BackendAbsent& absent, const CredentialStoreError& error) {
  return absent.source ? absent.source->message() : error.message();
}

}  // namespace

std::string AuthenticatedDiscoveryError::text_of(const NoClient& v) { return no_probe_client(v.err); }
std::string AuthenticatedDiscoveryError::text_of(const Redirected& v) {
  return fmt::format("the authenticated retry for `{}` was redirected to `{}`", v.url, v.location);
}
std::string AuthenticatedDiscoveryError::text_of(const RateLimited& v) {
  return fmt::format("the authenticated retry for `{}` was rate limited (HTTP 429)", v.url);
}
std::string AuthenticatedDiscoveryError::text_of(const BadStatus& v) {
  return fmt::format("the authenticated retry for `{}` returned status {}", v.url, http_status_text(v.status));
}

std::expected<http::Client, ProbeClientError> build_probe_http_client() {
  http::ClientOptions options;
  options.redirects = http::RedirectPolicy::Never;
  options.total_timeout = std::chrono::duration_cast<std::chrono::milliseconds>(kProbeTimeout);
  return http::Client(http::apply_client_defaults(std::move(options)));
}

std::expected<http::Response, http::HttpError> send_probe_request(const http::Client& client, http::Method method,
                                                                  const url::Url& url, const std::string* token) {
  http::PreparedRequest request = client.request(method, url);
  if (token) request.header("Authorization", "Bearer " + *token, true);
  return std::move(request).send();
}

std::string location_header_text(const http::Response& response) {
  auto location = response.header("Location");
  if (!location) return "(no Location header)";
  const bool printable = std::all_of(location->begin(), location->end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b == '\t' || (b >= 0x20 && b <= 0x7E);
  });
  return printable ? std::string(*location) : "(no Location header)";
}

void probe_surface(const http::Client& client, const url::Url& url, const std::string& token, ProbeResults& results,
                   const LoginProbeSink& sink) {
  constexpr ProbeSurface kRead = ProbeSurface::Read;
  auto open = send_probe_request(client, http::Method::Head, url, nullptr);
  if (!open) return sink({Event::CouldNotProbe{kRead, render_error_chain(open.error())}});
  if (reported_without_verdict(kRead, *open, sink)) return;
  if (is_success(open->status())) return;  // public: the token is not tried
  if (!is_client_error(open->status())) return sink({Event::CouldNotProbe{kRead, unexpected_status(open->status())}});
  std::vector<std::string> schemes;
  add_response_challenges(*open, schemes);

  auto with_token = send_probe_request(client, http::Method::Head, url, &token);
  if (!with_token) return sink({Event::CouldNotProbe{kRead, render_error_chain(with_token.error())}});
  if (reported_without_verdict(kRead, *with_token, sink)) return;
  const std::uint16_t status = with_token->status();
  if (is_success(status)) {
    results.accepted.push_back(kRead);
  } else if (is_client_error(status)) {
    results.rejected.push_back({kRead, status});
    add_response_challenges(*with_token, schemes);
    results.challenge_schemes = std::move(schemes);
  } else {
    sink({Event::CouldNotProbe{kRead, unexpected_status(status)}});
  }
}

std::optional<IndexEndpoints> discover_endpoints_for_login(const http::Client& discovery_client,
                                                          const IndexLocation& location, const std::string& token,
                                                          const LoginProbeSink& sink,
                                                          const ProbeClientFactory& probe_client) {
  auto endpoints = discover_index_endpoints_unauthenticated(discovery_client, location, true);
  if (endpoints) return std::move(*endpoints);
  if (!refused_for_want_of_token(endpoints.error())) {
    sink({Event::IndexConfigUnreadable{render_error_chain(endpoints.error())}});
    return std::nullopt;
  }
  auto retried = authenticated_discovery(location, token, probe_client);
  if (retried) return std::move(*retried);
  sink({Event::IndexConfigUnreadable{render_error_chain(retried.error())}});
  return std::nullopt;
}

std::expected<LoginOutcome, AuthCommandError> probe_and_store_login(const CredentialStore& store,
                                                                    const AuthIndexArgument& index, std::string token,
                                                                    const http::Client& discovery_client,
                                                                    const LoginProbeSink& sink,
                                                                    const ProbeClientFactory& probe_client) {
  using E = AuthCommandError;
  const std::string key = index.canonical;

  auto existing = read_credential_store(store);
  if (!existing) {
    const auto* absent = existing.error().get_if<CredentialStoreError::BackendAbsent>();
    if (!absent) return std::unexpected(E(E::Store{std::move(existing.error())}));
    // No secret store: only the unauthenticated discovery, for the globs.
    auto endpoints = discover_or_report(discovery_client, index.location, false, sink);
    return LoginOutcome{LoginOutcome::NotStored{key, login_globs(index, endpoints), backend_reason(*absent, existing.error())}};
  }
  const bool replacing =
      std::any_of(existing->begin(), existing->end(), [&](const CredentialRecord& r) { return r.key == key; });

  const std::optional<IndexEndpoints> endpoints =
      discover_endpoints_for_login(discovery_client, index.location, token, sink, probe_client);
  std::vector<std::string> globs = login_globs(index, endpoints);

  ProbeResults results;
  if (auto client = probe_client(); !client) {
    sink({Event::CouldNotProbe{ProbeSurface::Read, no_probe_client(client.error())}});
  } else {
    const url::Url read_url =
        endpoints ? index_json_url(endpoints->index_root) : index_file_url(index.location, "index.json");
    probe_surface(*client, read_url, token, results, sink);
    if (endpoints && endpoints->api_root) probe_api(*client, *endpoints->api_root, token, results, sink);
  }

  if (results.accepted.empty() && !results.rejected.empty())
    return std::unexpected(E(E::ValidationRejected{key, results.rejected, results.challenge_schemes}));
  if (!results.accepted.empty())
    for (const ProbeRejection& r : results.rejected)
      sink({Event::RejectedButStored{r.surface, r.status,
                                     r.surface == ProbeSurface::Read ? results.challenge_schemes
                                                                     : std::vector<std::string>{}}});
  if (replacing) sink({Event::ReplacingExisting{key}});

  CredentialRecord record = login_record(key, globs, std::move(token), results);
  auto written = update_credential_store(store, [&](CredentialBlob& blob) {
    auto same = std::find_if(blob.credentials.begin(), blob.credentials.end(),
                             [&](const CredentialRecord& r) { return r.key == key; });
    if (same != blob.credentials.end())
      *same = std::move(record);
    else
      blob.credentials.push_back(std::move(record));
    return true;
  });
  if (!written) {
    if (const auto* absent = written.error().get_if<CredentialStoreError::BackendAbsent>())
      return LoginOutcome{LoginOutcome::NotStored{key, std::move(globs), backend_reason(*absent, written.error())}};
    return std::unexpected(E(E::Store{std::move(written.error())}));
  }
  return LoginOutcome{LoginOutcome::Stored{key, std::move(globs), std::move(results.accepted)}};
}

}  // namespace kestro::remote
