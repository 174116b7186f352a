#include "kestro/auth/index_argument.hpp"

#include "kestro/auth/scope.hpp"

namespace kestro::auth {

std::expected<AuthIndexArgument, AuthCommandError> parse_auth_index_url(std::string_view text) {
  auto location = parse_index_location(text);
  if (!location) {
    if (location.error().holds<IndexLocationError::UnsupportedScheme>())
      return std::unexpected(AuthCommandError::NotHttpIndex{std::string(text)});
    return std::unexpected(AuthCommandError::InvalidIndexUrl{location.error().message()});
  }
  AuthIndexArgument argument{display_index_location(*location), credential_scope_url(*location), std::move(*location)};
  return argument;
}

}  // namespace kestro::auth
