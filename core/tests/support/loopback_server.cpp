#include "support/loopback_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "kestro/utils/ascii.hpp"

namespace kestro::testing {

namespace {

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The largest request body the server reads; a request declaring more is
// refused, since its body would only be waited for.
constexpr std::size_t kMaxRequestBody = 256u << 20;

// A `Content-Length` value: ASCII digits only, at most kMaxRequestBody;
// anything else is std::nullopt.
std::optional<std::size_t> parse_content_length(std::string_view text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n > kMaxRequestBody) return std::nullopt;
  return n;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_ascii_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (is_ascii_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [n, v] : headers)
    if (eq_ignore_ascii_case(n, name)) return v;
  return std::nullopt;
}

Reply Reply::ok(std::string body) { return with_status(200, std::move(body)); }
Reply Reply::with_status(int status, std::string body) {
  Reply r;
  r.status = status;
  r.body = std::move(body);
  return r;
}
Reply Reply::redirect(int status, std::string location) {
  Reply r = with_status(status);
  r.headers.emplace_back("Location", std::move(location));
  return r;
}
Reply Reply::raw_bytes(std::string bytes) {
  Reply r;
  r.raw = std::move(bytes);
  return r;
}
Reply Reply::streamed(std::function<std::optional<std::string>()> pieces) {
  Reply r;
  r.pieces = std::move(pieces);
  return r;
}
Reply& Reply::header(std::string name, std::string value) {
  headers.emplace_back(std::move(name), std::move(value));
  return *this;
}

LoopbackServer::LoopbackServer() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_fd_, 64) != 0)
    throw std::runtime_error("loopback server: cannot listen");
  socklen_t len = sizeof addr;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
  }
  ::shutdown(listen_fd_, SHUT_RDWR);
  acceptor_.join();
  ::close(listen_fd_);
  for (auto& w : workers_) w.join();
}

std::string LoopbackServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackServer::push(Reply reply) {
  std::lock_guard lock(mutex_);
  script_.push_back(std::move(reply));
}

void LoopbackServer::set_handler(std::function<Reply(const RecordedRequest&)> handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t LoopbackServer::connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

void LoopbackServer::accept_loop() {
  for (;;) {
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (fd < 0 || stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    ++connections_;
    open_fds_.push_back(fd);
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

Reply LoopbackServer::answer_for(const RecordedRequest& request) {
  std::function<Reply(const RecordedRequest&)> handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (!script_.empty()) {
      Reply r = std::move(script_.front());
      script_.pop_front();
      return r;
    }
    handler = handler_;
  }
  return handler ? handler(request) : Reply::ok();
}

void LoopbackServer::serve(int fd) {
  std::string buffer;
  char chunk[16384];
  for (bool keep = true; keep;) {
    // The head: up to the blank line.
    std::size_t end;
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
      ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        keep = false;
        break;
      }
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
    if (!keep) break;
    RecordedRequest req;
    std::string_view head(buffer.data(), end);
    std::size_t line_end = head.find("\r\n");
    std::string_view request_line = head.substr(0, line_end);
    std::size_t s1 = request_line.find(' ');
    std::size_t s2 = request_line.find(' ', s1 + 1);
    req.method = std::string(request_line.substr(0, s1));
    req.target = std::string(request_line.substr(s1 + 1, s2 - s1 - 1));
    std::size_t content_length = 0;
    bool malformed = false;
    for (std::size_t pos = line_end == std::string_view::npos ? head.size() : line_end + 2; pos < head.size();) {
      std::size_t next = head.find("\r\n", pos);
      if (next == std::string_view::npos) next = head.size();
      std::string_view line = head.substr(pos, next - pos);
      if (auto colon = line.find(':'); colon != std::string_view::npos) {
        req.headers.emplace_back(std::string(line.substr(0, colon)), std::string(trim(line.substr(colon + 1))));
        if (eq_ignore_ascii_case(req.headers.back().first, "Content-Length")) {
          auto n = parse_content_length(req.headers.back().second);
          if (n)
            content_length = *n;
          else
            malformed = true;
        }
      }
      pos = next + 2;
    }
    if (malformed) {
      // The body's end is unknown: refuse and close, as a server must.
      write_all(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      break;
    }
    buffer.erase(0, end + 4);
    while (buffer.size() < content_length) {
      ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
    req.body = buffer.substr(0, std::min(content_length, buffer.size()));
    buffer.erase(0, req.body.size());

    Reply reply = answer_for(req);
    if (reply.delay.count() > 0) std::this_thread::sleep_for(reply.delay);
    if (reply.raw) {
      write_all(fd, *reply.raw);
      break;
    }
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " Scripted\r\n";
    for (const auto& [n, v] : reply.headers) out += n + ": " + v + "\r\n";
    if (reply.pieces) {
      bool sent = write_all(fd, out + "Connection: close\r\n\r\n");
      while (sent)
        if (auto piece = reply.pieces())
          sent = write_all(fd, *piece);
        else
          break;
      break;
    }
    if (reply.content_length)
      out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    else
      out += "Connection: close\r\n";
    out += "\r\n";
    if (req.method != "HEAD") out += reply.body;
    if (!write_all(fd, out) || !reply.content_length) break;
  }
  ::shutdown(fd, SHUT_WR);
  std::lock_guard lock(mutex_);
  std::erase(open_fds_, fd);
  ::close(fd);
}

}  // namespace kestro::testing
