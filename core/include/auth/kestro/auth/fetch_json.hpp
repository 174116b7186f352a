// The one way a JSON document is read over the network: an answer from one
// of the senders, its status checked by the caller's rule, its body read
// whole up to a limit, decoded, and parsed. Index discovery, `versions.json`,
// index entries, source-tree records and the login's discovery all read
// through here, each turning a failure into an error of its own family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "kestro/auth/send_with_credentials.hpp"
#include "kestro/auth/senders.hpp"
#include "kestro/http/client.hpp"
#include "kestro/http/http_error.hpp"
#include "kestro/http/status.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::auth {

// The largest JSON document read into memory; a longer body fails with the
// client's `BodyTooLarge`.
inline constexpr std::size_t kJsonBodyLimit = std::size_t{64} << 20;

// How the body's bytes become text: as UTF-8, or by the character set the
// answer declares (a byte-order mark deciding).
enum class BodyCharset { Utf8, Declared };

// Why a JSON read gave no document.
struct JsonReadFailure {
  // No answer was obtained.
  struct Request { http::HttpError err; };
  // The body broke off, stalled, or passed the limit.
  struct Body { http::HttpError err; };
  // The body is no document of the expected type.
  struct Parse { json::JsonError err; };
  std::variant<Request, Body, Parse> kind;
};

// The answer, and its document when its status was accepted (its body then
// read); otherwise the body is left unread.
template <typename T>
struct JsonAnswer {
  http::Response response;
  std::optional<T> document;
};

// The body of `response` as text, read up to kJsonBodyLimit.
std::expected<std::string, http::HttpError> read_json_text(http::Response& response, BodyCharset charset);

// Reads the document of `sent` when `accept(status)` holds; `parse` maps
// text to `json::Result<T>`.
template <typename T, typename Accept, typename Parse>
std::expected<JsonAnswer<T>, JsonReadFailure> read_json_answer(SendResult sent, Accept accept, Parse&& parse,
                                                               BodyCharset charset = BodyCharset::Utf8) {
  using Fail = std::unexpected<JsonReadFailure>;
  if (!sent) return Fail(JsonReadFailure{JsonReadFailure::Request{std::move(sent.error())}});
  JsonAnswer<T> answer{std::move(*sent), std::nullopt};
  if (!accept(answer.response.status())) return answer;
  auto text = read_json_text(answer.response, charset);
  if (!text) return Fail(JsonReadFailure{JsonReadFailure::Body{std::move(text.error())}});
  json::Result<T> document = parse(std::string_view(*text));
  if (!document) return Fail(JsonReadFailure{JsonReadFailure::Parse{std::move(document.error())}});
  answer.document = std::move(*document);
  return answer;
}

// The authenticated GET of one JSON document (the `JsonDocument` read of
// `send_with_credentials`), its body read for a 2xx status.
template <typename T, typename Parse>
std::expected<JsonAnswer<T>, JsonReadFailure> fetch_json(const AuthPolicy& policy, const url::Url& url,
                                                         const http::Client& client, Parse&& parse,
                                                         BodyCharset charset = BodyCharset::Utf8) {
  return read_json_answer<T>(send_with_credentials(policy, RequestVariant::JsonDocument, url, client),
                             http::is_success, std::forward<Parse>(parse), charset);
}

}  // namespace kestro::auth
