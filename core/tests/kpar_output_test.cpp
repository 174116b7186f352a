#include "kestro/commands/kpar_output.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/zip_reader.hpp"
#include "test_support.hpp"

namespace kestro::commands {
namespace {

time::Timestamp utc(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
  return {time::days_since_epoch(y, mo, d) * time::kSecondsPerDay + h * 3600 + mi * 60 + s, 0};
}

std::vector<std::string> dir_names(const std::filesystem::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::ranges::sort(out);
  return out;
}

class KparOutputTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path path = dir.path() / "p.kpar";
};

TEST_F(KparOutputTest, FinishedArchiveCarriesTheStartTimeOnEveryEntry) {
  for (auto compression : {project::KparCompression::Stored, project::KparCompression::Deflated}) {
    std::filesystem::remove(path);
    auto out = KparOutput::create(path, compression, utc(2026, 12, 11, 10, 0, 59));
    ASSERT_TRUE(out) << out.error().message();
    ASSERT_TRUE(out->add("src/a.sysml", "package A;\n"));
    ASSERT_TRUE(out->add(".meta.json", "{}\n"));
    EXPECT_FALSE(std::filesystem::exists(path));  // only the finished archive appears
    ASSERT_TRUE(std::move(*out).finish());

    auto archive = zip::ZipArchive::open(path);
    ASSERT_TRUE(archive) << archive.error().message();
    ASSERT_EQ(archive->entries().size(), 2u);
    for (const auto& e : archive->entries()) {
      SCOPED_TRACE(e.name);
      EXPECT_EQ(e.dos_time, (10u << 11) | 29u);  // 10:00:58
      EXPECT_EQ(e.unix_mode(), 0100644u);
      EXPECT_EQ(e.method, compression == project::KparCompression::Stored ? zip::kMethodStored
                                                                          : zip::kMethodDeflated);
    }
    EXPECT_EQ(*archive->read_entry("src/a.sysml"), "package A;\n");
    EXPECT_EQ(dir_names(dir.path()), std::vector<std::string>{"p.kpar"});
  }
}

// A build that fails part-way leaves the target as it was: absent, or the
// previous archive byte for byte, and no temporary behind.
TEST_F(KparOutputTest, FailedArchiveLeavesTheTargetAsItWas) {
  for (bool previous : {false, true}) {
    SCOPED_TRACE(previous ? "previous archive" : "no previous archive");
    std::filesystem::remove(path);
    if (previous) write_text(path, "an earlier archive");
    {
      auto out = KparOutput::create(path, project::KparCompression::Deflated, utc(2026, 1, 1, 0, 0, 0));
      ASSERT_TRUE(out);
      ASSERT_TRUE(out->add("a.sysml", "package A;\n"));
      auto again = out->add("a.sysml", "package B;\n");
      ASSERT_FALSE(again);
      EXPECT_EQ(again.error().message(),
                "failed to write file `a.sysml` to zip archive: invalid zip archive: duplicate entry name `a.sysml`");
    }
    if (previous) {
      EXPECT_EQ(read_bytes(path), "an earlier archive");
      EXPECT_EQ(dir_names(dir.path()), std::vector<std::string>{"p.kpar"});
    } else {
      EXPECT_TRUE(dir_names(dir.path()).empty());
    }
  }
}

TEST_F(KparOutputTest, UncreatableTemporaryIsCreateFileNamingTheTarget) {
  auto out = KparOutput::create(dir.path() / "missing" / "p.kpar", project::KparCompression::Stored, {});
  ASSERT_FALSE(out);
  EXPECT_TRUE(out.error().message().starts_with("failed to create file\n  `")) << out.error().message();
  EXPECT_NE(out.error().message().find("missing/p.kpar`"), std::string::npos) << out.error().message();
}

}  // namespace
}  // namespace kestro::commands
