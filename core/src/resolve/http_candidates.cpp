#include "kestro/resolve/http_candidates.hpp"

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::resolve {

url::Url with_url_path(const url::Url& url, std::string_view path) {
  const std::string& href = url.href();
  const std::size_t start = static_cast<std::size_t>(url.path().data() - href.data());
  const std::size_t end = start + url.path().size();
  std::string text = href.substr(0, start);
  text += path;
  text += std::string_view(href).substr(end);
  auto parsed = url::Url::parse(text);
  if (!parsed) internal_error("internal url processing error");
  return std::move(*parsed);
}

std::optional<HttpCandidateUrl> HttpCandidates::next_candidate() {
  const std::string_view path = url_.path();
  const bool slash = path.empty() || path.ends_with('/');
  if (!source_step_done_) {
    source_step_done_ = true;
    if (slash) return HttpCandidateUrl{HttpCandidateUrl::Kind::SourceTree, url_};
    if (allow_slash_rewrite_) {
      url::Url rewritten = url_;
      rewritten.ensure_trailing_slash();
      return HttpCandidateUrl{HttpCandidateUrl::Kind::SourceTree, std::move(rewritten)};
    }
  }
  if (!kpar_step_done_) {
    kpar_step_done_ = true;
    if (path.empty() || !path.ends_with('/')) return HttpCandidateUrl{HttpCandidateUrl::Kind::Kpar, url_};
    if (allow_slash_rewrite_)
      return HttpCandidateUrl{HttpCandidateUrl::Kind::Kpar, with_url_path(url_, path.substr(0, path.size() - 1))};
  }
  return std::nullopt;
}

}  // namespace kestro::resolve
