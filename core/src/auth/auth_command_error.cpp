#include "kestro/auth/auth_command_error.hpp"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kestro/auth/challenge.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::auth {
namespace {

using E = AuthCommandError;

std::string describe_rejection(const ProbeRejection& r) {
  return r.surface == ProbeSurface::Read ? fmt::format("the index read surface (`index.json`, HTTP {})", r.status)
                                         : fmt::format("the index API (`v1/whoami`, HTTP {})", r.status);
}

}  // namespace

std::string_view probe_surface_file(ProbeSurface surface) {
  return surface == ProbeSurface::Read ? "index.json" : "v1/whoami";
}

std::string E::text_of(const NoStoredCredential& v) { return fmt::format("no stored credential for `{}`", v.index); }

std::string E::text_of(const NotHttpIndex& v) {
  return fmt::format("`{}`: not an HTTP(S) index; nothing to authenticate to\n(use an https:// index URL)", v.url);
}

std::string E::text_of(const InvalidIndexUrl& v) {
  return fmt::format("invalid index URL for credential storage: {}", v.message);
}

std::string E::text_of(const ValidationRejected& v) {
  std::string text;
  if (v.rejected.size() == 1) {
    const ProbeRejection& r = v.rejected.front();
    const bool missing = r.surface == ProbeSurface::Read && r.status == 404;
    text = fmt::format("the index rejected the token for `{}`\n(`{}` answered HTTP {}){}; nothing was stored", v.index,
                       probe_surface_file(r.surface), r.status, missing ? ", or no index exists at this URL" : "");
  } else {
    std::vector<std::string> parts;
    for (const ProbeRejection& r : v.rejected) parts.push_back(describe_rejection(r));
    text = fmt::format("credential for `{}` was rejected by {} and accepted by no surface;\nnothing was stored", v.index,
                       fmt::join(parts, " and "));
  }
  if (challenges_include_basic(v.challenge_schemes))
    text +=
        "\nthis index uses username/password (HTTP basic) authentication; configure\n"
        "`KESTRO_CRED_<X>_BASIC_USER` / `KESTRO_CRED_<X>_BASIC_PASS` environment\nvariables instead";
  if (auto unsupported = describe_unsupported_challenge(v.challenge_schemes)) text += "\n" + *unsupported;
  return text;
}

std::string E::text_of(const WhoamiDiscoveryFailed& v) {
  return fmt::format("could not read the index configuration for `{}` ({}); cannot resolve its API", v.index, v.error);
}

std::string E::text_of(const NoAdvertisedApi& v) {
  return fmt::format(
      "index `{}` does not advertise an API (`api_root`) in its\ndiscovery configuration, so there is no identity "
      "endpoint to ask\n(a private index may also hide its configuration from clients it\ncannot authenticate)",
      v.index);
}

std::string E::text_of(const AmbiguousWhoamiCredential& v) {
  return fmt::format("multiple credentials from {} match `{}`:\n{};\nrefine the patterns so exactly one matches",
                     v.source_name, v.url, fmt::join(v.candidates, ", "));
}

std::string E::text_of(const NoWhoamiCredential& v) { return fmt::format("no credential matches `{}`", v.url); }

std::string E::debug_of(const NoStoredCredential& v) {
  return fmt::format("NoStoredCredential {{ index: {} }}", debug_quote(v.index));
}
std::string E::debug_of(const NotHttpIndex& v) { return fmt::format("NotHttpIndex {{ url: {} }}", debug_quote(v.url)); }
std::string E::debug_of(const InvalidIndexUrl& v) { return fmt::format("InvalidIndexUrl({})", debug_quote(v.message)); }
std::string E::debug_of(const ValidationRejected& v) {
  std::vector<std::string> rejected;
  for (const ProbeRejection& r : v.rejected)
    rejected.push_back(fmt::format("({}, {})", r.surface == ProbeSurface::Read ? "Read" : "Api", r.status));
  return fmt::format("ValidationRejected {{ index: {}, rejected: [{}], challenge_schemes: {} }}", debug_quote(v.index),
                     fmt::join(rejected, ", "), debug_list(v.challenge_schemes));
}
std::string E::debug_of(const WhoamiDiscoveryFailed& v) {
  return fmt::format("WhoamiDiscoveryFailed {{ index: {}, error: {} }}", debug_quote(v.index), debug_quote(v.error));
}
std::string E::debug_of(const NoAdvertisedApi& v) {
  return fmt::format("NoAdvertisedApi {{ index: {} }}", debug_quote(v.index));
}
std::string E::debug_of(const AmbiguousWhoamiCredential& v) {
  return fmt::format("AmbiguousWhoamiCredential {{ url: {}, source_name: {}, candidates: {} }}", debug_quote(v.url),
                     debug_quote(v.source_name), debug_list(v.candidates));
}
std::string E::debug_of(const NoWhoamiCredential& v) {
  return fmt::format("NoWhoamiCredential {{ url: {}, index: {} }}", debug_quote(v.url), debug_quote(v.index));
}

}  // namespace kestro::auth
