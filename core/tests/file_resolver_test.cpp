// The file resolver against real directories: symbolic links, missing
// paths, unreadable directories and allowed-directory lists.
#include "kestro/resolve/file_resolver.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "resolve_test_support.hpp"
#include "zip_fixture.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

namespace fs = std::filesystem;
using Outcome = FileResolver::Outcome;

UsageInContext directory(const std::string& dir, std::optional<fs::path> base) {
  return UsageInContext{DirectoryUsageG<std::string>{dir, "acme", "lib"}, std::move(base)};
}
UsageInContext kpar(const std::string& path, std::optional<fs::path> base) {
  return UsageInContext{KparPathUsageG<std::string>{path, "acme", "lib"}, std::move(base)};
}
// A text with every occurrence of `root` written as `$`.
std::string relative_to(std::string text, const std::string& root) {
  for (std::size_t at; !root.empty() && (at = text.find(root)) != std::string::npos;) text.replace(at, root.size(), "$");
  return text;
}

std::string describe(const LocalPathProject& p) {
  if (const LocalSrcProject* src = p.src()) {
    std::string out = "src " + src->project_path.string();
    if (src->expected_name) out += " expects " + src->expected_publisher->value_or("-") + "/" + *src->expected_name;
    return out;
  }
  const auto& k = std::get<LocalKparProject>(p.kind);
  std::string out = "kpar " + k.archive_path.string();
  out += std::holds_alternative<ArchiveRootDetect>(k.archive_root) ? " scanning" : " top";
  if (k.expected_name) out += " expects " + k.expected_publisher.value_or("-") + "/" + *k.expected_name;
  return out;
}

// The answer as one text, with `root` written as `$`: "found: ..." with the
// candidates separated by "; ", "unsupported: ", "not found: ",
// "refused: " and the reason, or "error: " and the message.
std::string answer_of(FileResolver& resolver, const UsageInContext& usage, const fs::path& root) {
  auto r = resolver.resolve(usage);
  std::string out;
  if (!r) {
    out = "error: " + r.error().message();
  } else if (auto* found = std::get_if<Outcome::Resolved>(&r->value)) {
    out = "found:";
    while (auto p = found->candidates->next()) out += (out.size() > 6 ? "; " : " ") + describe(*p);
  } else {
    static constexpr const char* kNames[] = {"", "unsupported: ", "not found: ", "refused: "};
    out = kNames[r->value.index()] + *r->reason();
  }
  return relative_to(out, root.string());
}

struct Case {
  const char* name;
  UsageInContext usage;
  std::string answer;
};

TEST(FileResolver, UsagesWithoutAllowedDirectories) {
  TempDir tmp;
  const fs::path w = fs::canonical(tmp.path());
  fs::create_directories(w / "app");
  fs::create_directories(w / "store/lib");
  fs::create_symlink(w / "store/lib", w / "lib");
  write_text(w / "store/lib.kpar", "");
  fs::create_symlink("store/lib.kpar", w / "lib.kpar");

  FileResolver resolver;
  const std::string missing_file = "file://" + (w / "none").string();
  const Case cases[] = {
      {"directory, links resolved", directory("../lib", w / "app"), "found: src $/store/lib expects acme/lib"},
      {"kpar path, links resolved", kpar("../lib.kpar", w / "app"), "found: kpar $/store/lib.kpar top expects acme/lib"},
      {"absolute path replaces the base", directory((w / "lib").string(), w / "app"),
       "found: src $/store/lib expects acme/lib"},
      {"no base path", directory("../lib", std::nullopt), "refused: cannot resolve relative path usage without a base path"},
      {"no base path, absolute", directory((w / "lib").string(), std::nullopt),
       "refused: cannot resolve relative path usage without a base path"},
      {"no base path, kpar", kpar("x.kpar", std::nullopt),
       "refused: cannot resolve relative path usage without a base path"},
      {"missing kpar names the joined path", kpar("../gone/x.kpar", w / "app"),
       "not found: path `$/app/../gone/x.kpar` does not exist"},
      {"file URL to a missing path", resource_usage(missing_file), "found: src $/none; kpar $/none scanning"},
      {"scheme in any case", resource_usage("FILE://" + (w / "none").string()), "found: src $/none; kpar $/none scanning"},
      {"localhost", resource_usage("file://localhost" + (w / "none").string()), "found: src $/none; kpar $/none scanning"},
      {"percent-decoded", resource_usage("file:///w/a%20b/%C3%A9"), "found: src /w/a b/é; kpar /w/a b/é scanning"},
      {"links in a URL path are kept", resource_usage("file://" + (w / "lib").string()),
       "found: src $/lib; kpar $/lib scanning"},
      {"foreign host", resource_usage("file://example/x"), "error: failed to extract path from file URL"},
      {"not UTF-8", resource_usage("file:///w/%FF"), "error: failed to encode path `/w/\xEF\xBF\xBD` in UTF-8"},
      {"not a URL", resource_usage("file://a%00b/x"), "error: IRI `file://a%00b/x` is not a valid URL: invalid domain character"},
      {"https", resource_usage("https://example.com/x"), "unsupported: resource is not a file URL"},
      {"urn", resource_usage("urn:kestro:x"), "unsupported: resource is not a file URL"},
      {"unrecognised usage", unknown_usage({"kind", "path"}), "unsupported: unrecognized usage with `kind`, `path`"},
  };
  for (const Case& c : cases) EXPECT_EQ(answer_of(resolver, c.usage, w), c.answer) << c.name;
}

