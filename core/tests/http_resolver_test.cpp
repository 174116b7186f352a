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

// A candidate as "tree <base URL>" or "kpar <archive URL>".
std::string candidate_text(const HttpProject& candidate) {
  if (const auto* src = std::get_if<HttpProject::Src>(&candidate.kind)) return "tree " + src->project.base_url().href();
  return "kpar " + std::get<HttpProject::Kpar>(candidate.kind).project->url().href();
}

// The answer as text: "resolved:" and the candidates in their order, or the
// variant's reason.
std::string answer_of(HttpResolver& r, const UsageInContext& usage) {
  auto outcome = r.resolve(usage);
  if (!outcome) return "error: " + outcome.error().message();
  if (auto* found = std::get_if<ResolutionOutcome<HttpProject>::Resolved>(&outcome->value)) {
    std::string out = "resolved:";
    while (auto candidate = found->candidates->next()) out += " " + candidate_text(*candidate);
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
      {resource("https://host.example"), true, "resolved: tree https://host.example/ kpar https://host.example/"},
      {resource("HTTPS://Host.Example:443/p/"), true, "resolved: tree https://host.example/p/ kpar https://host.example/p"},
      {resource("http://host.example/p/?ref=main"), false, "resolved: tree http://host.example/p/?ref=main"},
      {resource("http://host.example/p?ref=main"), true,
       "resolved: tree http://host.example/p/?ref=main kpar http://host.example/p?ref=main"},
      {resource("http://host.example/p"), false, "resolved: kpar http://host.example/p"},
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
  EXPECT_TRUE(a->next());
  EXPECT_FALSE(a->next());
  EXPECT_FALSE(a->next());
  EXPECT_TRUE(b->next());
}

}  // namespace
}  // namespace kestro::resolve
