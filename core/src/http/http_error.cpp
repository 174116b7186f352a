#include "kestro/http/http_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::http {

std::string HttpError::text_of(const InvalidHeader& v) {
  return fmt::format("invalid request header `{}`: the name is no token or the value holds a control character",
                     v.name);
}
std::string HttpError::text_of(const Setup& v) { return fmt::format("could not set up the HTTP client: {}", v.detail); }
std::string HttpError::text_of(const Connect& v) {
  return fmt::format("could not connect for `{}`: {}", v.url, v.detail);
}
std::string HttpError::text_of(const Timeout& v) {
  return fmt::format("request to `{}` did not finish within {} ms", v.url, v.limit_ms);
}
std::string HttpError::text_of(const Stalled& v) {
  return fmt::format("the server at `{}` stopped sending: no data for {} ms", v.url, v.limit_ms);
}
std::string HttpError::text_of(const Tls& v) { return fmt::format("TLS failure for `{}`: {}", v.url, v.detail); }
std::string HttpError::text_of(const Transfer& v) {
  return fmt::format("error reading the answer from `{}`: {}", v.url, v.detail);
}
std::string HttpError::text_of(const BodyTooLarge& v) {
  return fmt::format("the body from `{}` is larger than {} bytes", v.url, v.limit);
}

std::string HttpError::debug_of(const InvalidHeader& v) {
  return fmt::format("InvalidHeader {{ name: {} }}", debug_quote(v.name));
}
std::string HttpError::debug_of(const Setup& v) { return fmt::format("Setup({})", debug_quote(v.detail)); }
std::string HttpError::debug_of(const Connect& v) {
  return fmt::format("Connect {{ url: {}, detail: {} }}", debug_quote(v.url), debug_quote(v.detail));
}
std::string HttpError::debug_of(const Timeout& v) {
  return fmt::format("Timeout {{ url: {}, limit_ms: {} }}", debug_quote(v.url), v.limit_ms);
}
std::string HttpError::debug_of(const Stalled& v) {
  return fmt::format("Stalled {{ url: {}, limit_ms: {} }}", debug_quote(v.url), v.limit_ms);
}
std::string HttpError::debug_of(const Tls& v) {
  return fmt::format("Tls {{ url: {}, detail: {} }}", debug_quote(v.url), debug_quote(v.detail));
}
std::string HttpError::debug_of(const Transfer& v) {
  return fmt::format("Transfer {{ url: {}, detail: {} }}", debug_quote(v.url), debug_quote(v.detail));
}
std::string HttpError::debug_of(const BodyTooLarge& v) {
  return fmt::format("BodyTooLarge {{ url: {}, limit: {} }}", debug_quote(v.url), v.limit);
}

}  // namespace kestro::http
