#include "kestro/auth/senders.hpp"

#include "kestro/utils/http_status.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::auth {

namespace {

constexpr std::string_view kTarget = "kestro_core::auth";

// `None`, or `Some("value")`.
std::string content_type_debug(const http::Response& response) {
  return debug_option(response.header("Content-Type"));
}

// Sends the request and logs it under `mode` ("no auth", "bearer auth", ...).
SendResult send_logged(http::PreparedRequest prepared, std::string_view mode) {
  auto [client, request] = std::move(prepared).split();
  if (!request) return std::unexpected(std::move(request.error()));
  log::debug(kTarget, "{} ({}) `{}`", http::method_name(request->method), mode,
             url::display_url(request->url));
  auto response = http::PreparedRequest::join(std::move(client), std::move(request)).send();
  if (!response) return response;
  if (log::enabled(log::Level::Debug, kTarget))
    log::debug(kTarget, "response to ({}) `{}`: status {}, content type {}", mode, url::display_url(response->final_url()),
               http_status_text(response->status()), content_type_debug(*response));
  return response;
}

}  // namespace

void push_credential(UrlGlobMapBuilder<ConfiguredCredential>& builder, std::string_view pattern,
                     ConfiguredCredential credential) {
  builder.push(pattern, std::move(credential));
}

http::Method variant_method(RequestVariant variant) {
  return variant == RequestVariant::ExistenceProbe ? http::Method::Head : http::Method::Get;
}

std::string_view variant_accept(RequestVariant variant) {
  switch (variant) {
    case RequestVariant::KparArchive: return "application/zip, application/octet-stream, application/vnd.github.raw";
    case RequestVariant::SourceFile: return "application/vnd.github.raw, text/plain, application/octet-stream";
    case RequestVariant::JsonDocument:
    case RequestVariant::ExistenceProbe: break;
  }
  return "application/vnd.github.raw, application/json, text/plain";
}

http::PreparedRequest RequestFactory::operator()(const http::Client& client) const {
  auto prepared = client.request(variant_method(variant), url);
  prepared.header("Accept", std::string(variant_accept(variant)));
  return prepared;
}

std::string base64_encode(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    auto n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
             static_cast<unsigned char>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kAlphabet[(n >> shift) & 63];
  }
  if (std::size_t rest = bytes.size() - i; rest > 0) {
    auto n = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

SendResult send_unauthenticated(http::PreparedRequest request, const RequestFactory&) {
  return send_logged(std::move(request), "no auth");
}

SendResult send_with_bearer(http::PreparedRequest request, std::string_view token, const RequestFactory&) {
  std::string value = "Bearer ";
  value += token;
  request.header("Authorization", std::move(value), true);
  return send_logged(std::move(request), "bearer auth");
}

SendResult send_with_basic(http::PreparedRequest request, std::string_view user, std::string_view password,
                           const RequestFactory&) {
  std::string pair(user);
  pair += ':';
  pair += password;
  request.header("Authorization", "Basic " + base64_encode(pair), true);
  return send_logged(std::move(request), "basic auth");
}

SendResult send_with_configured_credential(const ConfiguredCredential& credential, http::PreparedRequest request,
                                           const RequestFactory& factory) {
  if (const auto* basic = std::get_if<ConfiguredCredential::Basic>(&credential.kind))
    return send_with_basic(std::move(request), basic->user, basic->password, factory);
  return send_with_bearer(std::move(request), std::get<ConfiguredCredential::Bearer>(credential.kind).token, factory);
}

SendResult send_with_auth_fallback(const ConfiguredCredential& credential, http::PreparedRequest request,
                                   const RequestFactory& factory) {
  auto [client, built] = std::move(request).split();
  if (!built) return std::unexpected(std::move(built.error()));
  {
    auto first = send_unauthenticated(http::PreparedRequest::join(client, std::move(built)), factory);
    if (!first || !is_client_error(first->status()) || first->status() == 429) return first;
    log::debug(kTarget, "higher priority auth request returned status {}, trying lower",
               http_status_text(first->status()));
  }  // the first answer is dropped before the second request, so its connection serves that one
  return send_with_configured_credential(credential, factory(client), factory);
}

}  // namespace kestro::auth
