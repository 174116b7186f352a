#include "kestro/utils/zip_reader.hpp"

#include <fcntl.h>

#include <functional>
#include <zlib.h>

#include <gtest/gtest.h>

#include "kestro/project/kpar_error.hpp"
#include "kestro/utils/fs_error.hpp"
#include "zip_fixture.hpp"

namespace kestro::zip {
namespace {


std::string repetitive(std::size_t n) {
  std::string out;
  for (std::size_t i = 0; out.size() < n; ++i) out += "part " + std::to_string(i % 97) + " of a project file\n";
  out.resize(n);
  return out;
}

std::string le32_bytes(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// Bytes that deflate cannot shrink.
std::string noise(std::size_t n) {
  std::string out(n, '\0');
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  for (char& c : out) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    c = static_cast<char>(state >> 56);
  }
  return out;
}

std::vector<std::string> names(const ZipArchive& archive) {
  std::vector<std::string> out;
  for (const auto& e : archive.entries()) out.push_back(e.name);
  return out;
}

class ZipReaderTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path path = dir.path() / "a.kpar";
  std::string big = repetitive(200000);

  ZipArchive open_ok() {
    auto archive = ZipArchive::open(path);
    if (!archive) ADD_FAILURE() << archive.error().message();
    return std::move(*archive);
  }
};

TEST_F(ZipReaderTest, ListsAndReadsStoredAndDeflatedEntries) {
  make_zip(path, {{"proj/.project.json", "{\"name\":\"x\"}"},
                  {"proj/src/big.sysml", big, true},
                  {"\xC3\xA9t\xC3\xA9.sysml", "", true},
                  {"empty", ""}});
  auto archive = open_ok();
  EXPECT_EQ(names(archive),
            (std::vector<std::string>{"proj/.project.json", "proj/src/big.sysml", "\xC3\xA9t\xC3\xA9.sysml", "empty"}));
  EXPECT_EQ(archive.entries()[0].method, kMethodStored);
  EXPECT_EQ(archive.entries()[1].method, kMethodDeflated);
  EXPECT_LT(archive.entries()[1].compressed_size, big.size() / 4);
  EXPECT_EQ(archive.entries()[1].size, big.size());
  EXPECT_EQ(archive.read_entry("proj/.project.json").value(), "{\"name\":\"x\"}");
  EXPECT_EQ(archive.read_entry("proj/src/big.sysml").value(), big);
  EXPECT_EQ(archive.read_entry("\xC3\xA9t\xC3\xA9.sysml").value(), "");
  EXPECT_EQ(archive.read_entry("empty").value(), "");
}

TEST_F(ZipReaderTest, StreamsAnEntryInSmallReads) {
  make_zip(path, {{"d", big, true}, {"s", big}});
  auto archive = open_ok();
  for (const char* name : {"d", "s"}) {
    auto reader = archive.open_entry(name);
    ASSERT_TRUE(reader) << reader.error().message();
    std::string got;
    char buf[7];
    while (true) {
      auto n = reader->read(buf);
      ASSERT_TRUE(n) << n.error().message();
      if (*n == 0) break;
      got.append(buf, *n);
    }
    EXPECT_EQ(got, big) << name;
    EXPECT_EQ(reader->read(buf).value(), 0u);
  }
}

TEST_F(ZipReaderTest, LookupIsExactAndTellsAbsenceApart) {
  make_zip(path, {{".project.json", "top"}, {"proj/.project.json", "inner"}, {"proj/.Meta.json", "m"}});
  auto archive = open_ok();
  EXPECT_EQ(archive.find("proj/.project.json").value(), 1u);
  EXPECT_EQ(archive.read_entry(".project.json").value(), "top");
  for (const char* absent : {"proj/.meta.json", ".Project.json", "proj/", "/proj/.project.json", ""}) {
    auto found = archive.open_entry(absent);
    ASSERT_FALSE(found) << absent;
    EXPECT_TRUE(found.error().is_not_found());
    EXPECT_EQ(found.error().message(), "specified file not found in archive");
  }
}

TEST_F(ZipReaderTest, MissingFileIsAnIoError) {
  auto archive = ZipArchive::open(dir.path() / "nope.kpar");
  ASSERT_FALSE(archive);
  EXPECT_TRUE(archive.error().holds<ZipError::Io>());
  EXPECT_EQ(archive.error().message(), "No such file or directory (os error 2)");
}

TEST_F(ZipReaderTest, BrokenArchivesAreInvalid) {
  make_zip(path, {{"a", "hello"}, {"b", big, true}});
  const std::string good = read_bytes(path);
  const auto end = good.rfind("PK\x05\x06");
  const auto central = good.find("PK\x01\x02");
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"empty file", "", "invalid zip archive: could not find end of central directory record"},
      {"text", "{\"name\": \"not a zip\"}\n", "invalid zip archive: could not find end of central directory record"},
      {"end record cut", good.substr(0, good.size() - 4),
       "invalid zip archive: could not find end of central directory record"},
      {"directory offset beyond its end", good.substr(0, end + 16) + le32_bytes(central + 1000) + good.substr(end + 20),
       "invalid zip archive: central directory offset or size out of range"},
      {"central header damaged", good.substr(0, central) + "XX" + good.substr(central + 2),
       "invalid zip archive: invalid central directory header of entry 0"},
  };
  for (const auto& c : cases) {
    write_text(path, c.bytes);
    auto archive = ZipArchive::open(path);
    ASSERT_FALSE(archive) << c.what;
    EXPECT_TRUE(archive.error().holds<ZipError::InvalidArchive>()) << c.what;
    EXPECT_EQ(archive.error().message(), c.message) << c.what;
  }
  // The error as a KPAR reader reports it.
  auto failed = ZipArchive::open(path);
  project::ZipArchiveError wrapped(project::ZipArchiveError::ReadArchive{"lib.kpar", failed.error()});
  EXPECT_EQ(wrapped.message(),
            "failed to parse zip archive `lib.kpar`: invalid zip archive: invalid central directory header of entry 0");
}

