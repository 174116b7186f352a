// Usage identifiers, and finding and editing usages of `.project.json` by
// identifier.
#include "kestro/model/usage_match.hpp"

#include <string>

#include <gtest/gtest.h>

#include "kestro/model/identifiers.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::model {
namespace {

json::Value parse(std::string_view text) {
  json::Reader reader(text);
  auto v = reader.read_value();
  EXPECT_TRUE(v) << text;
  return *v;
}

TEST(UsageIdentifier, ByKind) {
  const std::string id = default_project_identifier("Acme", "Tool");
  EXPECT_EQ(usage_identifier(ResourceUsageG<iri::Iri, semver::VersionReq>{*iri::Iri::parse("urn:kpar:a"), {}}),
            "urn:kpar:a");
  EXPECT_EQ(usage_identifier(DirectoryUsageG<std::string>{"../a", "Acme", "Tool"}), id);
  EXPECT_EQ(usage_identifier(KparPathUsageG<std::string>{"x.kpar", "Acme", "Tool"}), id);
  EXPECT_THROW(usage_identifier(UnknownUsage{}), InternalError);
}

// As declared: no identifier for an unrecognised usage or an empty field.
TEST(UsageIdentifier, Declared) {
  const std::string id = default_project_identifier("Acme", "Tool");
  struct Case {
    InterchangeProjectUsageRaw usage;
    std::optional<std::string> identifier;
  } cases[] = {
      {ResourceUsageRaw{"not an iri", "1"}, "not an iri"},
      {DirectoryUsageRaw{"../a", "Acme", "Tool"}, id},
      {KparPathUsageRaw{"x.kpar", "Acme", "Tool"}, id},
      {DirectoryUsageRaw{"../a", "", "Tool"}, std::nullopt},
      {KparPathUsageRaw{"x.kpar", "Acme", ""}, std::nullopt},
      {UnknownUsage{}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(declared_usage_identifier(c.usage), c.identifier);
}

TEST(UsageMatch, Table) {
  const std::string dir_id = default_project_identifier("acme", "tool");
  const json::Value usages = parse(R"([
    {"resource": "urn:a", "versionConstraint": "^1"},
    {"resource": "urn:b", "publisher": "acme", "name": "tool"},
    {"dir": "../t", "publisher": "acme", "name": "tool"},
    {"dir": "../t", "publisher": "", "name": "tool"},
    7, "urn:a",
    {"kparPath": "t.kpar", "publisher": "acme", "name": "tool"},
    {"resource": "urn:a"},
    {"resource": "URN:A"},
    {"kind": "future"}
  ])");
  struct {
    const char* what;
    std::string target;
    std::vector<UsageMatch> matches;
  } cases[] = {
      {"resource text, no kind; other forms and non-usages skipped", "urn:a", {{0, std::nullopt}, {7, std::nullopt}}},
      {"resource of another IRI decides alone", "urn:b", {{1, std::nullopt}}},
      {"path usages by default identifier, empty publisher never", dir_id, {{2, "directory"}, {6, "KPAR path"}}},
      {"no normalisation", "urn:A", {}},
  };
  for (const auto& c : cases) {
    UsageMatchCursor cursor{*usages.as_array()};
    std::vector<UsageMatch> found;
    while (auto m = match_usage_identifier(cursor, c.target)) found.push_back(*m);
    EXPECT_EQ(found, c.matches) << c.what;
    EXPECT_FALSE(match_usage_identifier(cursor, c.target)) << c.what << ": past the end";
  }
}

TEST(UsageMatch, RemoveVersionConstraintKeepsOrder) {
  struct {
    const char* before;
    const char* after;
    std::optional<std::string> removed;
  } cases[] = {
      {R"({"resource":"urn:a","versionConstraint":"^1","x":1})", R"({"resource":"urn:a","x":1})", "^1"},
      {R"({"versionConstraint":"^2"})", R"({})", "^2"},
      {R"({"resource":"urn:a","x":1})", R"({"resource":"urn:a","x":1})", std::nullopt},
      {R"({"x":1})", R"({"x":1})", std::nullopt},
  };
  for (const auto& c : cases) {
    json::Value v = parse(c.before);
    json::Object object = *v.as_object();
    auto removed = remove_version_constraint(object);
    EXPECT_EQ(json::Value(object), parse(c.after)) << c.before;
    ASSERT_EQ(removed.has_value(), c.removed.has_value()) << c.before;
    if (removed) {
      EXPECT_EQ(*removed->as_string(), *c.removed);
    }
  }
}

}  // namespace
}  // namespace kestro::model
