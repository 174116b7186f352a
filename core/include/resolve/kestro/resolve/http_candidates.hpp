// The candidate sequence of an `http` or `https` URL: at most two readings of the one URL, first as a directory tree
// of project files, then as a KPAR archive. Whether the URL's path ends in
// `/` decides which are offered and how their URLs are rewritten.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <optional>

#include "kestro/resolve/outcome.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::resolve {

// One reading of the URL: a source tree (its files joined to the URL, which
// then ends in `/`) or an archive downloaded from the URL.
struct HttpCandidateUrl {
  enum class Kind { SourceTree, Kpar };
  Kind kind;
  url::Url url;
  friend bool operator==(const HttpCandidateUrl&, const HttpCandidateUrl&) = default;
};

// The lazy sequence of one usage. Each pull runs the first step not yet
// run: the source-tree step, then the archive step; a step with no
// candidate hands on to the next in the same pull. Pulls never wait and do
// no I/O; after both steps every pull gives none.
//
// path            rewrite  candidates
// ends in `/`     on       tree at url; archive at url less the final `/`
// ends in `/`     off      tree at url
// no final `/`    on       tree at url plus `/`; archive at url
// no final `/`    off      archive at url
// Query and fragment are kept; a bare `/` path stays `/` for the archive.
class HttpCandidates : public ItemSequence<HttpCandidateUrl> {
 public:
  HttpCandidates(url::Url url, bool allow_slash_rewrite)
      : url_(std::move(url)), allow_slash_rewrite_(allow_slash_rewrite) {}
  std::optional<HttpCandidateUrl> next() override { return next_candidate(); }
  std::optional<HttpCandidateUrl> next_candidate();

 private:
  url::Url url_;
  bool allow_slash_rewrite_;
  bool source_step_done_ = false;
  bool kpar_step_done_ = false;
};

// A copy of `url` with its path replaced (query and fragment kept).
url::Url with_url_path(const url::Url& url, std::string_view path);

}  // namespace kestro::resolve
