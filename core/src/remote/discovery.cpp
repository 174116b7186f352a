// Discovery of an index's endpoints and the shared JSON GET of index files.
#include "kestro/remote/discovery.hpp"

#include "kestro/utils/log.hpp"

namespace kestro::remote {

FetchJsonError fetch_json_error(auth::JsonReadFailure failure, const url::Url& url) {
  using R = auth::JsonReadFailure;
  std::string shown = kestro::url::display_url(url);
  return std::visit(
      [&](auto& v) -> FetchJsonError {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, R::Request>)
          return FetchJsonError::Request{std::move(shown), std::move(v.err)};
        else if constexpr (std::is_same_v<V, R::Body>)
          return FetchJsonError::Body{std::move(shown), std::move(v.err)};
        else
          return FetchJsonError::JsonParse{std::move(shown), std::move(v.err)};
      },
      failure.kind);
}

namespace {

using Fail = std::unexpected<DiscoveryError>;

void log_endpoints(const IndexEndpoints& endpoints) {
  if (!log::enabled(log::Level::Debug, kDiscoveryTarget)) return;
  std::string root = display_index_location(endpoints.index_root);
  if (endpoints.api_root)
    log::debug(kDiscoveryTarget, "resolved index endpoints: index_root `{}`, api_root `{}`", root,
               endpoints.api_root->href());
  else
    log::debug(kDiscoveryTarget, "resolved index endpoints: index_root `{}`, no api_root (read-only index)", root);
}

// Steps shared by both discoveries once the answer is in.
std::expected<IndexEndpoints, DiscoveryError> finish_discovery(auth::SendResult result, const url::Url& document_url,
                                                              IndexLocation location, FetchMode mode) {
  auto raw = index_json_answer<model::IndexConfigRaw>(std::move(result), document_url, model::parse_index_config, mode);
  if (!raw) return Fail(DiscoveryError::Fetch{std::move(raw.error())});
  if (!*raw) {
    IndexEndpoints endpoints{std::move(location), std::nullopt};
    log_endpoints(endpoints);
    return endpoints;
  }
  return resolve_index_endpoints(std::move(**raw), document_url, std::move(location));
}

}  // namespace

std::expected<IndexEndpoints, DiscoveryError> resolve_index_endpoints(model::IndexConfigRaw raw,
                                                                      const url::Url& document_url,
                                                                      IndexLocation location) {
  const std::string& doc = document_url.href();
  if (raw.index_root) {
    auto parsed = parse_index_location(*raw.index_root);
    if (!parsed) return Fail(DiscoveryError::InvalidLocation{doc, "index_root", std::move(parsed.error())});
    location = std::move(*parsed);
  }
  std::optional<url::Url> api_root;
  if (raw.api_root) {
    const std::string field = "api_root";
    auto parsed = url::Url::parse(*raw.api_root);
    if (!parsed) {
      if (parsed.error().is_relative_without_base())
        return Fail(DiscoveryError::RelativeUrl{doc, field, *raw.api_root});
      return Fail(DiscoveryError::InvalidUrl{doc, field, *raw.api_root, parsed.error()});
    }
    switch (check_http_url_userinfo(*parsed)) {
      case HttpUrlUserinfo::NotHttp: return Fail(DiscoveryError::UnsupportedScheme{doc, field, parsed->href()});
      case HttpUrlUserinfo::HasUserinfo: return Fail(DiscoveryError::Userinfo{doc, field, parsed->href()});
      case HttpUrlUserinfo::Plain: break;
    }
    parsed->ensure_trailing_slash();
    api_root = std::move(*parsed);
  }
  IndexEndpoints endpoints{std::move(location), std::move(api_root)};
  log_endpoints(endpoints);
  return endpoints;
}

std::expected<IndexEndpoints, DiscoveryError> discover_index_endpoints(const http::Client& client,
                                                                       const auth::AuthPolicy& policy,
                                                                       const IndexLocation& location) {
  url::Url document_url = index_file_url(location, kDiscoveryFile);
  return finish_discovery(auth::send_with_credentials(policy, auth::RequestVariant::JsonDocument, document_url, client),
                          document_url, location, FetchMode::AllowMissing);
}

std::expected<IndexEndpoints, DiscoveryError> discover_index_endpoints_unauthenticated(
    const http::Client& client, const IndexLocation& location, bool require_document) {
  url::Url document_url = index_file_url(location, kDiscoveryFile);
  auth::RequestFactory factory{auth::RequestVariant::JsonDocument, document_url};
  return finish_discovery(auth::send_unauthenticated(factory(client), factory), document_url, location,
                          require_document ? FetchMode::RequirePresent : FetchMode::AllowMissing);
}

}  // namespace kestro::remote
