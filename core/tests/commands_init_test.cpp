#include "kestro/commands/init.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"
#include "test_support.hpp"

namespace kestro::commands {
namespace {

// 2025-03-04T05:06:07Z plus 999 ms.
constexpr time::Timestamp kLate{1741064767, 999'000'000};

TEST(Init, CreatedIsWholeSecondsNeverRoundedUp) {
  TempDir dir;
  log::ScopedCapture capture;
  auto project = do_init("demo", "acme", "1.0.0", false, std::nullopt, false, dir.path(), [] { return kLate; });
  ASSERT_TRUE(project) << project.error().message();
  EXPECT_EQ(project->project_path, dir.path());
  EXPECT_EQ(read_bytes(dir.path() / ".project.json"),
            "{\n  \"name\": \"demo\",\n  \"publisher\": \"acme\",\n  \"version\": \"1.0.0\"\n}\n");
  EXPECT_EQ(read_bytes(dir.path() / ".meta.json"), "{\n  \"index\": {},\n  \"created\": \"2025-03-04T05:06:07Z\"\n}\n");
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].target, "kestro_core::commands::init");
  EXPECT_NE(capture.records()[0].message.find("Creating"), std::string::npos);
  EXPECT_TRUE(capture.records()[0].message.ends_with(" interchange project `demo`"));
}

// The checks come before anything is written, the version first; the
// switches turn them off.
TEST(Init, ChecksAndSwitches) {
  struct Case {
    const char* version;
    std::optional<std::string> license;
    bool no_semver;
    bool no_spdx;
    const char* error;  // empty: accepted
  } cases[] = {
      {"1.0", "nope", false, false, "failed to parse `1.0` as a Semantic Version: "},
      {"1.0.0", "nope", false, false, "failed to parse `nope` as an SPDX license expression:\nnope\n^^^^ unknown term"},
      {"1.0", "nope", true, true, ""},
      {"1.0.0", "MIT or ISC", false, true, ""},
      {"v1.0.0", "MIT", true, false, ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto project = do_init("demo", std::nullopt, c.version, c.no_semver, c.license, c.no_spdx, dir.path());
    if (*c.error == '\0') {
      ASSERT_TRUE(project) << c.version << ": " << project.error().message();
      EXPECT_NE(read_bytes(dir.path() / ".project.json").find(*c.license), std::string::npos);
      continue;
    }
    ASSERT_FALSE(project) << c.version;
    EXPECT_TRUE(project.error().message().starts_with(c.error)) << project.error().message();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / ".project.json"));
  }
}

}  // namespace
}  // namespace kestro::commands