TEST_F(ZipReaderTest, DamagedEntryDataFailsTheRead) {
  make_zip(path, {{"stored", "hello"}, {"deflated", big, true}});
  auto crc = [](std::string_view s) { return static_cast<std::uint32_t>(crc32(0, (const Bytef*)s.data(), s.size())); };
  // A CRC-32 that does not match the content, in both headers.
  patch_bytes(path, le32_bytes(crc("hello")), le32_bytes(crc("hellO")));
  {
    auto archive = open_ok();
    auto read = archive.read_entry("stored");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().message(), "invalid zip archive: CRC-32 mismatch in entry `stored`");
    EXPECT_EQ(archive.read_entry("deflated").value(), big);
  }
  // Garbage in the middle of the deflate stream.
  {
    auto archive = open_ok();
    const auto& e = archive.entries()[1];
    auto offset = archive.data_offset(e).value() + e.compressed_size / 2;
    std::string bytes = read_bytes(path);
    for (int i = 0; i < 16; ++i) bytes[offset + i] = static_cast<char>(0xA5 ^ i);
    write_text(path, bytes);
  }
  auto archive = open_ok();
  auto read = archive.read_entry("deflated");
  ASSERT_FALSE(read);
  EXPECT_TRUE(read.error().holds<ZipError::InvalidArchive>());
  EXPECT_NE(read.error().message().find("entry `deflated`"), std::string::npos) << read.error().message();
}

