// Failures of the HTTP client: a request that could not be built, a server
// that could not be reached or did not answer in time, a body that broke off
// or grew past its limit. An HTTP status is never one of them. The texts
// name URLs (userinfo redacted) and header names, never header values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "kestro/utils/error_sum.hpp"

namespace kestro::http {

struct HttpErrorVariants {
  // A header name that is no HTTP token, or a value that cannot stand in a
  // header (a line feed, a carriage return, another control character).
  struct InvalidHeader {
    std::string name;
    friend bool operator==(const InvalidHeader&, const InvalidHeader&) = default;
  };
  // The client could not be set up (the library refused an option).
  struct Setup {
    std::string detail;
    friend bool operator==(const Setup&, const Setup&) = default;
  };
  // No connection: refused, unreachable, unknown host.
  struct Connect {
    std::string url;
    std::string detail;
    friend bool operator==(const Connect&, const Connect&) = default;
  };
  struct Timeout {
    std::string url;
    std::int64_t limit_ms;
    friend bool operator==(const Timeout&, const Timeout&) = default;
  };
  // No byte of the answer arrived for `limit_ms`.
  struct Stalled {
    std::string url;
    std::int64_t limit_ms;
    friend bool operator==(const Stalled&, const Stalled&) = default;
  };
  struct Tls {
    std::string url;
    std::string detail;
    friend bool operator==(const Tls&, const Tls&) = default;
  };
  // The exchange broke off or the answer was malformed.
  struct Transfer {
    std::string url;
    std::string detail;
    friend bool operator==(const Transfer&, const Transfer&) = default;
  };
  struct BodyTooLarge {
    std::string url;
    std::size_t limit;
    friend bool operator==(const BodyTooLarge&, const BodyTooLarge&) = default;
  };
  using Sum = std::variant<InvalidHeader, Setup, Connect, Timeout, Stalled, Tls, Transfer, BodyTooLarge>;
};

class HttpError : public ErrorSum<HttpError, HttpErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidHeader& v);
  static std::string text_of(const Setup& v);
  static std::string text_of(const Connect& v);
  static std::string text_of(const Timeout& v);
  static std::string text_of(const Stalled& v);
  static std::string text_of(const Tls& v);
  static std::string text_of(const Transfer& v);
  static std::string text_of(const BodyTooLarge& v);
  static std::string debug_of(const InvalidHeader& v);
  static std::string debug_of(const Setup& v);
  static std::string debug_of(const Connect& v);
  static std::string debug_of(const Timeout& v);
  static std::string debug_of(const Stalled& v);
  static std::string debug_of(const Tls& v);
  static std::string debug_of(const Transfer& v);
  static std::string debug_of(const BodyTooLarge& v);
};

}  // namespace kestro::http
