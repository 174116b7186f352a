// The credentials a user configures for URLs: HTTP basic authentication or a
// bearer token, each tied to a URL glob.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "kestro/auth/url_glob.hpp"

namespace kestro::auth {

struct ConfiguredCredential {
  struct Basic {
    std::string user;
    std::string password;
  };
  // The label names where the token came from (an environment label, or
  // "python"), for messages; it is never sent.
  struct Bearer {
    std::string token;
    std::string label;
  };
  std::variant<Basic, Bearer> kind;
};

// Appends a copy of the pattern and the credential.
void push_credential(UrlGlobMapBuilder<ConfiguredCredential>& builder, std::string_view pattern,
                     ConfiguredCredential credential);

}  // namespace kestro::auth
