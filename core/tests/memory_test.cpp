#include "kestro/project/memory.hpp"

#include <gtest/gtest.h>

namespace kestro::project {
namespace {

InterchangeProjectInfoRaw info() {
  InterchangeProjectInfoRaw i;
  i.name = "A";
  i.version = "1.0.0";
  return i;
}

InterchangeProjectMetadataRaw meta_with(std::string path, InterchangeProjectChecksumRaw entry) {
  InterchangeProjectMetadataRaw m;
  m.created = "2025-01-01T00:00:00Z";
  m.checksum.emplace();
  m.checksum->insert_or_assign(std::move(path), std::move(entry));
  return m;
}

TEST(InMemoryProject, InfoWithoutMeta) {
  InMemoryProject p({}, info(), std::nullopt);
  auto records = p.get_project();
  ASSERT_TRUE(records);
  EXPECT_EQ(records->first, info());
  EXPECT_FALSE(records->second);
  EXPECT_FALSE(p.checksum_canonical_hex().value());
  EXPECT_EQ(p.checksum_hex().error().message(), "project is missing `.project.json` and/or `.meta.json` files");
  EXPECT_TRUE(p.sources(ProjectContext{})->empty());
}

TEST(InMemoryProject, ChecksumHex) {
  // All entries "SHA256": no file needed, upper case lowered.
  InMemoryProject trusted({}, info(), meta_with("a.sysml", {"ABCD", "SHA256"}));
  auto sum = trusted.checksum_hex();
  ASSERT_TRUE(sum) << sum.error().message();
  EXPECT_EQ(*sum, EnvProjectChecksum::src(canonical_project_digest_hex(info(), meta_with("a.sysml", {"abcd", "SHA256"}))));

  // Lower-case "sha256" is another algorithm: recomputed, so the file must exist.
  InMemoryProject recompute({}, info(), meta_with("a.sysml", {"abcd", "sha256"}));
  EXPECT_EQ(recompute.checksum_hex().error().message(), "project read error: file `a.sysml` not found");
  // The entry is checked before the missing record is.
  InMemoryProject no_info({}, std::nullopt, meta_with("a.sysml", {"abcd", "MD5"}));
  EXPECT_TRUE(no_info.checksum_hex().error().holds<InMemoryProjectError::FileNotFound>());
}

TEST(InMemoryProject, ReadSourceAndSources) {
  std::vector<Source> sources{RemoteKparSource{"https://x/a.kpar", 10, "ab"}, EditableSource{"."}};
  InMemoryProject p(sources, info(), std::nullopt, {{"a/b", "bytes"}});
  EXPECT_EQ(p.sources(ProjectContext{}).value(), sources);
  for (const char* path : {"a/b", "a//b", "a/./b"}) {
    auto reader = p.read_source(path);
    ASSERT_TRUE(reader) << path;
    char buf[16];
    EXPECT_EQ((*reader)->read(buf).value(), 5u);
    EXPECT_EQ((*reader)->read(buf).value(), 0u);
  }
  EXPECT_EQ(p.read_source("A/b").error().message(), "project read error: file `A/b` not found");
}

}  // namespace
}  // namespace kestro::project
