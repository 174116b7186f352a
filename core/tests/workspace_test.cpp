#include "kestro/env/workspace.hpp"

#include <gtest/gtest.h>

#include "support/log_capture.hpp"
#include "test_support.hpp"

namespace kestro::env {
namespace {

namespace fs = std::filesystem;
using testing::leveled_messages_of;

// What a read gave, in one comparable shape: the projects' paths and IRIs
// and the metamodel, or the error's message.
std::string outcome(const std::expected<LoadedWorkspace, WorkspaceError>& r) {
  if (!r) return "error: " + r.error().message();
  std::string out;
  for (const auto& p : r->info.projects) {
    out += p.path + "[";
    for (const auto& iri : p.iris) out += iri.as_str() + ";";
    out += "] ";
  }
  if (!r->info.meta) return out + "no meta";
  if (!r->info.meta->metamodel) return out + "no metamodel";
  return out + "metamodel " + r->info.meta->metamodel->as_str();
}

TEST(ReadWorkspaceFile, Cases) {
  TempDir tmp;
  const std::string file = (tmp.path() / ".workspace.json").string();
  const std::string twice = "failed to deserialize `.workspace.json`: workspace deserialization error: failed to "
                            "deserialize `.workspace.json`: ";
  const std::string warn = "warn: workspace uses an unknown metamodel `{}`";
  struct Case {
    std::string text;
    std::string outcome;
    std::vector<std::string> logged = {};
  } cases[] = {
      {R"({"projects": []})", "no meta"},
      {R"([[], null])", "no meta"},
      {R"({"projects": [], "meta": null})", "no meta"},
      {R"({"projects": [], "meta": {}})", "no metamodel"},
      {R"({"projects": [], "meta": {"metamodel": null}})", "no metamodel"},
      {R"({"projects": [], "meta": ["https://www.omg.org/spec/SysML/20250201"]})",
       "metamodel https://www.omg.org/spec/SysML/20250201"},
      {R"({"projects": [], "meta": {"metamodel": "https://www.omg.org/spec/KerML/20250201"}})",
       "metamodel https://www.omg.org/spec/KerML/20250201"},
      // Unknown keys are ignored at every level; IRIs are kept as written.
      {R"({"version": 2, "projects": [{"name": "x", "path": "a/../b", "iris": ["URN:Kestro:A", "pkg:kestro/a/b"]},
           ["c", []]]})",
       "a/../b[URN:Kestro:A;pkg:kestro/a/b;] c[] no meta"},
      {R"({"meta": {}})", twice + "missing field `projects` at line 1 column 12"},
      {R"({"projects": [{}]})", twice + "missing field `path` at line 1 column 16"},
      {R"({"projects": [{"path": "a"}]})", twice + "missing field `iris` at line 1 column 27"},
      {R"({"projects": [], "projects": []})", twice + "duplicate field `projects` at line 1 column 27"},
      {R"({"projects": null})", twice + "invalid type: null, expected a sequence at line 1 column 17"},
      {R"([[]])", twice + "invalid length 1, expected struct WorkspaceInfoG with 2 elements at line 1 column 4"},
      {R"([[], null, 1])", twice + "trailing characters at line 1 column 12"},
      {R"({"projects": []} {})", twice + "trailing characters at line 1 column 18"},
      {"\xEF\xBB\xBF{\"projects\": []}", twice + "expected value at line 1 column 1"},
      // The second project's IRI is refused with its full text; the
      // metamodel after it is never reached.
      {R"({"projects": [{"path": "a", "iris": ["urn:kestro:a"]}, {"path": "b", "iris": ["urn:kestro:b", "not an iri"]}],
          "meta": {"metamodel": "urn:other"}})",
       fmt::format("error: invalid workspace configuration in `{}`: failed to parse `not an iri` as IRI: {}", file,
                   "no scheme found in an absolute IRI")},
      // An unknown metamodel is warned about and kept, or warned about and
      // then refused when it is no IRI.
      {R"({"projects": [], "meta": {"metamodel": "https://www.omg.org/spec/SysML/20250201/"}})",
       "metamodel https://www.omg.org/spec/SysML/20250201/",
       {"warn: workspace uses an unknown metamodel `https://www.omg.org/spec/SysML/20250201/`"}},
      {R"({"projects": [], "meta": {"metamodel": "no iri"}})",
       fmt::format("error: invalid workspace configuration in `{}`: failed to parse `no iri` as IRI: {}", file,
                   "no scheme found in an absolute IRI"),
       {"warn: workspace uses an unknown metamodel `no iri`"}},
  };
  for (const Case& c : cases) {
    write_text(tmp.path() / ".workspace.json", c.text);
    log::ScopedCapture capture;
    auto r = read_workspace_file(tmp.path());
    std::string expected = c.outcome;
    if (expected.starts_with(twice)) expected = "error: " + expected;
    EXPECT_EQ(outcome(r), expected) << c.text;
    if (r) {
      EXPECT_EQ(r->root, tmp.path());
    }
    EXPECT_EQ(leveled_messages_of(capture, {kWorkspaceLogTarget}), c.logged) << c.text;
  }
}

TEST(ReadWorkspaceFile, ErrorShapes) {
  TempDir tmp;
  auto missing = read_workspace_file(tmp.path());
  ASSERT_FALSE(missing);
  ASSERT_TRUE(missing.error().holds<WorkspaceError::Io>());
  EXPECT_EQ(missing.error().message(), fmt::format("failed to open file\n  `{}/.workspace.json`:\n  No such file or "
                                                   "directory (os error 2)",
                                                   tmp.path().string()));
  EXPECT_EQ(missing.error().cause(), nullptr);

  // A parse failure names its cause once more; the cause has none.
  write_text(tmp.path() / ".workspace.json", "{");
  auto bad = read_workspace_file(tmp.path());
  ASSERT_FALSE(bad);
  ASSERT_NE(bad.error().cause(), nullptr);
  EXPECT_EQ("failed to deserialize `.workspace.json`: " + bad.error().cause()->message(), bad.error().message());
  EXPECT_EQ(bad.error().cause()->cause(), nullptr);

  // Reading the file fails after it was opened.
  fs::remove(tmp.path() / ".workspace.json");
  fs::create_directory(tmp.path() / ".workspace.json");
  auto dir = read_workspace_file(tmp.path());
  ASSERT_FALSE(dir);
  EXPECT_EQ(dir.error().message(),
            "failed to deserialize `.workspace.json`: workspace deserialization error: failed to deserialize "
            "`.workspace.json`: Is a directory (os error 21)");
}

}  // namespace
}  // namespace kestro::env
