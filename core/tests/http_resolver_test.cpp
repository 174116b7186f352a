// The HTTP resolver's answers and the candidates it hands out; no request is
// ever made by resolving.
#include "kestro/resolve/http_resolver.hpp"

#include <gtest/gtest.h>

namespace kestro::resolve {
namespace {

UsageInContext resource(const std::string& iri) {
  auto parsed = iri::Iri::parse(iri);
  EXPECT_TRUE(parsed) << iri;
  return UsageInContext{ResourceUsageG<iri::Iri, semver::VersionReq>{*parsed, std::nullopt}, std::nullopt};
}

HttpResolver resolver(bool allow_slash_rewrite) { return HttpResolver(http::Client(), AuthPolicy(), allow_slash_rewrite); }

// The answer as text: "resolved: <base URLs of the source-tree candidates>"
// or the variant's reason.
std::string answer_of(HttpResolver& r, const UsageInContext& usage) {
  auto outcome = r.resolve(usage);
  if (!outcome) return "error: " + outcome.error().message();
  if (auto* found = std::get_if<ResolutionOutcome<HttpProject>::Resolved>(&outcome->value)) {
    std::string out = "resolved:";
    while (auto candidate = found->candidates->next())
      out += " " + std::get<HttpProject::Src>(candidate->kind).project.base_url().href();
    return out;
  }
  static constexpr const char* kNames[] = {"", "unsupported: ", "not found: ", "unresolvable: "};
  return kNames[outcome->value.index()] + *outcome->reason();
}

TEST(HttpResolver, Answers) {
  struct Case {
    UsageInContext usage;
    bool rewrite;
    std::string answer;
  };
  const Case cases[] = {
      {{DirectoryUsageG<std::string>{"lib", "pub", "name"}, std::nullopt}, true, "unsupported: not a url/resource usage"},
      {{KparPathUsageG<std::string>{"lib.kpar", "pub", "name"}, std::nullopt}, true,
       "unsupported: not a url/resource usage"},
      {resource("urn:kestro:x"), true, "unsupported: not an http(s) URL"},
      {resource("ftp://host.example/p/"), true, "unsupported: not an http(s) URL"},
      {resource("http://host.example:99999/p/"), true, "unresolvable: invalid http(s) URL: invalid port number"},
      {resource("https://host.example"), true, "resolved: https://host.example/"},
      {resource("HTTPS://Host.Example:443/p/"), true, "resolved: https://host.example/p/"},
      {resource("http://host.example/p/?ref=main"), false, "resolved: http://host.example/p/?ref=main"},
      {resource("http://host.example/p?ref=main"), true, "resolved: http://host.example/p/?ref=main"},
      {resource("http://host.example/p"), false, "resolved:"},
  };
  for (const Case& c : cases) {
    HttpResolver r = resolver(c.rewrite);
    EXPECT_EQ(answer_of(r, c.usage), c.answer) << c.usage.label();
  }
}

TEST(HttpResolver, EachAnswerIsAnIndependentSequence) {
  HttpResolver r = resolver(true);
  auto usage = resource("http://host.example/p/");
  auto first = r.resolve(usage).value();
  auto second = r.resolve(usage).value();
  auto& a = std::get<ResolutionOutcome<HttpProject>::Resolved>(first.value).candidates;
  auto& b = std::get<ResolutionOutcome<HttpProject>::Resolved>(second.value).candidates;
  EXPECT_TRUE(a->next());
  EXPECT_FALSE(a->next());
  EXPECT_FALSE(a->next());
  EXPECT_TRUE(b->next());
}

}  // namespace
}  // namespace kestro::resolve
