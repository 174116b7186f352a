// The senders through which every authenticated read goes: each attaches one
// credential (or none) to one request, sends it and logs what was sent and
// what came back (method, URL, status and content type; never a secret).
// Every answer is returned whatever its status; only a request that could
// not be built or sent is an error.
#pragma once

#include <expected>
#include <string_view>

#include "kestro/auth/credential.hpp"
#include "kestro/http/client.hpp"
#include "kestro/http/status.hpp"

namespace kestro::auth {

// The kinds of read, each with its fixed method and `Accept` value.
enum class RequestVariant {
  JsonDocument,    // GET, index documents and project records
  KparArchive,     // GET, archive downloads
  SourceFile,      // GET, single files of a remote source tree
  ExistenceProbe,  // HEAD, the resolver's probes
};
http::Method variant_method(RequestVariant variant);
std::string_view variant_accept(RequestVariant variant);

// Makes the request of one read afresh for every attempt: the variant's
// method, a copy of the URL, and the variant's `Accept` header alone.
struct RequestFactory {
  RequestVariant variant;
  url::Url url;
  http::PreparedRequest operator()(const http::Client& client) const;
};

using http::is_client_error;

using SendResult = std::expected<http::Response, http::HttpError>;

// The request unchanged.
SendResult send_unauthenticated(http::PreparedRequest request, const RequestFactory& factory);
// With "Authorization: Bearer {token}", marked sensitive.
SendResult send_with_bearer(http::PreparedRequest request, std::string_view token, const RequestFactory& factory);
// With "Authorization: Basic {base64(user:password)}", marked sensitive.
SendResult send_with_basic(http::PreparedRequest request, std::string_view user, std::string_view password,
                           const RequestFactory& factory);
// By the credential's kind; the label is not used.
SendResult send_with_configured_credential(const ConfiguredCredential& credential, http::PreparedRequest request,
                                           const RequestFactory& factory);
// Unauthenticated first; only after a client error (400..499) other than
// 429, a fresh request from the factory with the credential.
SendResult send_with_auth_fallback(const ConfiguredCredential& credential, http::PreparedRequest request,
                                   const RequestFactory& factory);

// Standard Base64 (RFC 4648 alphabet, `=` fill).
std::string base64_encode(std::string_view bytes);

}  // namespace kestro::auth
