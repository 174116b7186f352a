// The candidate sequence of an http(s) URL, as URLs.
#include "kestro/resolve/http_candidates.hpp"

#include <gtest/gtest.h>

#include "resolve_test_support.hpp"

namespace kestro::resolve {
namespace {

namespace fs = std::filesystem;


// The candidates as "tree <url>" / "kpar <url>" joined by "; ".
std::string answer_of(std::string_view text, bool rewrite) {
  auto parsed = url::Url::parse(text);
  if (!parsed) return "not a URL";
  auto candidates = std::make_unique<HttpCandidates>(std::move(*parsed), rewrite);
  std::string out;
  while (auto c = candidates->next())
    out += (out.empty() ? "" : "; ") +
           std::string(c->kind == HttpCandidateUrl::Kind::SourceTree ? "tree " : "kpar ") + c->url.href();
  // After the end, every pull stays at the end.
  for (int i = 0; i < 3; ++i)
    if (candidates->next()) out += " (pulled past the end)";
  return out;
}

TEST(HttpCandidates, CandidateUrlsByPathShape) {
  struct Case {
    std::string iri;
    bool rewrite;
    std::string answer;
  };
  const Case cases[] = {
      {"https://h/a/b", true, "tree https://h/a/b/; kpar https://h/a/b"},
      {"https://h/a/b", false, "kpar https://h/a/b"},
      {"https://h/a/b/", true, "tree https://h/a/b/; kpar https://h/a/b"},
      {"https://h/a/b/", false, "tree https://h/a/b/"},
      // A bare host: the path cannot become empty, so both are at `/`.
      {"https://h", true, "tree https://h/; kpar https://h/"},
      {"https://h/", true, "tree https://h/; kpar https://h/"},
      {"https://h/", false, "tree https://h/"},
      // Only one `/` is removed.
      {"https://h/a//", true, "tree https://h/a//; kpar https://h/a/"},
      // Only the path decides; query and fragment stay on both.
      {"https://h/a/b?x=1", true, "tree https://h/a/b/?x=1; kpar https://h/a/b?x=1"},
      {"https://h/a/b/?x=1#f", true, "tree https://h/a/b/?x=1#f; kpar https://h/a/b?x=1#f"},
      {"https://h/a/b?x=/", false, "kpar https://h/a/b?x=/"},
      {"https://h/a%20b/%2F", true, "tree https://h/a%20b/%2F/; kpar https://h/a%20b/%2F"},
      {"HTTP://H:8080/p", true, "tree http://h:8080/p/; kpar http://h:8080/p"},
  };
  for (const Case& c : cases) EXPECT_EQ(answer_of(c.iri, c.rewrite), c.answer) << c.iri << " " << c.rewrite;
}

}  // namespace
}  // namespace kestro::resolve
