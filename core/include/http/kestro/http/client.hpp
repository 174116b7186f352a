// The HTTP client of the package manager: the one place that talks to the
// network. A `Client` is a cheap, shared handle on one configuration and one
// pool of connections; requests are built as `PreparedRequest`s (the client
// and the request, or the error that building the request produced), sent
// synchronously, and answered with a `Response` whose head (status, final
// URL, headers) is known before its body is read. The body then comes as a
// stream of pieces, so an archive of any size passes through bounded memory.
//
// An HTTP status is never an error here: every answer is a response. Errors
// are failures to build a request, to reach the server, to finish within the
// time limit, or to read the whole body. A server that accepts no connection
// in time, or that stops sending for too long, is given up on; a slow answer
// that keeps moving is not.
//
// Headers marked sensitive (credentials) never appear in a log line or in an
// error text, nor does the password of a URL: URLs are shown with their
// userinfo redacted. A credential header is never forwarded to another host, port or
// scheme when a redirect is followed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestro/http/http_error.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::http {

enum class Method { Get, Head };
// "GET", "HEAD".
std::string_view method_name(Method method);

struct Header {
  std::string name;
  std::string value;
  // Kept out of every log line and error text.
  bool sensitive = false;
  friend bool operator==(const Header&, const Header&) = default;
};

enum class RedirectPolicy {
  Follow,  // up to `max_redirects` in a chain
  Never,   // a 3xx answer is handed back as the response
};

struct ClientOptions {
  RedirectPolicy redirects = RedirectPolicy::Follow;
  int max_redirects = 10;
  // The limit on one request as a whole, from sending it to the end of its
  // body; none when absent.
  std::optional<std::chrono::milliseconds> total_timeout;
  // The limit on establishing a connection.
  std::chrono::milliseconds connect_timeout{30'000};
  // The longest wait for the next byte of an answer (its head or its body)
  // while the caller waits for one; past it the request fails as stalled.
  std::chrono::milliseconds stall_timeout{60'000};
  // Sent with every request unless the request sets a header of that name.
  std::vector<Header> default_headers = {{"Accept", "*/*"}};
};

// The package manager's identity on every request: `User-Agent` set to
// "kestro/0.2.1" among the default headers, replacing an earlier one.
ClientOptions apply_client_defaults(ClientOptions options);

struct Request {
  Method method = Method::Get;
  url::Url url;
  std::vector<Header> headers;
};

class Client;
class Response;

// A request under construction together with the client that will send it,
// or the error that building the request produced (for example a header
// value with a line feed). Splitting gives both parts; joining puts them
// together again.
class PreparedRequest {
 public:
  PreparedRequest(Client client, std::expected<Request, HttpError> request);
  // Appends a header. A name that is no HTTP token, or a value with a
  // control character other than tab, turns the request into a build error
  // (which names the header, never its value).
  PreparedRequest& header(std::string name, std::string value, bool sensitive = false);
  std::pair<Client, std::expected<Request, HttpError>> split() &&;
  static PreparedRequest join(Client client, std::expected<Request, HttpError> request);
  // Sends the request; the build error if there is one.
  std::expected<Response, HttpError> send() &&;

 private:
  std::shared_ptr<const struct ClientState> state_;
  std::expected<Request, HttpError> request_;
};

// A shared, reference-counted client: copies share the configuration and the
// connection pool. Safe to use from several threads at once.
class Client {
 public:
  // A client with `options` as given; `apply_client_defaults` is the
  // caller's choice.
  explicit Client(ClientOptions options = apply_client_defaults({}));
  const ClientOptions& options() const;
  PreparedRequest request(Method method, url::Url url) const;
  PreparedRequest get(url::Url url) const { return request(Method::Get, std::move(url)); }
  PreparedRequest head(url::Url url) const { return request(Method::Head, std::move(url)); }
  // Whether two handles share one client.
  friend bool operator==(const Client& a, const Client& b) { return a.state_ == b.state_; }

 private:
  friend class PreparedRequest;
  explicit Client(std::shared_ptr<const ClientState> state) : state_(std::move(state)) {}
  std::shared_ptr<const ClientState> state_;
};

// One piece of a body: bytes (valid until the next call), or the end.
struct BodyPiece {
  std::string_view bytes;
  bool end = false;
};

class Response {
 public:
  Response(Response&&) noexcept;
  Response& operator=(Response&&) noexcept;
  ~Response();

  std::uint16_t status() const;
  // The URL of the answer, after any redirects that were followed.
  const url::Url& final_url() const;
  // The headers of the final answer, in the order received.
  const std::vector<Header>& headers() const;
  // The first header of that name (compared ignoring ASCII case).
  std::optional<std::string_view> header(std::string_view name) const;

  // The next piece of the body: bytes, or the end once the whole body has
  // arrived. A failure midway (a connection closed early, a body shorter
  // than its declared length, the time limit) is an error, never an end.
  std::expected<BodyPiece, HttpError> next_piece();
  // The whole body; a `BodyTooLarge` error once it passes `limit` bytes, or
  // before any is read when `Content-Length` declares more.
  std::expected<std::string, HttpError> read_body(std::size_t limit);

 private:
  friend class PreparedRequest;
  struct Transfer;
  explicit Response(std::unique_ptr<Transfer> transfer);
  std::unique_ptr<Transfer> t_;
};

}  // namespace kestro::http
