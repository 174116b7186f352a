#include "kestro/auth/fetch_json.hpp"

#include "kestro/http/body_text.hpp"

namespace kestro::auth {

std::expected<std::string, http::HttpError> read_json_text(http::Response& response, BodyCharset charset) {
  auto body = response.read_body(kJsonBodyLimit);
  if (!body || charset == BodyCharset::Utf8) return body;
  return http::decode_body_text(std::move(*body), response.header("Content-Type"));
}

}  // namespace kestro::auth
