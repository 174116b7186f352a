#include "kestro/project/sources.hpp"

#include <algorithm>

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kestro::project {
namespace {


std::vector<std::string> relative(const std::vector<std::filesystem::path>& paths, const std::filesystem::path& root) {
  std::vector<std::string> out;
  for (const auto& p : paths) out.push_back(p.lexically_relative(root).string());
  return out;
}

TEST(ListProjectSources, FilesNamedByMetadata) {
  TempDir dir;
  write_text(dir.path() / ".project.json", R"({"name":"A","version":"1.0.0"})");
  LocalSrcProject project{dir.path()};
  struct Case {
    const char* meta;  // nullptr: no `.meta.json`
    std::vector<std::string> listed;
  } cases[] = {
      {nullptr, {}},
      {R"({"index":{},"created":"2025-01-01T00:00:00Z"})", {}},
      {R"({"index":{"A":"a.sysml","B":"b/b.sysml"},"created":"2025-01-01T00:00:00Z"})", {"a.sysml", "b/b.sysml"}},
      // Checksum keys first; a file named in both maps once.
      {R"({"index":{"A":"a.sysml","C":"c.sysml","B":"b/b.sysml"},"created":"2025-01-01T00:00:00Z",
           "checksum":{"b/b.sysml":{"value":"0000000000000000000000000000000000000000000000000000000000000000","algorithm":"SHA256"},
                       "a.sysml":{"value":"","algorithm":"NONE"}}})",
       {"b/b.sysml", "a.sysml", "c.sysml"}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir.path() / ".meta.json");
    if (c.meta) write_text(dir.path() / ".meta.json", c.meta);
    auto listed = list_project_sources(project);
    ASSERT_TRUE(listed) << listed.error().message();
    EXPECT_EQ(relative(*listed, dir.path()), c.listed) << (c.meta ? c.meta : "no meta");
  }
}

TEST(ListProjectSources, Failures) {
  TempDir dir;
  write_text(dir.path() / ".project.json", R"({"name":"A","version":"1.0.0"})");
  LocalSrcProject project{dir.path()};

  write_text(dir.path() / ".meta.json",
             R"({"index":{},"created":"2025-01-01T00:00:00Z","checksum":{"a":{"value":"00","algorithm":"SHA256"}}})");
  auto invalid = list_project_sources(project);
  ASSERT_FALSE(invalid);
  EXPECT_TRUE(invalid.error().holds<ProjectSourcesError::Validation>());
  EXPECT_EQ(render_error_chain(invalid.error()),
            "project's `.meta.json` is invalid\n  caused by: invalid hex checksum length for SHA256: expected 64 "
            "char(s), got 2 char(s)\n");

  write_text(dir.path() / ".meta.json", "{");
  auto broken = list_project_sources(project);
  ASSERT_FALSE(broken);
  const auto* held = broken.error().get_if<ProjectSourcesError::Project>();
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(held->err.holds<LocalSrcError::Deserialize>());

  project.expected_name = "B";
  EXPECT_EQ(list_project_sources(project).error().message(), "project name `A` does not match expected `B`");
}

}  // namespace
}  // namespace kestro::project
