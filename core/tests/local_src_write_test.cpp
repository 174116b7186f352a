#include <sys/stat.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "kestro/project/local_src.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

namespace fs = std::filesystem;

// Yields `bytes` in pieces, with an interrupted read before each piece,
// then fails (when `fail_after` is set) or ends.
class ScriptedReader : public SourceReader {
 public:
  ScriptedReader(std::string bytes, bool fail_after) : bytes_(std::move(bytes)), fail_after_(fail_after) {}
  std::expected<std::size_t, IoError> read(std::span<char> buffer) override {
    interrupted_ = !interrupted_;
    if (interrupted_) return std::unexpected(IoError::from_errno(EINTR));
    if (pos_ == bytes_.size()) {
      if (fail_after_) return std::unexpected(IoError::from_errno(EIO));
      return 0;
    }
    const std::size_t n = std::min<std::size_t>({buffer.size(), bytes_.size() - pos_, 5000});
    std::copy_n(bytes_.data() + pos_, n, buffer.data());
    pos_ += n;
    return n;
  }

 private:
  std::string bytes_;
  bool fail_after_;
  bool interrupted_ = false;
  std::size_t pos_ = 0;
};

std::string pattern(std::size_t size) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>('a' + i % 23);
  return out;
}

TEST(LocalSrcWriteSource, WritesCreatesAndReplaces) {
  TempDir tmp;
  const LocalSrcProject project(tmp.path() / "proj");
  const std::string big = pattern(3 * 8192 + 17);
  ScriptedReader reader(big, false);
  ASSERT_TRUE(project.write_source("./a//b/../c/file.sysml", reader));
  EXPECT_EQ(read_bytes(tmp.path() / "proj/a/c/file.sysml"), big);

  BytesSourceReader shorter("short");
  ASSERT_TRUE(project.write_source("a/c/file.sysml", shorter));
  EXPECT_EQ(read_bytes(tmp.path() / "proj/a/c/file.sysml"), "short");
}

TEST(LocalSrcWriteSource, Failures) {
  TempDir tmp;
  const fs::path root = tmp.path() / "proj";
  write_text(root / "plain", "x");
  fs::create_directories(root / "dir");
  const LocalSrcProject project(root);
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {"../x", "path `../x` is unsafe: path attempts to escape original path"},
      {"a/../../x", "path `a/../../x` is unsafe: path attempts to escape original path"},
      {"/etc/passwd", "path `/etc/passwd` is absolute"},
      {"plain/x", fmt::format("failed to create directory\n  `{}/plain`:\n  Not a directory (os error 20)", root.string())},
      {"dir", fmt::format("failed to create file\n  `{}/dir`:\n  Is a directory (os error 21)", root.string())},
      {"", fmt::format("failed to create file\n  `{}`:\n  Is a directory (os error 21)", root.string())},
  };
  for (const Case& c : cases) {
    BytesSourceReader reader("content");
    auto r = project.write_source(c.path, reader);
    ASSERT_FALSE(r) << c.path;
    EXPECT_EQ(r.error().message(), c.message) << c.path;
  }
  EXPECT_FALSE(fs::exists(tmp.path() / "x"));
}

// A reader that fails midway is reported on the file written, which keeps
// what it got.
TEST(LocalSrcWriteSource, ReadFailureIsAWriteFailureOfTheTarget) {
  TempDir tmp;
  const LocalSrcProject project(tmp.path());
  ScriptedReader reader("partial", true);
  auto r = project.write_source("f.txt", reader);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().message(), fmt::format("failed to write file\n  `{}/f.txt`:\n  Input/output error (os error 5)",
                                             tmp.path().string()));
  EXPECT_EQ(read_bytes(tmp.path() / "f.txt"), "partial");
}

// A write that the file system refuses part-way, as on a full disk.
TEST(LocalSrcWriteSource, WriteFailureNamesTheTarget) {
  TempDir tmp;
  const LocalSrcProject project(tmp.path());
  auto r = with_file_size_limit(10000, [&] {
    ScriptedReader reader(pattern(30000), false);
    return project.write_source("big.bin", reader);
  });
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().message(), fmt::format("failed to write file\n  `{}/big.bin`:\n  File too large (os error 27)",
                                             tmp.path().string()));
  EXPECT_EQ(fs::file_size(tmp.path() / "big.bin"), 10000U);
}

// In a directory made read-only the file cannot be created; an existing
// file there is still replaced.
TEST(LocalSrcWriteSource, ReadOnlyDirectory) {
  TempDir tmp;
  const fs::path root = tmp.path() / "ro";
  write_text(root / "kept.txt", "old");
  ::chmod(root.c_str(), 0555);
  ::chmod((root / "kept.txt").c_str(), 0666);
  fs::permissions(tmp.path(), fs::perms::all, fs::perm_options::add);
  const std::string expected =
      fmt::format("failed to create file\n  `{}/new.txt`:\n  Permission denied (os error 13)", root.string());
  EXPECT_EQ(run_unprivileged([&] {
              const LocalSrcProject project(root);
              BytesSourceReader fresh("new");
              auto r = project.write_source("new.txt", fresh);
              if (r || r.error().message() != expected) return 1;
              BytesSourceReader replacement("new");
              if (!project.write_source("kept.txt", replacement)) return 2;
              return read_bytes(root / "kept.txt") == "new" ? 0 : 3;
            }),
            0);
}

}  // namespace
}  // namespace kestro::project
