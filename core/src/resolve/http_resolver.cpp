// The HTTP resolver's answer and its candidate sequence.
#include "kestro/resolve/http_resolver.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::resolve {

namespace {

// At most one candidate of each kind, made when pulled, in this order: the
// source tree, then the archive (once that kind joins).
class HttpCandidates : public ItemSequence<HttpProject> {
 public:
  HttpCandidates(url::Url url, http::Client client, AuthPolicy auth_policy, bool allow_slash_rewrite)
      : url_(std::move(url)),
        client_(std::move(client)),
        auth_policy_(std::move(auth_policy)),
        allow_slash_rewrite_(allow_slash_rewrite) {}

  std::optional<HttpProject> next() override {
    if (!source_tree_taken_) {
      source_tree_taken_ = true;
      if (auto base = source_tree_base(url_, allow_slash_rewrite_))
        return HttpProject(HttpProject::Src{RemoteSrcProject(std::move(*base), std::nullopt, client_, auth_policy_)});
    }
    return std::nullopt;
  }

 private:
  url::Url url_;
  http::Client client_;
  AuthPolicy auth_policy_;
  bool allow_slash_rewrite_;
  bool source_tree_taken_ = false;
};

}  // namespace

std::optional<url::Url> source_tree_base(const url::Url& url, bool allow_slash_rewrite) {
  std::string_view path = url.path();
  if (path.empty() || path.ends_with('/')) return url;
  if (!allow_slash_rewrite) return std::nullopt;
  // Appending to the path keeps the query and drops nothing else.
  const std::size_t path_end = static_cast<std::size_t>(path.data() - url.href().data()) + path.size();
  const std::string_view href = url.href();
  auto rewritten = url::Url::parse(std::string(href.substr(0, path_end)) + "/" + std::string(href.substr(path_end)));
  if (!rewritten) return std::nullopt;
  return std::move(*rewritten);
}

std::expected<ResolutionOutcome<HttpProject>, HttpProjectError> HttpResolver::resolve(const UsageInContext& usage) {
  using Outcome = ResolutionOutcome<HttpProject>;
  const auto* resource = std::get_if<ResourceUsageG<iri::Iri, semver::VersionReq>>(&usage.usage);
  if (!resource) return Outcome{Outcome::UnsupportedUsageType{"not a url/resource usage"}};
  const std::string scheme = ascii_lowercase(resource->resource.scheme());
  if (scheme != "http" && scheme != "https") return Outcome{Outcome::UnsupportedUsageType{"not an http(s) URL"}};
  auto url = url::Url::parse(resource->resource.as_str());
  if (!url) return Outcome{Outcome::Unresolvable{fmt::format("invalid http(s) URL: {}", url.error().message())}};
  return Outcome{Outcome::Resolved{
      std::make_unique<HttpCandidates>(std::move(*url), client_, auth_policy_, allow_slash_rewrite_)}};
}

}  // namespace kestro::resolve
