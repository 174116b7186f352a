// The loopback server itself: what it does with requests no client under
// test would send, so that a test feeding it raw bytes cannot crash or hang
// the test runner.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "support/loopback_server.hpp"

namespace kestro::testing {
namespace {

// Sends `request` on a fresh connection, ends the sending side, and returns
// everything the server writes until it closes; gives up (returning what
// came) after two seconds without a byte, so that a server waiting forever
// fails the test instead of hanging it.
std::string send_raw(const LoopbackServer& server, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "(no socket)";
  timeval timeout{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(server.port());
  std::string out;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    ::shutdown(fd, SHUT_WR);
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

TEST(LoopbackServer, RefusesAMalformedContentLength) {
  const char* cases[] = {
      "abc",                      // not a number
      "",                         // empty
      "-1",                       // a sign (strtoul would wrap it to the largest value)
      "12abc",                    // trailing garbage
      "1 2",                      // two numbers
      "99999999999999999999999",  // past any integer
      "1099511627776",            // a terabyte: a body never to come
  };
  LoopbackServer server;
  for (const char* value : cases) {
    const std::string reply =
        send_raw(server, std::string("POST /x HTTP/1.1\r\nHost: h\r\nContent-Length: ") + value + "\r\n\r\nbody");
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 400 ")) << "`" << value << "`: " << reply;
    // The server is still there and answers a well-formed request.
    EXPECT_TRUE(send_raw(server, "GET /ok HTTP/1.1\r\nHost: h\r\n\r\n").starts_with("HTTP/1.1 200 "))
        << value;
  }
  // Only the well-formed requests were recorded.
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), std::size(cases));
  for (const auto& r : requests) EXPECT_EQ(r.target, "/ok");
}

TEST(LoopbackServer, ReadsTheDeclaredBody) {
  LoopbackServer server;
  const std::string reply =
      send_raw(server, "POST /x HTTP/1.1\r\nHost: h\r\ncontent-length:  4 \r\n\r\nbody");
  EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 ")) << reply;
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, "body");
}

}  // namespace
}  // namespace kestro::testing
