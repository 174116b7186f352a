// Where an index serves its files and its API: the discovery document
// `kestro-index-config.json` at the index location, the rules that turn it
// into resolved endpoints, and the one GET of a JSON document that every
// reader of index files shares.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/auth/fetch_json.hpp"
#include "kestro/auth/policy.hpp"
#include "kestro/auth/send_with_credentials.hpp"
#include "kestro/http/client.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/model/index_documents.hpp"
#include "kestro/remote/fetch_error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::remote {

using auth::kJsonBodyLimit;

inline constexpr std::string_view kDiscoveryTarget = "kestro_core::env::discovery";
inline constexpr std::string_view kDiscoveryFile = "kestro-index-config.json";

// Whether a 404 means "no such document" (nothing) or a failure.
enum class FetchMode { AllowMissing, RequirePresent };

// A failed JSON read of `url` (shown with its userinfo redacted) as an index
// fetch error.
FetchJsonError fetch_json_error(auth::JsonReadFailure failure, const url::Url& url);

// The document of a 2xx answer to `sent`, parsed by `parse`; nothing for a
// 404 in AllowMissing, any other status a failure. `url` names the requested
// document in every error.
template <typename T, typename Parse>
std::expected<std::optional<T>, FetchJsonError> index_json_answer(auth::SendResult sent, const url::Url& url,
                                                                  Parse&& parse, FetchMode mode) {
  auto answer = auth::read_json_answer<T>(std::move(sent), http::is_success, std::forward<Parse>(parse));
  if (!answer) return std::unexpected(fetch_json_error(std::move(answer.error()), url));
  if (answer->document) return std::optional<T>(std::move(answer->document));
  const std::uint16_t status = answer->response.status();
  if (status == 404 && mode == FetchMode::AllowMissing) return std::optional<T>();
  return std::unexpected(FetchJsonError(FetchJsonError::BadHttpStatus{kestro::url::display_url(url), status}));
}

// The authenticated GET of one JSON document, parsed by `parse`.
template <typename T>
std::expected<std::optional<T>, FetchJsonError> fetch_index_json(const http::Client& client,
                                                                 const auth::AuthPolicy& policy, const url::Url& url,
                                                                 json::Result<T> (*parse)(std::string_view),
                                                                 FetchMode mode) {
  return index_json_answer<T>(auth::send_with_credentials(policy, auth::RequestVariant::JsonDocument, url, client), url,
                              parse, mode);
}

// The resolved endpoints of an index: the location its files are read from,
// and the base URL of its API (ending in `/`), absent for a read-only index.
struct IndexEndpoints {
  IndexLocation index_root;
  std::optional<url::Url> api_root;
  friend bool operator==(const IndexEndpoints&, const IndexEndpoints&) = default;
};

// The endpoints a parsed discovery document names; `location` is the index
// root when the document names none. Logs the endpoints at debug level.
std::expected<IndexEndpoints, DiscoveryError> resolve_index_endpoints(model::IndexConfigRaw raw,
                                                                      const url::Url& document_url,
                                                                      IndexLocation location);

// Fetches the document with credentials and resolves it; a 404 is a
// read-only index at `location`.
std::expected<IndexEndpoints, DiscoveryError> discover_index_endpoints(const http::Client& client,
                                                                       const auth::AuthPolicy& policy,
                                                                       const IndexLocation& location);

// The same without credentials; with `require_document` a 404 fails.
std::expected<IndexEndpoints, DiscoveryError> discover_index_endpoints_unauthenticated(
    const http::Client& client, const IndexLocation& location, bool require_document);

}  // namespace kestro::remote
