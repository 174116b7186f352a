// Logging in to an index: checking a bearer token against the index's two
// surfaces, the read surface (`index.json`, asked with HEAD) and the API
// (`v1/whoami`, asked with GET), and storing it as one login with the URL
// globs it applies to and the details the API reported.
//
// The token is refused only when some surface rejected it and none accepted
// it. A probe without a verdict (redirected, rate limited, unreachable, an
// unexpected status) neither accepts nor rejects; with no verdict at all the
// token is stored unvalidated. What the user should see arrives at the
// caller's sink as events, in the order they arise.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kestro/auth/auth_command_error.hpp"
#include "kestro/auth/index_argument.hpp"
#include "kestro/auth/whoami.hpp"
#include "kestro/credentials/credential_store.hpp"
#include "kestro/http/client.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/remote/discovery.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::remote {

// Log target of the login.
inline constexpr std::string_view kLoginTarget = "kestro_core::commands::auth";

// The verdicts of one login, in probe order.
struct ProbeResults {
  std::optional<WhoamiBody> whoami;
  std::vector<ProbeSurface> accepted;
  std::vector<ProbeRejection> rejected;
  // The read surface's challenge schemes, kept only when it rejected.
  std::vector<std::string> challenge_schemes;
};

struct LoginProbeEvent {
  // The store held a login under the same key; raised just before writing.
  struct ReplacingExisting { std::string key; };
  struct IndexConfigUnreadable { std::string text; };
  struct Redirected { ProbeSurface surface; std::string location; };
  struct CouldNotProbe { ProbeSurface surface; std::string text; };
  struct RateLimited { ProbeSurface surface; };
  // A surface rejected the token but another accepted it.
  struct RejectedButStored { ProbeSurface surface; std::uint16_t status; std::vector<std::string> challenge_schemes; };
  using Kind = std::variant<ReplacingExisting, IndexConfigUnreadable, Redirected, CouldNotProbe, RateLimited,
                            RejectedButStored>;
  Kind kind;
};
using LoginProbeSink = std::function<void(const LoginProbeEvent&)>;

struct LoginOutcome {
  struct Stored {
    std::string key;
    std::vector<std::string> globs;
    std::vector<ProbeSurface> validated;
  };
  // No secret-store backend: nothing was stored. `reason` is the backend's
  // own message.
  struct NotStored {
    std::string key;
    std::vector<std::string> globs;
    std::string reason;
  };
  std::variant<Stored, NotStored> kind;
};

// The probe client could not be made; the text is the reason alone.
struct ProbeClientVariants {
  struct Unavailable {
    std::string reason;
  };
  using Sum = std::variant<Unavailable>;
};
class ProbeClientError : public ErrorSum<ProbeClientError, ProbeClientVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Unavailable& v) { return v.reason; }
};

// The probe client: the common defaults, redirects never followed, 30 s for
// each request as a whole.
using ProbeClientFactory = std::function<std::expected<http::Client, ProbeClientError>()>;
std::expected<http::Client, ProbeClientError> build_probe_http_client();

// Why the discovery document asked for again with the token gave no
// endpoints; `url` is the document's address as shown. The event carries
// the rendered chain: the client's and the fetch's errors show their own
// text only, the endpoint check's error its whole chain.
struct AuthenticatedDiscoveryVariants {
  struct NoClient { ProbeClientError err; };
  struct Read { FetchJsonError err; };
  struct Redirected { std::string url; std::string location; };
  struct RateLimited { std::string url; };
  struct BadStatus { std::string url; std::uint16_t status; };
  struct Endpoints { DiscoveryError err; };
  using Sum = std::variant<NoClient, Read, Redirected, RateLimited, BadStatus, Endpoints>;
};
class AuthenticatedDiscoveryError : public ErrorSum<AuthenticatedDiscoveryError, AuthenticatedDiscoveryVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const NoClient& v);
  static std::string text_of(const Read& v) { return v.err.message(); }
  static std::string text_of(const Redirected& v);
  static std::string text_of(const RateLimited& v);
  static std::string text_of(const BadStatus& v);
  static std::string text_of(const Endpoints& v) { return v.err.message(); }
  static const Error* cause_of(const Endpoints& v) { return v.err.cause(); }
};

// Sends one probe request, with `Authorization: Bearer {token}` (sensitive)
// when a token is given.
std::expected<http::Response, http::HttpError> send_probe_request(const http::Client& client, http::Method method,
                                                                  const url::Url& url, const std::string* token);

// The `Location` header when every byte is a tab or from blank to `~`;
// otherwise "(no Location header)".
std::string location_header_text(const http::Response& response);

// Probes the read surface at `url`: without the token first, and with it
// only when that was refused with a client error.
void probe_surface(const http::Client& client, const url::Url& url, const std::string& token, ProbeResults& results,
                   const LoginProbeSink& sink);

// The endpoints for a login: the unauthenticated discovery first, a missing
// document counting as a failure; when that was refused with a client
// error other than 429, one GET of the document with the token through a
// probe client. Any failure is one `IndexConfigUnreadable` event and no
// endpoints.
std::optional<IndexEndpoints> discover_endpoints_for_login(
    const http::Client& discovery_client, const IndexLocation& location, const std::string& token,
    const LoginProbeSink& sink, const ProbeClientFactory& probe_client = build_probe_http_client);

// The login: reads the store (a store failure other than a missing backend
// ends it before any request), discovers the endpoints with
// `discovery_client`, probes, decides and writes the login, replacing one
// with the same key in place. Without a secret-store backend only the
// unauthenticated discovery runs: nothing is probed and the token is never
// sent. `probe_client` makes the client of the probes and of the
// authenticated discovery retry.
std::expected<LoginOutcome, AuthCommandError> probe_and_store_login(
    const CredentialStore& store, const AuthIndexArgument& index, std::string token,
    const http::Client& discovery_client, const LoginProbeSink& sink,
    const ProbeClientFactory& probe_client = build_probe_http_client);

}  // namespace kestro::remote