// The candidates read as the resolver set them up: a path usage's project
// must carry the usage's publisher and name and lie at the archive's top
// level; a file URL's archive is searched for its project.
TEST(FileResolver, CandidatesReadTheirProjects) {
  TempDir tmp;
  const fs::path w = fs::canonical(tmp.path());
  fs::create_directories(w / "app");
  const std::string info = R"({"publisher":"acme","name":"lib","version":"1.0.0"})";
  const std::string meta = testing::kMeta;
  make_zip(w / "nested.kpar", {{"inner/.project.json", info}, {"inner/.meta.json", meta}});
  testing::write_project(w / "other", R"({"publisher":"acme","name":"other","version":"1.0.0"})", meta);

  FileResolver resolver;
  auto items = [&](const UsageInContext& usage) {
    std::vector<LocalPathProject> out;
    auto r = resolver.resolve(usage);
    while (auto p = std::get<Outcome::Resolved>(r->value).candidates->next()) out.push_back(std::move(*p));
    return out;
  };
  // Through a KPAR path usage the archive's top level holds no project.
  auto by_path = items(kpar("../nested.kpar", w / "app"));
  ASSERT_EQ(by_path.size(), 1u);
  auto top = by_path[0].get_project();
  ASSERT_FALSE(top);
  EXPECT_EQ(top.error().message(), "project is missing project information file `.project.json`");
  // Through a file URL the archive candidate finds it under inner/.
  auto by_url = items(resource_usage("file://" + (w / "nested.kpar").string()));
  ASSERT_EQ(by_url.size(), 2u);
  auto scanned = by_url[1].get_project();
  ASSERT_TRUE(scanned) << scanned.error().message();
  ASSERT_TRUE(scanned->first.has_value());
  EXPECT_EQ(scanned->first->name, "lib");
  // A directory usage expects the publisher and name it states.
  auto mismatch = items(directory("../other", w / "app"))[0].get_project();
  ASSERT_FALSE(mismatch);
  EXPECT_NE(mismatch.error().message().find("other"), std::string::npos) << mismatch.error().message();
}

TEST(FileResolver, CanonicalisationFailureIsAnError) {
  TempDir tmp;
  const fs::path w = fs::canonical(tmp.path());
  fs::create_directories(w / "app");
  fs::create_directories(w / "closed/lib");
  ::chmod((w / "closed").c_str(), 0);
  const int status = run_unprivileged([&] {
    FileResolver resolver;
    const std::string expected = "error: failed to canonicalize path\n  `$/app/../closed/lib`:\n  "
                                 "Permission denied (os error 13)";
    return answer_of(resolver, directory("../closed/lib", w / "app"), w) == expected ? 0 : 1;
  });
  ::chmod((w / "closed").c_str(), 0755);
  EXPECT_EQ(status, 0);
}

TEST(FileResolver, AllowedDirectories) {
  TempDir tmp;
  const fs::path w = fs::canonical(tmp.path());
  for (const char* d : {"app", "a/p", "b", "ab/p"}) fs::create_directories(w / d);
  fs::create_symlink(w / "a", w / "link-to-a");
  const std::string a = (w / "a").string(), b = (w / "b").string(), missing = (w / "missing").string();

  struct AllowedCase {
    const char* name;
    std::vector<std::string> allowed;
    UsageInContext usage;
    std::string answer;
  };
  const AllowedCase cases[] = {
      {"inside the first", {a, b}, directory("../a/p", w / "app"), "found: src $/a/p expects acme/lib"},
      {"inside the second", {b, a}, directory("../a/p", w / "app"), "found: src $/a/p expects acme/lib"},
      {"components, not prefixes", {a, b}, directory("../ab/p", w / "app"),
       "refused: refusing to resolve path `$/ab/p`, is not inside in any of the allowed directories\n$/a; $/b"},
      {"allowed directory through a link", {(w / "link-to-a").string()}, directory("../a/p", w / "app"),
       "found: src $/a/p expects acme/lib"},
      {"the directory itself", {a}, directory("../a", w / "app"), "found: src $/a expects acme/lib"},
      {"empty list refuses all", {}, directory("../a/p", w / "app"),
       "refused: refusing to resolve path `$/a/p`, is not inside in any of the allowed directories\n"},
      {"missing directory after a match", {a, missing}, directory("../a/p", w / "app"),
       "found: src $/a/p expects acme/lib"},
      {"missing directory reached", {b, missing, a}, directory("../a/p", w / "app"),
       "error: failed to canonicalize path\n  `$/missing`:\n  No such file or directory (os error 2)"},
      // A URL's path is compared as given, after canonicalising it here.
      {"file URL inside", {a}, resource_usage("file://" + (w / "link-to-a/p").string()),
       "found: src $/link-to-a/p; kpar $/link-to-a/p scanning"},
      {"file URL outside", {a}, resource_usage("file://" + (w / "b").string()),
       "refused: refusing to resolve path `$/b`, is not inside in any of the allowed directories\n$/a"},
      {"file URL to a missing path", {a}, resource_usage("file://" + (w / "a/none").string()),
       "error: failed to canonicalize path\n  `$/a/none`:\n  No such file or directory (os error 2)"},
  };
  for (const AllowedCase& c : cases) {
    FileResolver resolver(c.allowed);
    EXPECT_EQ(answer_of(resolver, c.usage, w), c.answer) << c.name;
  }
}

}  // namespace
}  // namespace kestro::resolve
