// The texts of a failed discovery of an index's endpoints.
#include "kestro/remote/fetch_error.hpp"

#include <fmt/format.h>

namespace kestro::remote {

std::string DiscoveryError::text_of(const RelativeUrl& v) {
  return fmt::format("discovery document at `{}` supplied a relative URL `{}` for `{}`;\nabsolute HTTP(S) URLs are required",
                     v.url, v.value, v.field);
}
std::string DiscoveryError::text_of(const InvalidUrl& v) {
  return fmt::format("discovery document at `{}` supplied an invalid URL `{}` for `{}`:\n{}", v.url, v.value, v.field,
                     v.source.message());
}
std::string DiscoveryError::text_of(const UnsupportedScheme& v) {
  return fmt::format(
      "discovery document at `{}` supplied a non-HTTP(S) URL `{}` for `{}`;\nonly `http` and `https` are supported",
      v.url, v.value, v.field);
}
std::string DiscoveryError::text_of(const Userinfo& v) {
  return fmt::format(
      "discovery document at `{}` supplied URL userinfo in `{}` for `{}`;\nusername and password are not allowed", v.url,
      v.value, v.field);
}
std::string DiscoveryError::text_of(const InvalidLocation& v) {
  return fmt::format("discovery document at `{}` supplied an invalid `{}`", v.url, v.field);
}

}  // namespace kestro::remote