// `read_all` inflates a deflated entry in one call, the streaming reader
// piece by piece with zlib: on a sound entry and on every kind of damage,
// both give the same bytes or the same failure.
TEST_F(ZipReaderTest, WholeEntryAndStreamedReadsAgree) {
  auto crc = [](std::string_view s) { return static_cast<std::uint32_t>(crc32(0, (const Bytef*)s.data(), s.size())); };
  auto garble = [&](std::size_t at) {
    auto archive = open_ok();
    const auto& e = archive.entries()[0];
    auto offset = archive.data_offset(e).value() + at;
    std::string bytes = read_bytes(path);
    for (int i = 0; i < 16; ++i) bytes[offset + i] = static_cast<char>(0xA5 ^ i);
    write_text(path, bytes);
  };
  struct Case {
    const char* name;
    std::function<void()> damage;
    std::string_view error;  // empty: the entry reads whole
  } cases[] = {
      {"sound", [] {}, ""},
      {"claims one byte less", [&] { claim_entry_size(path, 199999); }, "entry `e` is larger than its recorded size"},
      {"claims one byte more", [&] { claim_entry_size(path, 200001); }, "entry `e` is shorter than its recorded size"},
      {"claims ten bytes", [&] { claim_entry_size(path, 10); }, "entry `e` is larger than its recorded size"},
      {"wrong CRC-32", [&] { patch_bytes(path, le32_bytes(crc(big)), le32_bytes(crc(big) ^ 1)); },
       "CRC-32 mismatch in entry `e`"},
      {"garbage in the stream", [&] { garble(40); }, "?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    make_zip(path, {{"e", big, true}});
    c.damage();
    auto archive = open_ok();
    auto whole = archive.read_entry("e");
    auto reader = archive.open_entry("e").value();
    std::expected<std::string, ZipError> streamed = std::string();
    char buffer[1000];
    for (;;) {
      auto n = reader.read(buffer);
      if (!n) {
        streamed = std::unexpected(n.error());
        break;
      }
      if (*n == 0) break;
      streamed->append(buffer, *n);
    }
    ASSERT_EQ(whole.has_value(), streamed.has_value());
    if (whole) {
      EXPECT_TRUE(c.error.empty());
      EXPECT_EQ(*whole, big);
      EXPECT_EQ(*streamed, big);
      continue;
    }
    EXPECT_EQ(whole.error().message(), streamed.error().message());
    if (c.error != "?") {
      EXPECT_EQ(whole.error().message(), "invalid zip archive: " + std::string(c.error));
    }
  }
}

// A deflated entry of 1 MiB that claims almost 4 GiB: the reader's memory
// follows the bytes inflated, not the claim, and the read fails cleanly in a
// process that could not hold the claim.
TEST_F(ZipReaderTest, ClaimedSizeDoesNotDriveAllocation) {
  make_zip(path, {{"claims-4-GiB", noise(1 << 20), true}});
  claim_entry_size(path, 0xFFFFFFF0u);
  int status = run_with_memory_limit(256u << 20, [&] {
    auto archive = ZipArchive::open(path);
    if (!archive) return 2;
    auto read = archive->read_entry("claims-4-GiB");
    if (read) return 3;
    return read.error().message() == "invalid zip archive: entry `claims-4-GiB` is shorter than its recorded size" ? 0 : 4;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(ZipReaderTest, OverlappingEntriesAreInvalid) {
  // Entries that share bytes inflate the same data again and again: one
  // header named twice, or data that runs over the next entry's header.
  struct Case {
    const char* what;
    std::size_t entry, field;
    std::uint32_t value;
    const char* message;
  } cases[] = {
      {"one header for two entries", 1, 42, 0, "invalid zip archive: entries `a` and `b` overlap"},
      {"data over the next header", 0, 20, 40, "invalid zip archive: entries `a` and `b` overlap"},
      {"data over the last header", 1, 20, 40, "invalid zip archive: entries `b` and `c` overlap"},
  };
  for (const auto& c : cases) {
    make_zip(path, {{"a", "hello"}, {"b", "world"}, {"c", "again"}});
    ASSERT_TRUE(ZipArchive::open(path)) << c.what;
    patch_central_field(path, c.entry, c.field, c.value);
    auto archive = ZipArchive::open(path);
    ASSERT_FALSE(archive) << c.what;
    EXPECT_TRUE(archive.error().holds<ZipError::InvalidArchive>()) << c.what;
    EXPECT_EQ(archive.error().message(), c.message) << c.what;
  }
  // Entries that only touch are fine, and their declared sizes add up.
  make_zip(path, {{"a", "hello"}, {"b", big, true}, {"c", ""}});
  auto archive = open_ok();
  EXPECT_EQ(archive.declared_size(), 5 + big.size());
}

TEST_F(ZipReaderTest, UnsupportedMethodIsListedButNotRead) {
  make_zip(path, {{"b.bz2", big, false, 12}, {"ok", "fine"}});
  auto archive = open_ok();
  EXPECT_EQ(archive.entries()[0].method, 12);
  EXPECT_EQ(method_name(archive.entries()[0].method), "Bzip2");
  auto read = archive.open_entry("b.bz2");
  ASSERT_FALSE(read);
  EXPECT_TRUE(read.error().holds<ZipError::UnsupportedArchive>());
  EXPECT_EQ(read.error().message(), "unsupported zip archive: compression method Bzip2 of entry `b.bz2`");
  EXPECT_EQ(archive.read_entry("ok").value(), "fine");
}

TEST_F(ZipReaderTest, Zip64CommentAndLeadingBytes) {
  make_zip(path, {{"a", "first"}, {"b", big, true}}, {.zip64 = true, .comment = "PK\x05\x06 a comment", .prefix = "#!stub\n"});
  auto archive = open_ok();
  EXPECT_EQ(archive.comment(), "PK\x05\x06 a comment");
  EXPECT_EQ(names(archive), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(archive.read_entry("a").value(), "first");
  EXPECT_EQ(archive.read_entry("b").value(), big);
}

TEST_F(ZipReaderTest, EntryAttributes) {
  make_zip(path, {{"exec", "x", false, -1, 0100755u << 16, 3},
                  {"dos-dir/", "", false, -1, 0x10 | 0x01, 0},
                  {"xAy.txt", "cp437"}});
  patch_bytes(path, "xAy.txt", "x\x82y.txt");  // é in code page 437, no UTF-8 flag
  auto archive = open_ok();
  const auto& e = archive.entries();
  EXPECT_EQ(e[0].unix_mode(), 0100755u);
  EXPECT_EQ(e[1].unix_mode(), 040555u);
  EXPECT_TRUE(e[1].is_dir());
  EXPECT_FALSE(e[0].is_encrypted());
  EXPECT_EQ(e[2].name, "x\xC3\xA9y.txt");
  EXPECT_EQ(archive.read_entry("x\xC3\xA9y.txt").value(), "cp437");
  // The data offset points at the stored bytes.
  EXPECT_EQ(read_bytes(path).substr(archive.data_offset(e[0]).value(), 1), "x");
}

TEST(ZipEntryMode, FromExternalAttributes) {
  struct Case {
    int host;
    std::uint32_t attributes;
    std::optional<std::uint32_t> mode;
  } cases[] = {
      {3, 0100644u << 16, 0100644u},
      {3, 0x20, 0u},                            // made on Unix: the upper half, even when zero
      {11, 0120777u << 16, 0120777u},           // another host with a mode set
      {0, 0x20, 0100664u},                      // DOS file
      {0, 0x21, 0100444u},                      // DOS read-only file
      {0, 0x10, 040775u},                       // DOS directory
      {11, 0x20, std::nullopt},                 // another host without a mode
      {3, 0, std::nullopt},                     // no attributes at all
  };
  for (const auto& c : cases) {
    ZipEntry e;
    e.version_made_by = static_cast<std::uint16_t>(c.host << 8 | 20);
    e.external_attributes = c.attributes;
    EXPECT_EQ(e.unix_mode(), c.mode) << c.host << " " << c.attributes;
  }
}

TEST(ZipEntryName, SafeNames) {
  struct Case {
    const char* name;
    bool safe;
  } cases[] = {
      {"a.sysml", true}, {"proj/.project.json", true}, {"a/../b", true}, {"./a", true}, {"dir/", true},
      {"", false},       {"/etc/passwd", false},       {"../a", false},  {"a/../../b", false},
  };
  for (const auto& c : cases) {
    ZipEntry e;
    e.name = c.name;
    EXPECT_EQ(e.has_safe_name(), c.safe) << c.name;
  }
  ZipEntry nul;
  nul.name = std::string("a\0b", 3);
  EXPECT_FALSE(nul.has_safe_name());
}

TEST_F(ZipReaderTest, FromDescriptorIgnoresThePosition) {
  make_zip(path, {{"a", "bytes"}});
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ::lseek(fd, 3, SEEK_SET);
  auto archive = ZipArchive::from_fd(UniqueFd(fd));
  ASSERT_TRUE(archive) << archive.error().message();
  ZipArchive moved = std::move(*archive);
  EXPECT_EQ(moved.read_entry("a").value(), "bytes");
}

}  // namespace
}  // namespace kestro::zip
