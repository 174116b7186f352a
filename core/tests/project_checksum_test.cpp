#include "kestro/project/checksum.hpp"

#include <gtest/gtest.h>

#include "kestro/project/memory.hpp"
#include "kestro/utils/sha256.hpp"

namespace kestro::project {
namespace {

const std::string kBody = "package A;";
const std::string kBodySha = sha256_hex(kBody);

InterchangeProjectInfoRaw info() {
  InterchangeProjectInfoRaw i;
  i.name = "A";
  i.version = "1.0.0";
  return i;
}

InterchangeProjectMetadataRaw meta(std::vector<std::pair<std::string, InterchangeProjectChecksumRaw>> entries) {
  InterchangeProjectMetadataRaw m;
  m.created = "2025-01-01T00:00:00Z";
  m.checksum.emplace();
  for (auto& [path, entry] : entries) m.checksum->insert_or_assign(path, entry);
  return m;
}

InMemoryProject project(std::optional<InterchangeProjectMetadataRaw> m, InMemoryFiles files = {}) {
  return InMemoryProject({}, info(), std::move(m), std::move(files));
}

std::string canonical(const InMemoryProject& p) {
  auto r = p.checksum_canonical_hex();
  EXPECT_TRUE(r) << r.error().message();
  EXPECT_TRUE(r && *r);
  return r && *r ? **r : std::string();
}

TEST(CanonicalChecksum, Sha256EntriesAreTrusted) {
  // Files are absent: recorded values are taken as they stand.
  auto upper = project(meta({{"a.sysml", {"ABCDEF", "SHA256"}}}));
  auto lower = project(meta({{"a.sysml", {"abcdef", "SHA256"}}}));
  EXPECT_EQ(canonical(upper), canonical(lower));
  EXPECT_EQ(canonical(lower), canonical_project_digest_hex(info(), meta({{"a.sysml", {"abcdef", "SHA256"}}})));
}

TEST(CanonicalChecksum, OtherAlgorithmsAreRecomputed) {
  InMemoryFiles files{{"a.sysml", kBody}};
  auto recorded = canonical(project(meta({{"a.sysml", {kBodySha, "SHA256"}}})));
  for (const char* algorithm : {"sha256", "SHA-256", "MD5", "NONE"}) {
    auto p = project(meta({{"a.sysml", {"0123", algorithm}}}), files);
    EXPECT_EQ(canonical(p), recorded) << algorithm;
  }
}

TEST(CanonicalChecksum, MapPresenceAndOrderCount) {
  auto no_map = project(meta({}));
  no_map.meta->checksum.reset();
  auto empty_map = project(meta({}));
  EXPECT_NE(canonical(no_map), canonical(empty_map));

  InterchangeProjectChecksumRaw a{kBodySha, "SHA256"}, b{std::string(64, '0'), "SHA256"};
  EXPECT_NE(canonical(project(meta({{"a", a}, {"b", b}}))), canonical(project(meta({{"b", b}, {"a", a}}))));
}

TEST(CanonicalChecksum, AbsentRecords) {
  auto no_meta = project(std::nullopt);
  EXPECT_FALSE(no_meta.checksum_canonical_hex().value());
  auto no_info = InMemoryProject({}, std::nullopt, meta({{"a.sysml", {kBodySha, "SHA256"}}}));
  EXPECT_FALSE(no_info.checksum_canonical_hex().value());
}

TEST(CanonicalChecksum, FirstFailingEntryInMapOrder) {
  auto p = project(meta({{"ok", {"", "NONE"}}, {"gone", {"", "MD5"}}, {"also-gone", {"", "MD5"}}}), {{"ok", ""}});
  auto r = p.checksum_canonical_hex();
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().is_project_read());
  EXPECT_EQ(r.error().message(), "project read error: file `gone` not found");
  EXPECT_EQ(render_error_chain(r.error()), "project read error: file `gone` not found");
}

// A project whose records come from fixed answers, counting file opens.
class ScriptedProject : public ReadProject<InMemoryProjectError> {
 public:
  std::optional<InterchangeProjectInfoRaw> info;
  Result<std::optional<InterchangeProjectMetadataRaw>> meta = std::optional<InterchangeProjectMetadataRaw>();
  mutable int opened = 0;
  mutable int meta_reads = 0;

  Result<ProjectRecords> get_project() const override { return ProjectRecords{}; }
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override { return info; }
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override {
    ++meta_reads;
    return meta;
  }
  Result<SourceReaderPtr> read_source(std::string_view path) const override {
    ++opened;
    return std::unexpected(InMemoryProjectError::FileNotFound{std::string(path)});
  }
  Result<std::vector<Source>> sources(const ProjectContext&) const override { return std::vector<Source>{}; }
  Result<EnvProjectChecksum> checksum_hex() const override { return source_checksum(checksum_canonical_hex()); }
};

TEST(CanonicalChecksum, RecordTestOrder) {
  ScriptedProject p;  // no information record, one unreadable entry
  p.meta = meta({{"x.sysml", {"", "MD5"}}});
  // Local kinds canonicalise before testing for absent records.
  EXPECT_EQ(p.checksum_canonical_hex().error().message(), "project read error: file `x.sysml` not found");
  EXPECT_EQ(p.opened, 1);
  // Network kinds test first and open nothing.
  auto before = canonical_checksum_hex(p, RecordCheck::BeforeEntries);
  ASSERT_TRUE(before);
  EXPECT_FALSE(*before);
  EXPECT_EQ(p.opened, 1);

  // No information and a failing get_meta: the get_meta error.
  p.meta = std::unexpected(InMemoryProjectError::FileNotFound{".meta.json"});
  EXPECT_EQ(p.checksum_canonical_hex().error().message(), "project read error: file `.meta.json` not found");
  EXPECT_EQ(p.checksum_hex().error().message(), "project read error: file `.meta.json` not found");
}

TEST(CanonicalChecksum, InfoFailureSkipsMeta) {
  class FailingInfo : public ScriptedProject {
    Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override {
      return std::unexpected(InMemoryProjectError::FileNotFound{".project.json"});
    }
  } p;
  EXPECT_FALSE(p.checksum_canonical_hex());
  EXPECT_EQ(p.meta_reads, 0);
}

TEST(HashReader, StreamsEveryByte) {
  std::string big(100000, 'x');
  BytesSourceReader reader(big);
  EXPECT_EQ(to_hex(*hash_reader(reader)), sha256_hex(big));
  BytesSourceReader empty("");
  EXPECT_EQ(to_hex(*hash_reader(empty)), sha256_hex(""));
}

}  // namespace
}  // namespace kestro::project
