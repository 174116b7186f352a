// Discovery of an index's endpoints and the shared JSON GET of index files.
#include "kestro/remote/discovery.hpp"

#include "kestro/utils/log.hpp"

namespace kestro::remote {

std::expected<std::optional<std::string>, FetchJsonError> read_json_answer(auth::SendResult result,
                                                                           const url::Url& url, FetchMode mode) {
  using Fail = std::unexpected<FetchJsonError>;
  if (!result) return Fail(FetchJsonError::Request{url.href(), make_error<http::HttpError>(std::move(result.error()))});
  std::uint16_t status = result->status();
  // The 404 test comes before the success test; the body is left unread.
  if (status == 404 && mode == FetchMode::AllowMissing) return std::optional<std::string>();
  if (status < 200 || status > 299) return Fail(FetchJsonError::BadHttpStatus{url.href(), status});
  auto body = result->read_body(kJsonBodyLimit);
  if (!body) return Fail(FetchJsonError::Body{url.href(), make_error<http::HttpError>(std::move(body.error()))});
  return std::optional<std::string>(std::move(*body));
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
  auto body = read_json_answer(std::move(result), document_url, mode);
  if (!body) return Fail(DiscoveryError::Fetch{std::move(body.error())});
  if (!*body) {
    IndexEndpoints endpoints{std::move(location), std::nullopt};
    log_endpoints(endpoints);
    return endpoints;
  }
  auto raw = model::parse_index_config(**body);
  if (!raw) return Fail(DiscoveryError::Fetch{FetchJsonError::JsonParse{document_url.href(), std::move(raw.error())}});
  return resolve_index_endpoints(std::move(*raw), document_url, std::move(location));
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
