#include "kestro/utils/zip_writer.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/fs.hpp"
#include "zip_fixture.hpp"

namespace kestro::zip {
namespace {

std::string text_of_size(std::size_t n) {
  std::string out;
  for (std::size_t i = 0; out.size() < n; ++i) out += "part def P" + std::to_string(i % 113) + ";\n";
  out.resize(n);
  return out;
}

// Python's zipfile as an independent reader: checks every CRC with
// testzip() and prints name, method, sizes, external attributes, the Unix
// host and the date_time of each entry.
std::string python_listing(const std::filesystem::path& archive) {
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "print('testzip', z.testzip())\n"
      "for i in z.infolist():\n"
      "    data = z.read(i)\n"
      "    print(i.filename, i.compress_type, i.file_size, i.compress_size, oct(i.external_attr >> 16),\n"
      "          i.create_system, i.date_time, len(data))\n";
  const std::vector<std::string> argv{"python3", "-c", script, archive.string()};
  const auto result = testing::run_command(argv);
  EXPECT_EQ(result.status, 0) << result.out;
  return result.out;
}

class ZipWriterTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path path = dir.path() / "a.kpar";
};

TEST_F(ZipWriterTest, ArchiveReadsBackInBothReaders) {
  const std::string big = text_of_size(300000);
  const std::vector<std::tuple<std::string, std::string, std::uint16_t>> entries = {
      {"src/a.sysml", big, kMethodDeflated},
      {"b.kerml", "package B;\n", kMethodStored},
      {"empty.sysml", "", kMethodDeflated},
      {"pakkaus/ä.sysml", "package Ä;\n", kMethodStored},
      {".meta.json", "{}\n", kMethodDeflated},
  };
  ZipWriter writer({.modified = dos_date_time({2024, 5, 6, 10, 0, 59, 0})});
  std::string bytes;
  for (const auto& [name, data, method] : entries) ASSERT_TRUE(writer.add(name, data, method, bytes));
  writer.finish(bytes);
  write_text(path, bytes);

  auto archive = ZipArchive::open(path);
  ASSERT_TRUE(archive) << archive.error().message();
  ASSERT_EQ(archive->entries().size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& [name, data, method] = entries[i];
    const ZipEntry& e = archive->entries()[i];
    SCOPED_TRACE(name);
    EXPECT_EQ(e.name, name);
    EXPECT_EQ(e.method, method);
    EXPECT_EQ(e.version_made_by >> 8, 3);
    EXPECT_EQ(e.unix_mode(), 0100644u);
    EXPECT_EQ(e.dos_time, (10u << 11) | (0u << 5) | 29u);  // 10:00:58
    if (method == kMethodStored) {
      EXPECT_EQ(e.compressed_size, e.size);
    }
    auto read = archive->read_entry(name);  // checks size and CRC-32
    ASSERT_TRUE(read) << read.error().message();
    EXPECT_EQ(*read, data);
  }
  EXPECT_LT(archive->entries()[0].compressed_size, big.size() / 4);

  const std::string listing = python_listing(path);
  EXPECT_NE(listing.find("testzip None\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("src/a.sysml 8 300000"), std::string::npos) << listing;
  EXPECT_NE(listing.find("pakkaus/ä.sysml 0 12 12 0o100644 3 (2024, 5, 6, 10, 0, 58) 12"), std::string::npos)
      << listing;
  EXPECT_EQ(listing.find("src/ "), std::string::npos) << "no directory entry expected:\n" << listing;
}

TEST(ZipDosTime, RoundsDownAndClamps) {
  struct Case {
    time::CivilTime utc;
    DosDateTime expected;
  };
  auto dos = [](unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
    return DosDateTime{static_cast<std::uint16_t>((h << 11) | (mi << 5) | (s / 2)),
                       static_cast<std::uint16_t>(((y - 1980) << 9) | (mo << 5) | d)};
  };
  const Case cases[] = {
      {{2026, 12, 11, 10, 0, 59, 0}, dos(2026, 12, 11, 10, 0, 58)},
      {{2026, 12, 31, 23, 59, 60, 0}, dos(2026, 12, 31, 23, 59, 58)},
      {{2026, 1, 1, 0, 0, 2, 999'999'999}, dos(2026, 1, 1, 0, 0, 2)},
      {{1980, 1, 1, 0, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},
      {{1979, 12, 31, 23, 59, 59, 0}, dos(1980, 1, 1, 0, 0, 0)},
      {{1970, 1, 1, 0, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},
      {{2107, 12, 31, 23, 59, 59, 0}, dos(2107, 12, 31, 23, 59, 58)},
      {{2108, 1, 1, 0, 0, 0, 0}, dos(2107, 12, 31, 23, 59, 58)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.utc.year << "-" << c.utc.month << "-" << c.utc.day << " " << c.utc.hour
                                      << ":" << c.utc.minute << ":" << c.utc.second);
    EXPECT_EQ(dos_date_time(c.utc), c.expected);
  }
}

TEST(ZipWriterRefuses, BadNamesAndRepeats) {
  for (const char* name : {"", "src/"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(prepare_entry(name, "x", kMethodStored));
  }
  EXPECT_FALSE(prepare_entry(std::string(70000, 'a'), "x", kMethodStored));
  EXPECT_FALSE(prepare_entry("a.sysml", "x", 12));

  ZipWriter writer({});
  std::string bytes;
  ASSERT_TRUE(writer.add("a.sysml", "x", kMethodStored, bytes));
  const auto size = bytes.size();
  auto again = writer.add("a.sysml", "y", kMethodDeflated, bytes);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().message(), "invalid zip archive: duplicate entry name `a.sysml`");
  EXPECT_EQ(bytes.size(), size);
  EXPECT_EQ(writer.offset(), size);
}

// More entries than the classic end record can count: the zip64 end records
// carry the count, and both readers see every entry.
TEST_F(ZipWriterTest, EntryCountBeyondClassicLimitUsesZip64End) {
  constexpr std::size_t kCount = 70000;
  ZipWriter writer({});
  std::string bytes;
  for (std::size_t i = 0; i < kCount; ++i)
    ASSERT_TRUE(writer.add("f" + std::to_string(i) + ".sysml", "", kMethodStored, bytes));
  writer.finish(bytes);
  write_text(path, bytes);

  auto archive = ZipArchive::open(path);
  ASSERT_TRUE(archive) << archive.error().message();
  ASSERT_EQ(archive->entries().size(), kCount);
  EXPECT_EQ(archive->entries().back().name, "f69999.sysml");
  const std::string listing = python_listing(path);
  EXPECT_NE(listing.find("testzip None\n"), std::string::npos);
  EXPECT_NE(listing.find("f69999.sysml 0 0 0"), std::string::npos);
}

}  // namespace
}  // namespace kestro::zip
