#include "kestro/utils/fs.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "kestro/model/relative_path.hpp"
#include "kestro/project/kpar_error.hpp"
#include "kestro/project/paths.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

TEST(FsIoErrorText, Variants) {
  auto enoent = IoError::from_errno(ENOENT);
  const std::string no_such = "No such file or directory (os error 2)";
  struct Case {
    FsIoError error;
    std::string expected;
    std::string debug;  // the variant's name and its fields
  } cases[] = {
      {FsIoError(FsIoError::Move{"/a/x", "/b/x", enoent}),
       "failed to move\n  `/a/x` to\n  `/b/x`:\n  " + no_such, "Move(\"/a/x\", \"/b/x\", " + no_such + ")"},
      {FsIoError(FsIoError::Seek{"/f", 42, enoent}), "failed to seek file `/f` to 42:\n  " + no_such,
       "Seek(\"/f\", 42, " + no_such + ")"},
      {FsIoError(FsIoError::MkTempDir{enoent}), "failed to create a temporary directory: " + no_such,
       "MkTempDir(" + no_such + ")"},
      {FsIoError(FsIoError::MetadataHandle{enoent}), "failed to get metadata for file: " + no_such,
       "MetadataHandle(" + no_such + ")"},
      {FsIoError(FsIoError::CreateTempFile{enoent}), "failed to create a temporary file: " + no_such,
       "CreateTempFile(" + no_such + ")"},
      {FsIoError(FsIoError::ReadFileHandle{enoent}), "failed to read file: " + no_such,
       "ReadFileHandle(" + no_such + ")"},
      {FsIoError(FsIoError::CurrentDir{enoent}), "failed to get path to current directory:\n  " + no_such,
       "CurrentDir(" + no_such + ")"},
      {FsIoError(FsIoError::OpenFile{fs::path("/x\xff" "y"), enoent}),
       "failed to open file\n  `/x\xEF\xBF\xBDy`:\n  " + no_such, "OpenFile(\"/x\xEF\xBF\xBDy\", " + no_such + ")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.message(), c.expected);
    EXPECT_EQ(c.error.cause(), nullptr);
    EXPECT_EQ(c.error.debug(), c.debug);
  }
}

TEST(RelativePathErrorText, NullIsQuoted) {
  RelativePathError e(RelativePathError::ContainsNull{std::string("a\0b", 3)});
  EXPECT_EQ(e.message(), "path `\"a\\0b\"` contains a NULL character");
  // Other non-printable characters, ASCII or not, as \u{hex}; printable ones as they are.
  RelativePathError controls(
      RelativePathError::ContainsNull{std::string("\0\x01\x7f\xc2\x85\xc2\xa0\xc2\xa9\xc3\xa9", 11)});
  EXPECT_EQ(controls.message(),
            "path `\"\\0\\u{1}\\u{7f}\\u{85}\\u{a0}\xc2\xa9\xc3\xa9\"` contains a NULL character");
  EXPECT_EQ(RelativePathError(RelativePathError::ContainsParent{"a/../b"}).message(),
            "path `a/../b` contains a forbidden relative component `..`");
}

TEST(ZipArchiveErrorText, Variants) {
  const zip::ZipError zip = zip::ZipError::io(IoError::custom("entry damaged"));
  struct Case {
    ZipArchiveError error;
    std::string message;
    std::string debug;
  } cases[] = {
      {ZipArchiveError::ReadArchive{"lib.kpar", zip}, "failed to parse zip archive `lib.kpar`: entry damaged",
       "ReadArchive(\"lib.kpar\", ZipError::Io(entry damaged))"},
      {ZipArchiveError::FileMeta{zip}, "failed to retrieve file from zip archive: entry damaged",
       "FileMeta(ZipError::Io(entry damaged))"},
      // The entry's name, not its zip error.
      {ZipArchiveError::NamedFileMeta{"p/a.sysml", zip}, "failed to retrieve file from zip archive: p/a.sysml",
       "NamedFileMeta(\"p/a.sysml\", ZipError::Io(entry damaged))"},
      {ZipArchiveError::InvalidPath{".project.json"},
       "zip archive path handling error: file `.project.json` in a zip archive is not contained in a directory",
       "InvalidPath(\".project.json\")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.message(), c.message);
    EXPECT_EQ(c.error.cause(), nullptr);
    EXPECT_EQ(c.error.debug(), c.debug);
  }
}

TEST(Compression, Names) {
  EXPECT_EQ(parse_compression("STORED"), KparCompression::Stored);
  EXPECT_EQ(parse_compression("DEFLATED"), KparCompression::Deflated);
  EXPECT_EQ(parse_compression("ZSTD").error().message(), "Compile kestro with feature kpar-zstd to use ZSTD compression");
  EXPECT_EQ(parse_compression("zstd").error().message(), "Compression method `zstd` is invalid");
  EXPECT_EQ(parse_compression(" STORED").error().message(), "Compression method ` STORED` is invalid");
  EXPECT_EQ(parse_compression("XZ").error().debug(), "SuggestFeature { compression: \"XZ\", feature: \"kpar-xz\" }");
  EXPECT_EQ(parse_compression("xz").error().debug(), "Invalid(\"Compression method `xz` is invalid\")");
}

TEST(AtomicWrite, CreatesAndReplaces) {
  TempDir dir;
  auto target = dir.path() / "f.json";
  ASSERT_TRUE(write_file_atomic(target, "one"));
  EXPECT_EQ(*read_file(target), "one");
  ::chmod(target.c_str(), 0640);
  ASSERT_TRUE(write_file_atomic(target, "two"));
  EXPECT_EQ(*read_file(target), "two");
  struct stat st;
  ::stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(AtomicWrite, FailureMidWriteKeepsPreviousContent) {
  TempDir dir;
  auto target = dir.path() / "index.json";
  ASSERT_TRUE(write_file_atomic(target, "previous"));
  // A file-size limit makes the write fail part-way, as a full disk would.
  auto result = with_file_size_limit(4096, [&] { return write_file_atomic(target, std::string(100000, 'x')); });
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.error().holds<FsIoError::WriteFile>());
  EXPECT_EQ(*read_file(target), "previous");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(AtomicWrite, StreamedPiecesLandWholeOrNotAtAll) {
  TempDir dir;
  auto target = dir.path() / "archive.kpar";
  auto files = [&] { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); };
  ASSERT_TRUE(write_file_atomic(target, "previous"));
  // Pieces small and large, gathered or written straight through.
  std::string expected;
  {
    auto writer = AtomicFileWriter::create(target, ExistingFile::Replace, 0600);
    ASSERT_TRUE(writer);
    for (std::size_t size : {1u, 70000u, 3u << 20, 5u, 1u << 20}) {
      std::string piece(size, static_cast<char>('a' + expected.size() % 26));
      ASSERT_TRUE(writer->write(piece));
      expected += piece;
    }
    EXPECT_EQ(*read_file(target), "previous");  // nothing seen before the commit
    EXPECT_EQ(files(), 2);
    ASSERT_TRUE(std::move(*writer).commit());
  }
  EXPECT_EQ(*read_file(target), expected);
  EXPECT_EQ(files(), 1);
  // Dropped before the commit, or failing part-way: the temporary goes and
  // the previous content stays.
  {
    auto dropped = AtomicFileWriter::create(target);
    ASSERT_TRUE(dropped && dropped->write("never seen"));
  }
  auto failed = with_file_size_limit(4096, [&]() -> std::expected<void, FsIoError> {
    auto writer = AtomicFileWriter::create(target);
    if (!writer) return std::unexpected(std::move(writer.error()));
    for (int i = 0; i < 3; ++i)
      if (auto w = writer->write(std::string(1 << 20, 'x')); !w) return w;
    return std::move(*writer).commit();
  });
  ASSERT_FALSE(failed);
  EXPECT_TRUE(failed.error().holds<FsIoError::WriteFile>());
  EXPECT_EQ(*read_file(target), expected);
  EXPECT_EQ(files(), 1);
  // A file that may not be replaced is refused at the commit.
  auto keep = AtomicFileWriter::create(target, ExistingFile::Keep);
  ASSERT_TRUE(keep && keep->write("new"));
  auto kept = std::move(*keep).commit();
  ASSERT_FALSE(kept);
  EXPECT_TRUE(kept.error().holds<FsIoError::CreateFile>());
  EXPECT_EQ(*read_file(target), expected);
  EXPECT_EQ(files(), 1);
}

TEST(ReadFile, Errors) {
  auto r = read_file("/nonexistent/x");
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().message(), "failed to open file\n  `/nonexistent/x`:\n  No such file or directory (os error 2)");
  TempDir dir;
  auto r2 = read_file(dir.path());
  ASSERT_FALSE(r2);
  EXPECT_TRUE(r2.error().holds<FsIoError::ReadFile>());
}

}  // namespace
}  // namespace kestro::project

namespace kestro::project {
namespace {

TEST(PathsWithNul, AreRefusedNotShortened) {
  TempDir dir;
  write_text(dir.path() / "a", "content of a");
  std::string with_nul = (dir.path() / "a").string() + std::string("\0b", 2);
  auto read = read_file(with_nul);
  ASSERT_FALSE(read);
  EXPECT_TRUE(read.error().message().ends_with("file name contained an unexpected NUL byte"));
  auto write = write_file_atomic(with_nul, "x");
  ASSERT_FALSE(write);
  EXPECT_TRUE(write.error().holds<FsIoError::CreateFile>());
  EXPECT_EQ(*read_file(dir.path() / "a"), "content of a");
  struct stat st;
  EXPECT_FALSE(stat_path(with_nul, st));
}

}  // namespace
}  // namespace kestro::project
