// The resolver of usages that name a project by an http(s) IRI. It makes no
// request: it turns the IRI into a URL and hands back a lazy sequence of the
// candidates at that URL; whether anything is there is found out only when a
// candidate is read.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include "kestro/auth/policy.hpp"
#include "kestro/http/client.hpp"
#include "kestro/remote/http_project.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

class HttpResolver : public Resolver<HttpProject, HttpProjectError> {
 public:
  // `allow_slash_rewrite`: a URL whose path lacks a final "/" is also tried
  // as a source tree with one appended (and a URL whose path has one as an
  // archive without it).
  HttpResolver(http::Client client, AuthPolicy auth_policy, bool allow_slash_rewrite)
      : client_(std::move(client)), auth_policy_(std::move(auth_policy)), allow_slash_rewrite_(allow_slash_rewrite) {}

  // Answers at once and never fails: a usage of another kind or an IRI of
  // another scheme is UnsupportedUsageType, an http(s) IRI that is no URL
  // Unresolvable, anything else Resolved with a new candidate sequence over
  // the parsed URL: the source tree, then the archive, at the URLs that
  // HttpCandidates gives. The version constraint is not looked at.
  std::expected<ResolutionOutcome<HttpProject>, HttpProjectError> resolve(const UsageInContext& usage) override;

 private:
  http::Client client_;
  AuthPolicy auth_policy_;
  bool allow_slash_rewrite_;
};

// An HTTP candidate as the combined resolver's remote candidate; reads
// nothing.
CombinedProject wrap_http_candidate(HttpProject candidate);

}  // namespace kestro::resolve
