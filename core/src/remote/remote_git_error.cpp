#include "kestro/remote/remote_git_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::remote {

std::string RemoteGitVariants::text_of(const Clone& v) {
  return fmt::format("git clone from `{}` failed: {}", v.url, v.git.message());
}
std::string RemoteGitVariants::text_of(const UrlParse& v) {
  return fmt::format("failed to parse git URL `{}`: {}", v.url, v.git.message());
}
std::string RemoteGitVariants::text_of(const Fetch& v) {
  return fmt::format("git fetch from `{}` failed: {}", v.url, v.git.message());
}
std::string RemoteGitVariants::text_of(const Checkout& v) {
  return fmt::format("git checkout in temporary directory `{}` failed: {}", display_path(v.dir), v.git.message());
}
std::string RemoteGitVariants::debug_of(const Clone& v) {
  return fmt::format("Clone({}, {})", debug_quote(v.url), v.git.debug());
}
std::string RemoteGitVariants::debug_of(const UrlParse& v) {
  return fmt::format("UrlParse({}, {})", debug_quote(v.url), v.git.debug());
}
std::string RemoteGitVariants::debug_of(const Fetch& v) {
  return fmt::format("Fetch({}, {})", debug_quote(v.url), v.git.debug());
}
std::string RemoteGitVariants::debug_of(const Checkout& v) {
  return fmt::format("Checkout({}, {})", debug_quote(display_path(v.dir)), v.git.debug());
}

}  // namespace kestro::remote
