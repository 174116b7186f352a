// The installed-environment resolver over an environment directory written
// to disk and opened as the commands open it.
#include "kestro/resolve/local_resolver.hpp"

#include <gtest/gtest.h>

#include "resolve_test_support.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

namespace fs = std::filesystem;

UsageInContext directory(const std::string& publisher, const std::string& name) {
  return UsageInContext{DirectoryUsageG<std::string>{"../lib", publisher, name}, fs::path("/w/app")};
}

// The answer as text: "found: p1 p2" (each candidate's nominal path) or
// "not found: reason", or "error: message".
template <typename Env>
std::string answer_of(LocalResolver<Env>& resolver, const UsageInContext& usage) {
  auto r = resolver.resolve(usage);
  if (!r) return "error: " + r.error().message();
  if (auto* found = std::get_if<ResolutionOutcome<LocalSrcProject>::Resolved>(&r->value)) {
    std::string out = "found:";
    while (auto p = found->candidates->next()) out += " " + p->nominal_path.value_or("?");
    return out;
  }
  return (r->value.index() == 2 ? "not found: " : "other: ") + *r->reason();
}

TEST(LocalResolver, InstalledVersionsByIdentifier) {
  TempDir dir;
  const fs::path env = dir.path() / ".kestro";
  fs::create_directories(env);
  // Entries in file order: two copies of urn:a 1.0.0 (the first wins both
  // times), urn:a 2.0.0 listed second under its identifiers, and the
  // default identifier of acme/widgets as an editable entry.
  write_text(env / "env.toml", R"(version = "0.1"
[[project]]
name = "a"
version = "1.0.0"
path = "lib/a1"
identifiers = ["urn:a"]

[[project]]
name = "a"
version = "2.0.0"
path = "lib/a2"
identifiers = ["urn:other", "urn:a"]

[[project]]
name = "a"
version = "1.0.0"
path = "lib/a1-copy"
identifiers = ["urn:a"]

[[project]]
publisher = "acme"
name = "widgets"
version = "0.3.0"
path = "widgets"
editable = true
identifiers = ["pkg:kestro/acme/widgets"]
)");
  auto opened = LocalDirectoryEnv::open(env);
  ASSERT_TRUE(opened) << opened.error().message();
  LocalResolver<LocalDirectoryEnv> resolver(std::move(*opened));

  struct Case {
    UsageInContext usage;
    std::string answer;
  };
  const Case cases[] = {
      {resource_usage("urn:a"), "found: .kestro/lib/a1 .kestro/lib/a2 .kestro/lib/a1"},
      {resource_usage("urn:other"), "found: .kestro/lib/a2"},
      // Identifiers are compared byte for byte: letter case matters.
      {resource_usage("URN:a"), "not found: environment does not contain this project"},
      {resource_usage("urn:A"), "not found: environment does not contain this project"},
      {resource_usage("urn:missing"), "not found: environment does not contain this project"},
      // A path usage is looked up by its publisher and name.
      {directory("acme", "widgets"), "found: widgets"},
      {directory("acme", "gadgets"), "not found: environment does not contain this project"},
  };
  for (const Case& c : cases) EXPECT_EQ(answer_of(resolver, c.usage), c.answer) << c.usage.label();

  // The candidates are opened where the entries lie: installed ones inside
  // the environment, editable ones beside it.
  auto r = resolver.resolve(resource_usage("urn:a"));
  auto first = std::get<0>(r->value).candidates->next();
  EXPECT_EQ(first->project_path, fs::canonical(env) / "lib/a1");
  auto w = resolver.resolve(directory("acme", "widgets"));
  EXPECT_EQ(std::get<0>(w->value).candidates->next()->project_path, fs::canonical(dir.path()) / "widgets");
}

TEST(LocalResolver, NullEnvironmentHoldsNothing) {
  LocalResolver<NullEnvironment> resolver(NullEnvironment{});
  EXPECT_EQ(answer_of(resolver, resource_usage("urn:a")), "not found: environment does not contain this project");
  EXPECT_EQ(answer_of(resolver, directory("acme", "widgets")),
            "not found: environment does not contain this project");
}

}  // namespace
}  // namespace kestro::resolve
