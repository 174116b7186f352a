// The index named to an account command: its location, the canonical text
// a login is stored under, and the scope the login applies to.
#pragma once

#include "kestro/auth/namespace.hpp"

#include <expected>
#include <string>
#include <string_view>

#include "kestro/auth/auth_command_error.hpp"
#include "kestro/index/index_location.hpp"

namespace kestro::auth {

struct AuthIndexArgument {
  // A base URL's serialisation; a template rebuilt as prefix, placeholder,
  // suffix.
  std::string canonical;
  std::string scope;
  IndexLocation location;
};

// Only http(s) index locations: another scheme gives `NotHttpIndex` with the
// text unchanged, any other parse failure `InvalidIndexUrl` with the
// location parser's message. No I/O.
std::expected<AuthIndexArgument, AuthCommandError> parse_auth_index_url(std::string_view text);

}  // namespace kestro::auth
