// The HTTP resolver's answer and its candidate sequence.
#include "kestro/resolve/http_resolver.hpp"

#include <fmt/format.h>

#include "kestro/resolve/http_candidates.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::resolve {

namespace {

// The projects at the candidate URLs, in their order, each made only when
// pulled: a source tree, then an archive (downloaded on first use).
class HttpProjectCandidates : public ItemSequence<HttpProject> {
 public:
  HttpProjectCandidates(url::Url url, http::Client client, AuthPolicy auth_policy, bool allow_slash_rewrite)
      : urls_(std::move(url), allow_slash_rewrite), client_(std::move(client)), auth_policy_(std::move(auth_policy)) {}

  std::optional<HttpProject> next() override {
    auto candidate = urls_.next_candidate();
    if (!candidate) return std::nullopt;
    if (candidate->kind == HttpCandidateUrl::Kind::SourceTree)
      return HttpProject(
          HttpProject::Src{RemoteSrcProject(std::move(candidate->url), std::nullopt, client_, auth_policy_)});
    // The text of a URL already parsed always parses again.
    auto kpar = RemoteKparProject::create(candidate->url.href(), client_, auth_policy_);
    if (!kpar) internal_error("internal IO error");
    return HttpProject(HttpProject::Kpar{std::make_unique<const RemoteKparProject>(std::move(*kpar))});
  }

 private:
  HttpCandidates urls_;
  http::Client client_;
  AuthPolicy auth_policy_;
};

}  // namespace

std::expected<ResolutionOutcome<HttpProject>, HttpProjectError> HttpResolver::resolve(const UsageInContext& usage) {
  using Outcome = ResolutionOutcome<HttpProject>;
  const auto* resource = std::get_if<ResourceUsageG<iri::Iri, semver::VersionReq>>(&usage.usage);
  if (!resource) return Outcome{Outcome::UnsupportedUsageType{"not a url/resource usage"}};
  const std::string scheme = ascii_lowercase(resource->resource.scheme());
  if (scheme != "http" && scheme != "https") return Outcome{Outcome::UnsupportedUsageType{"not an http(s) URL"}};
  auto url = url::Url::parse(resource->resource.as_str());
  if (!url) return Outcome{Outcome::Unresolvable{fmt::format("invalid http(s) URL: {}", url.error().message())}};
  return Outcome{Outcome::Resolved{
      std::make_unique<HttpProjectCandidates>(std::move(*url), client_, auth_policy_, allow_slash_rewrite_)}};
}

CombinedProject wrap_http_candidate(HttpProject candidate) {
  return CombinedProject(CombinedProject::RemoteProject{remote_candidate(std::move(candidate))});
}

}  // namespace kestro::resolve
