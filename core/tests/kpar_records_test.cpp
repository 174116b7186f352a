#include <gtest/gtest.h>

#include "kestro/project/kpar_records.hpp"
#include "support/records.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

namespace kestro::project {
namespace {

using testing::kInfo;

OpenedKpar opened(std::filesystem::path archive, std::optional<std::string> root) {
  OpenedKpar kpar;
  kpar.archive_path = std::move(archive);
  kpar.root_prefix = std::move(root);
  return kpar;
}

constexpr const char* kMeta = R"({"index":{"A":"a.sysml"},"created":"2025-01-01T00:00:00Z"})";

TEST(KparRecords, RootSelectsTheEntries) {
  TempDir dir;
  auto archive = dir.path() / "p.kpar";
  make_zip(archive, {{".project.json", R"({"name":"top","version":"0.0.1"})"},
                     {"proj/.project.json", kInfo, true},
                     {"proj/.meta.json", kMeta, true},
                     {"other/.Project.json", kInfo}});
  auto rooted = read_kpar_project_files(opened(archive, "proj"));
  ASSERT_TRUE(rooted) << rooted.error().message();
  EXPECT_EQ(rooted->first->name, "P");
  EXPECT_EQ(rooted->second->index.size(), 1u);

  auto top = read_kpar_project_files(opened(archive, std::nullopt));
  ASSERT_TRUE(top);
  EXPECT_EQ(top->first->name, "top");
  EXPECT_FALSE(top->second);

  auto capital = read_kpar_project_info(opened(archive, "other"));
  ASSERT_TRUE(capital);
  EXPECT_FALSE(*capital);
}

TEST(KparRecords, Failures) {
  TempDir dir;
  auto archive = dir.path() / "p.kpar";
  make_zip(archive, {{"proj/.project.json", kInfo}, {"proj/.meta.json", "{\"index\":", true}});
  auto broken = read_kpar_project_files(opened(archive, "proj"));
  ASSERT_FALSE(broken);
  EXPECT_EQ(broken.error().message(),
            "project deserialization error: failed to deserialize `.meta.json`: EOF while parsing a value at line 1 "
            "column 9");

  auto missing = read_kpar_project_meta(opened(dir.path() / "none.kpar", "proj"));
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().holds<LocalKparError::Io>());
  EXPECT_NE(missing.error().message().find("failed to open file\n  `"), std::string::npos);

  write_text(dir.path() / "junk.kpar", "not a zip archive at all");
  auto junk = read_kpar_project_files(opened(dir.path() / "junk.kpar", "proj"));
  ASSERT_FALSE(junk);
  EXPECT_TRUE(junk.error().holds<LocalKparError::Zip>());
  EXPECT_TRUE(junk.error().message().starts_with("failed to parse zip archive `" + (dir.path() / "junk.kpar").string() + "`: "))
      << junk.error().message();
}

TEST(KparRecords, CorruptEntryIsADeserializeError) {
  TempDir dir;
  auto archive = dir.path() / "p.kpar";
  make_zip(archive, {{".project.json", kInfo}});
  // Flip a byte of the stored record: the CRC check fails while reading.
  patch_bytes(archive, "\"P\"", "\"Q\"");
  auto r = read_kpar_project_info(opened(archive, std::nullopt));
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().holds<LocalKparError::Deserialize>());
}

// A record entry that claims more than a record may hold is refused before
// anything is inflated.
TEST(KparRecords, OversizedRecordIsRefused) {
  TempDir dir;
  auto archive = dir.path() / "p.kpar";
  make_zip(archive, {{".project.json", kInfo, true}});
  claim_entry_size(archive, 0xFFFFFFF0u);
  auto r = read_kpar_project_info(opened(archive, std::nullopt));
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().holds<LocalKparError::Deserialize>());
  EXPECT_EQ(r.error().message(),
            "project deserialization error: failed to deserialize `.project.json`: the entry declares 4294967280 "
            "bytes, more than the 268435456 bytes a project record may hold");
}

TEST(IndexedSymbols, ExactPaths) {
  OrderedMap<std::string> index;
  index.insert_or_assign("A", "x.sysml");
  index.insert_or_assign("C", "y.sysml");
  index.insert_or_assign("B", "x.sysml");
  EXPECT_EQ(indexed_symbols_for_file(index, "x.sysml"), (std::set<std::string>{"A", "B"}));
  EXPECT_TRUE(indexed_symbols_for_file(index, "./x.sysml").empty());
}

}  // namespace
}  // namespace kestro::project
