// Failures of the git kind below its project error: the git library's own
// failures and the refusals of a repository address. The project error shows
// them inside its messages.
#pragma once

#include "kestro/project/namespace.hpp"

#include <string>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::project {

struct GitErrorVariants {
  // A call of the git library failed; its text is the library's last error.
  struct Library { std::string text; };
  // An address that is no repository address.
  struct EmptyUrl {};
  struct InvalidUrl { url::UrlError source; };
  struct NulInUrl {};
  using Sum = std::variant<Library, EmptyUrl, InvalidUrl, NulInUrl>;
};

// The debug form of an invalid URL is the URL parser's; of the others, the
// text. No cause.
class GitError : public ErrorSum<GitError, GitErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Library& v) { return v.text; }
  static std::string text_of(const EmptyUrl&) { return "the URL is empty"; }
  static std::string text_of(const InvalidUrl& v) { return v.source.message(); }
  static std::string text_of(const NulInUrl&) { return "the URL holds a NUL character"; }
  static std::string debug_of(const InvalidUrl& v) { return v.source.debug(); }
};

}  // namespace kestro::project
