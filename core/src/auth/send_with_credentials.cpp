#include "kestro/auth/send_with_credentials.hpp"

#include "kestro/utils/log.hpp"

namespace kestro::auth {

namespace {

constexpr std::string_view kTarget = "kestro_core::auth";

bool ends_configured_phase(std::uint16_t status) { return !is_client_error(status) || status == 429; }

SendResult configured_phase(const AuthPolicy& policy, http::PreparedRequest prepared, const RequestFactory& factory) {
  auto [client, request] = std::move(prepared).split();
  if (!request) return std::unexpected(std::move(request.error()));
  const std::string url_text = request->url.href();
  prepared = http::PreparedRequest::join(client, std::move(request));
  auto lookup = glob_map_lookup(policy.configured(), url_text);
  if (std::holds_alternative<GlobLookup<ConfiguredCredential>::None>(lookup.result))
    return send_unauthenticated(std::move(prepared), factory);
  if (auto* one = std::get_if<GlobLookup<ConfiguredCredential>::One>(&lookup.result))
    return send_with_auth_fallback(*one->value, std::move(prepared), factory);

  const auto& matches = std::get<GlobLookup<ConfiguredCredential>::Many>(lookup.result).matches;
  std::string list;
  for (const auto& m : matches) list += "\n" + m.pattern;
  log::warn(kTarget, "URL {} matches multiple authentication URL globs: {}", url::redact_url_userinfo(url_text), list);
  auto first = send_with_auth_fallback(*matches[0].value, std::move(prepared), factory);
  if (!first || !is_client_error(first->status())) return first;
  for (std::size_t i = 1; i < matches.size(); ++i) {
    auto next = send_with_auth_fallback(*matches[i].value, factory(client), factory);
    if (!next || !is_client_error(next->status())) return next;
  }
  return first;
}

SendResult stored_phase(const AuthPolicy& policy, http::Response configured, const url::Url& url,
                        const http::Client& client, const RequestFactory& factory) {
  const StoredCredentials& stored = policy.load_stored_credentials_once();
  auto lookup = glob_map_lookup(stored, url.href());
  std::vector<const StoredCredential*> candidates;
  if (std::holds_alternative<GlobLookup<StoredCredential>::None>(lookup.result)) return configured;
  if (auto* one = std::get_if<GlobLookup<StoredCredential>::One>(&lookup.result)) {
    candidates.push_back(one->value);
  } else {
    // The globs of one login all match its URLs and carry one secret.
    for (const auto& m : std::get<GlobLookup<StoredCredential>::Many>(lookup.result).matches)
      if (std::none_of(candidates.begin(), candidates.end(),
                       [&](const StoredCredential* c) { return c->secret == m.value->secret; }))
        candidates.push_back(m.value);
  }
  if (candidates.size() == 1)
    log::debug(kTarget, "stored credential matches `{}`; retrying with forced bearer auth", url::display_url(url));
  else
    log::warn(kTarget, "URL {} matches multiple stored credentials; trying each in order", url::display_url(url));

  // The configured phase's answer is dropped before the stored attempts, so
  // its connection serves them.
  { http::Response discarded = std::move(configured); }
  std::optional<http::Response> first_rejected;
  for (const StoredCredential* candidate : candidates) {
    auto response = send_with_bearer(factory(client), candidate->secret, factory);
    if (!response || !is_client_error(response->status())) return response;
    warn_credential_maybe_expired(*candidate);
    if (!first_rejected) first_rejected = std::move(*response);
  }
  return std::move(*first_rejected);
}

}  // namespace

SendResult send_with_credentials(const AuthPolicy& policy, RequestVariant variant, const url::Url& url,
                                 const http::Client& client) {
  RequestFactory factory{variant, url};
  auto [c, request] = factory(client).split();
  if (!request) return std::unexpected(std::move(request.error()));
  url::Url saved = request->url;
  auto configured = configured_phase(policy, http::PreparedRequest::join(c, std::move(request)), factory);
  if (!configured || ends_configured_phase(configured->status())) return configured;
  return stored_phase(policy, std::move(*configured), saved, client, factory);
}

}  // namespace kestro::auth
