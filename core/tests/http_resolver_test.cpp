// The HTTP resolver's answers and its candidate sequence, as URLs.
#include "kestro/resolve/http_resolver.hpp"

#include <gtest/gtest.h>

#include "resolve_test_support.hpp"

namespace kestro::resolve {
namespace {

namespace fs = std::filesystem;
using Outcome = HttpResolver::Outcome;


// The candidates as "tree <url>" / "kpar <url>" joined by "; ", or the
// reason of another answer.
std::string answer_of(const UsageInContext& usage, bool rewrite) {
  Outcome r = HttpResolver(rewrite).resolve(usage);
  auto* found = std::get_if<Outcome::Resolved>(&r.value);
  if (!found) return (r.value.index() == 1 ? "unsupported: " : "unresolvable: ") + *r.reason();
  std::string out;
  while (auto c = found->candidates->next())
    out += (out.empty() ? "" : "; ") +
           std::string(c->kind == HttpCandidateUrl::Kind::SourceTree ? "tree " : "kpar ") + c->url.href();
  // After the end, every pull stays at the end.
  for (int i = 0; i < 3; ++i)
    if (found->candidates->next()) out += " (pulled past the end)";
  return out;
}

TEST(HttpResolver, CandidateUrlsByPathShape) {
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
  for (const Case& c : cases) EXPECT_EQ(answer_of(resource_usage(c.iri), c.rewrite), c.answer) << c.iri << " " << c.rewrite;
}

TEST(HttpResolver, UsagesItDoesNotTake) {
  struct Case {
    UsageInContext usage;
    std::string answer;
  };
  const Case cases[] = {
      {resource_usage("file:///w/x"), "unsupported: not an http(s) URL"},
      {resource_usage("git+https://h/r"), "unsupported: not an http(s) URL"},
      {resource_usage("urn:kestro:x"), "unsupported: not an http(s) URL"},
      {UsageInContext{DirectoryUsageG<std::string>{"https://h/a", "p", "n"}, fs::path("/w")},
       "unsupported: not a url/resource usage"},
      {UsageInContext{KparPathUsageG<std::string>{"a.kpar", "p", "n"}, std::nullopt},
       "unsupported: not a url/resource usage"},
      {resource_usage("https://h:99999/a"), "unresolvable: invalid http(s) URL: invalid port number"},
  };
  for (const Case& c : cases) EXPECT_EQ(answer_of(c.usage, true), c.answer) << c.usage.label();
}

}  // namespace
}  // namespace kestro::resolve
