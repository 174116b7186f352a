// The git resolver: which IRIs it accepts, the URL each candidate keeps,
// and that it clones nothing until the candidate is read (against a
// repository made here with the git command, reached by a file URL).
#include "kestro/resolve/git_resolver.hpp"


#include <gtest/gtest.h>

#include "kestro/utils/text.hpp"
#include "git_fixture.hpp"
#include "resolve_test_support.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

namespace fs = std::filesystem;
using Outcome = GitResolver::Outcome;


// The one candidate of a resolved usage (and that there is no second one).
GitCandidate only_candidate(const UsageInContext& usage) {
  GitResolver resolver;
  auto r = resolver.resolve(usage);
  EXPECT_TRUE(r && r->resolved()) << usage.label();
  auto& seq = *std::get<Outcome::Resolved>(r->value).candidates;
  auto item = seq.next();
  EXPECT_FALSE(seq.next().has_value());
  return std::move(*item);
}

// "url: <git URL>", "error: <message>", or the reason of another answer.
std::string answer_of(const UsageInContext& usage) {
  GitResolver resolver;
  auto r = resolver.resolve(usage);
  if (!r->resolved()) return "unsupported: " + *r->reason();
  GitCandidate item = only_candidate(usage);
  return item ? "url: " + item->url().text : "error: " + item.error().message();
}

TEST(GitResolver, SchemesAndPrefixes) {
  struct Case {
    UsageInContext usage;
    std::string answer;
  };
  const Case cases[] = {
      {resource_usage("https://example.com/r.git"), "url: https://example.com/r.git"},
      {resource_usage("HTTPS://example.com/r.git"), "url: https://example.com/r.git"},
      {resource_usage("http://example.com/r"), "url: http://example.com/r"},
      {resource_usage("Ssh://git@example.com/r"), "url: ssh://git@example.com/r"},
      {resource_usage("file:///srv/r.git"), "url: file:///srv/r.git"},
      // A lower-case "git+" goes; in capitals it is accepted and kept.
      {resource_usage("git+https://example.com/r.git"), "url: https://example.com/r.git"},
      {resource_usage("git+ssh://example.com/r"), "url: ssh://example.com/r"},
      {resource_usage("git+file:///srv/r.git"), "url: file:///srv/r.git"},
      {resource_usage("GIT+HTTPS://example.com/r.git"), "url: git+https://example.com/r.git"},
      {resource_usage("Git+http://example.com/r"), "url: git+http://example.com/r"},
      {resource_usage("git://example.com/r"),
       "unsupported: url scheme `git` of IRI `git://example.com/r` is not known to be git-compatible"},
      {resource_usage("git+ftp://example.com/r"),
       "unsupported: url scheme `git+ftp` of IRI `git+ftp://example.com/r` is not known to be git-compatible"},
      {resource_usage("urn:kestro:x"), "unsupported: url scheme `urn` of IRI `urn:kestro:x` is not known to be git-compatible"},
      {UsageInContext{DirectoryUsageG<std::string>{"https://example.com/r", "a", "b"}, fs::path("/w")},
       "unsupported: not a git usage"},
      {UsageInContext{KparPathUsageG<std::string>{"r.kpar", "a", "b"}, std::nullopt}, "unsupported: not a git usage"},
      {unknown_usage({"kind"}), "unsupported: unrecognized usage with `kind`"},
  };
  for (const Case& c : cases) EXPECT_EQ(answer_of(c.usage), c.answer) << c.usage.label();
}

TEST(GitResolver, ClonesOnlyWhenRead) {
  TempDir dir;
  const std::string url = make_repo(dir.path(), {{".project.json", testing::kInfo}, {".meta.json", testing::kMeta}});
  const auto usage = resource_usage("git+" + url);
  GitCandidate first = only_candidate(usage);
  GitCandidate second = only_candidate(usage);
  ASSERT_TRUE(first && second);
  // Each resolution prepares its own directory; neither holds a clone yet.
  EXPECT_NE(first->checkout().project_path, second->checkout().project_path);
  EXPECT_TRUE(fs::is_directory(first->checkout().project_path));
  EXPECT_TRUE(fs::is_empty(first->checkout().project_path));
  // The URL without its prefix is what the clone reads.
  auto records = first->get_project();
  ASSERT_TRUE(records) << records.error().message();
  EXPECT_TRUE(records->first.has_value());
  // The directory goes with the candidate.
  const fs::path gone = second->checkout().project_path;
  { GitCandidate dropped = std::move(second); }
  EXPECT_FALSE(fs::exists(gone));
}

TEST(GitResolver, PreparationFailuresAreTheItem) {
  TempDir dir;
  ScopedTmpdir scoped;
  struct Case {
    const char* name;
    std::string tmpdir;
    std::string iri;
    std::string error;
  };
  const std::string missing = (dir.path() / "missing").string();
  const std::string not_utf8 = (dir.path() / "\xFF").string();
  fs::create_directories(not_utf8);
  const Case cases[] = {
      {"no temporary directory", missing, "https://example.com/r",
       "failed to create a temporary directory: No such file or directory (os error 2)"},
      {"temporary directory not UTF-8", not_utf8, "https://example.com/r",
       "failed to canonicalize path\n  `" + utf8_lossy(not_utf8) +
           "/.tmp" "XXXXXX`:\n  invalid data: path is not valid UTF-8"},
      {"not a git URL", dir.path().string(), "ssh://h:99999/r", "failed to parse git URL `ssh://h:99999/r`: invalid port number"},
  };
  for (const Case& c : cases) {
    ScopedEnv tmpdir({{"TMPDIR", c.tmpdir}});
    GitCandidate item = only_candidate(resource_usage(c.iri));
    ASSERT_FALSE(item) << c.name;
    std::string message = item.error().message();
    // The temporary directory's random part.
    if (auto at = message.find("/.tmp"); at != std::string::npos) message.replace(at + 5, 6, "XXXXXX");
    EXPECT_EQ(message, c.error) << c.name;
  }
  // A failed preparation leaves no directory behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  EXPECT_TRUE(fs::is_empty(not_utf8));
}

}  // namespace
}  // namespace kestro::resolve
