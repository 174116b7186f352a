// A scripted HTTP/1.1 server on 127.0.0.1 for tests of everything that sends
// requests. It binds an ephemeral port, accepts on a thread of its own and
// serves each connection on another (keep-alive is honoured), answers from a
// script, and records every request it reads.
//
//   LoopbackServer server;
//   server.push(Reply::with_status(401));
//   server.push(Reply::ok("{}").header("Content-Type", "application/json"));
//   ... send to server.url("/versions.json") ...
//   server.requests()[1].header("Authorization")  // "Bearer ..."
//
// Scripted replies are used in order, one per request; once the script is
// used up, the handler answers (by default 200 with an empty body). A reply
// may instead be raw bytes written as they are, and may end the connection
// early or be delayed, for tests of malformed and broken answers.
//
// A request whose `Content-Length` is not a plain decimal number, or declares
// a body past 256 MiB, is answered 400 and its connection closed; it is
// neither recorded nor given a scripted reply.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace kestro::testing {

struct RecordedRequest {
  std::string method;
  std::string target;  // the request target: path and query
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The first header of that name, ignoring ASCII case.
  std::optional<std::string> header(std::string_view name) const;
};

struct Reply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // Written before the answer.
  std::chrono::milliseconds delay{0};
  // Declares `Content-Length` (and keeps the connection) unless false: then
  // the body is ended by closing the connection.
  bool content_length = true;
  // When set, exactly these bytes are the answer (status, headers and body
  // are ignored), and the connection is closed after them.
  std::optional<std::string> raw;
  // When set, the body is what this returns, piece by piece, until it
  // returns nothing or the client goes away (`body` is ignored); a slow or a
  // stalled server sleeps inside it. No `Content-Length` is added, and the
  // connection is closed after the body.
  std::function<std::optional<std::string>()> pieces;

  static Reply ok(std::string body = {});
  static Reply with_status(int status, std::string body = {});
  // A 3xx answer with `Location`.
  static Reply redirect(int status, std::string location);
  static Reply raw_bytes(std::string bytes);
  // A 200 whose body comes from `pieces`.
  static Reply streamed(std::function<std::optional<std::string>()> pieces);
  Reply& header(std::string name, std::string value);
};

class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:{port}{path}".
  std::string url(std::string_view path = "/") const;

  // Appends to the script.
  void push(Reply reply);
  // Answers every request after the script.
  void set_handler(std::function<Reply(const RecordedRequest&)> handler);
  // Every request read so far, in order of arrival.
  std::vector<RecordedRequest> requests() const;
  // How many connections were accepted.
  std::size_t connections() const;

 private:
  void accept_loop();
  void serve(int fd);
  Reply answer_for(const RecordedRequest& request);

  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::deque<Reply> script_;
  std::function<Reply(const RecordedRequest&)> handler_;
  std::vector<RecordedRequest> requests_;
  std::vector<int> open_fds_;
  std::size_t connections_ = 0;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
  bool stopping_ = false;
};

}  // namespace kestro::testing
