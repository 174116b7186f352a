#include "kestro/commands/build.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"
#include "test_support.hpp"

namespace kestro::commands {
namespace {

TEST(IncludeOptionalFile, FoundMissingAndUnreadable) {
  TempDir dir;
  write_text(dir.path() / "README.md", "# Demo\n");
  std::filesystem::create_directories(dir.path() / "LICENSES");
  write_text(dir.path() / "LICENSES" / "MIT.txt", "\xff\xfe not text");
  log::ScopedCapture capture;

  auto readme = include_optional_file(dir.path(), "README.md", "readme");
  ASSERT_TRUE(readme) << readme.error().message();
  EXPECT_EQ(*readme, std::optional<std::string>("# Demo\n"));
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].target, kBuildLogTarget);
  EXPECT_NE(capture.records()[0].message.find("Including"), std::string::npos);
  EXPECT_TRUE(capture.records()[0].message.ends_with(
      "readme from `" + (dir.path() / "README.md").string() + "`"))
      << capture.records()[0].message;

  auto changelog = include_optional_file(dir.path(), "CHANGELOG.md", "changelog");
  ASSERT_TRUE(changelog);
  EXPECT_EQ(*changelog, std::nullopt);

  auto licence = include_optional_file(dir.path(), "LICENSES/MIT.txt", "license");
  ASSERT_FALSE(licence);
  EXPECT_TRUE(licence.error().holds<FsIoError::ReadFile>());
  EXPECT_EQ(licence.error().path(), dir.path() / "LICENSES" / "MIT.txt");
  EXPECT_EQ(capture.records().size(), 1u);  // neither the missing nor the failed file is announced
}

}  // namespace
}  // namespace kestro::commands
