#include "kestro/env/replace_dirs.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"
#include "support/log_capture.hpp"
#include "test_support.hpp"

namespace kestro::env {
namespace {

namespace fs = std::filesystem;

// A directory holding `name` with `text`, and a nested file.
void make_tree(const fs::path& dir, std::string_view text) {
  fs::create_directories(dir / "sub");
  write_text(dir / "name.txt", text);
  write_text(dir / "sub" / "deep.txt", std::string(text) + " deep");
}

// A fresh directory on a file system other than the one the tests' trees
// are on, or nothing when the machine has no second one at hand.
std::optional<fs::path> other_file_system_dir(const fs::path& here) {
  struct ::stat a {}, b {};
  if (::stat(here.c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev) return std::nullopt;
  std::string tmpl = "/dev/shm/kestro-test-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) return std::nullopt;
  return fs::path(tmpl);
}

// Trees on the tests' file system, the system's temporary area ($TMPDIR)
// on another one; `other` is empty when there is none.
class ReplaceDirsAcrossFileSystems : public ::testing::Test {
 protected:
  void SetUp() override {
    other = other_file_system_dir(dir.path());
    if (other) tmpdir.emplace(std::map<std::string, std::optional<std::string>>{{"TMPDIR", other->string()}});
    make_tree(source, "new");
  }
  void TearDown() override {
    tmpdir.reset();
    std::error_code ec;
    if (other) fs::remove_all(*other, ec);
  }

  TempDir dir;
  std::optional<fs::path> other;
  std::optional<ScopedEnv> tmpdir;
  const fs::path source = dir.path() / "staging";
};

TEST(ReplaceDirs, PutsTreesInPlaceAndDiscardsPreviousOnes) {
  struct Case {
    std::string what;
    bool target_exists;
  };
  for (const Case& c : {Case{"new target", false}, Case{"replaced target", true}}) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ScopedTmpdir tmp;
    const fs::path source = dir.path() / "staging";
    const fs::path target = dir.path() / "lib" / "p";
    make_tree(source, "new");
    if (c.target_exists) {
      make_tree(target, "old");
      write_text(target / "only-old.txt", "x");
    } else {
      fs::create_directories(target.parent_path());
    }
    const DirMove moves[] = {{source, target}};
    ASSERT_TRUE(replace_dirs_transactionally(moves).has_value());
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(read_bytes(target / "name.txt"), "new");
    EXPECT_EQ(read_bytes(target / "sub" / "deep.txt"), "new deep");
    EXPECT_FALSE(fs::exists(target / "only-old.txt"));
    EXPECT_EQ(tmp.entries(), 0u) << "the scratch directory goes away";
  }
}

TEST(ReplaceDirs, NoPairsSucceedsAndLeavesNoScratch) {
  ScopedTmpdir tmp;
  EXPECT_TRUE(replace_dirs_transactionally({}).has_value());
  EXPECT_EQ(tmp.entries(), 0u);
}

// A placing move that fails puts the staged tree back at its source and the
// previous target back at its place.
TEST(ReplaceDirs, FailedPlacingRollsBack) {
  struct Case {
    std::string what;
    std::function<fs::path(const fs::path&)> target;  // from the test directory
  };
  const Case cases[] = {
      {"parent of target missing", [](const fs::path& d) { return d / "missing" / "p"; }},
      {"lib is a regular file",
       [](const fs::path& d) {
         write_text(d / "lib", "not a directory");
         return d / "lib" / "p";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ScopedTmpdir tmp;
    const fs::path source = dir.path() / "staging";
    make_tree(source, "new");
    const DirMove moves[] = {{source, c.target(dir.path())}};
    auto result = replace_dirs_transactionally(moves);
    ASSERT_FALSE(result.has_value());
    ASSERT_TRUE(result.error().holds<TryMoveError::RecoveredIO>()) << result.error().message();
    EXPECT_TRUE(result.error().message().starts_with("recovered from failure: failed to move\n  `"))
        << result.error().message();
    EXPECT_EQ(read_bytes(source / "name.txt"), "new");
    EXPECT_EQ(tmp.entries(), 0u);
  }
}

// The second pair fails to be placed after the first was: both targets get
// their previous trees back and both sources their staged ones.
TEST(ReplaceDirs, RollbackUndoesEveryPairAlreadyPlaced) {
  TempDir dir;
  ScopedTmpdir tmp;
  const fs::path a_src = dir.path() / "a-new", b_src = dir.path() / "b-new";
  const fs::path a_trg = dir.path() / "lib" / "a", b_trg = dir.path() / "nowhere" / "b";
  make_tree(a_src, "a new");
  make_tree(b_src, "b new");
  make_tree(a_trg, "a old");
  const DirMove moves[] = {{a_src, a_trg}, {b_src, b_trg}};
  auto result = replace_dirs_transactionally(moves);
  ASSERT_FALSE(result.has_value());
  EXPECT_TRUE(result.error().holds<TryMoveError::RecoveredIO>()) << result.error().message();
  EXPECT_EQ(read_bytes(a_trg / "name.txt"), "a old");
  EXPECT_EQ(read_bytes(a_src / "name.txt"), "a new");
  EXPECT_EQ(read_bytes(b_src / "name.txt"), "b new");
  EXPECT_EQ(tmp.entries(), 0u);
}

// With the scratch directory on another file system every move is a copy
// and a removal; links inside the tree arrive as regular files.
TEST_F(ReplaceDirsAcrossFileSystems, MovesEveryTreeByCopying) {
  if (!other) GTEST_SKIP() << "no second file system at /dev/shm";
  const fs::path target = dir.path() / "lib" / "p";
  fs::create_symlink("name.txt", source / "link.txt");
  ::chmod((source / "name.txt").c_str(), 0640);
  make_tree(target, "old");
  const DirMove moves[] = {{source, target}};
  ASSERT_TRUE(replace_dirs_transactionally(moves).has_value());
  EXPECT_FALSE(fs::exists(source));
  EXPECT_EQ(read_bytes(target / "sub" / "deep.txt"), "new deep");
  EXPECT_FALSE(fs::is_symlink(target / "link.txt"));
  EXPECT_EQ(read_bytes(target / "link.txt"), "new");
  EXPECT_EQ(fs::status(target / "name.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(fs::is_empty(*other)) << "the scratch directory goes away";
}

// A copy across file systems that fails midway (a link to a directory cannot
// be copied as a file) leaves a partial copy that cannot be moved back onto
// the still-present source: the undo fails, and the scratch directory is
// kept and named rather than deleted.
TEST_F(ReplaceDirsAcrossFileSystems, FailedRollbackKeepsScratchAndNamesIt) {
  if (!other) GTEST_SKIP() << "no second file system at /dev/shm";
  fs::create_symlink("sub", source / "zz-dir-link");
  const DirMove moves[] = {{source, dir.path() / "lib" / "p"}};
  auto result = replace_dirs_transactionally(moves);
  ASSERT_FALSE(result.has_value());
  const auto* bad = std::get_if<TryMoveError::CatastrophicIO>(&result.error().payload());
  ASSERT_NE(bad, nullptr) << result.error().message();
  EXPECT_TRUE(bad->source.holds<FsIoError::CopyFile>()) << bad->source.message();
  ASSERT_FALSE(bad->kept.empty());
  EXPECT_TRUE(fs::is_directory(bad->kept / "src_0"));
  const std::string text = result.error().message();
  EXPECT_TRUE(text.starts_with("failed and may have left the directory in inconsistent state:\n")) << text;
  EXPECT_NE(text.find(bad->kept.string()), std::string::npos) << text;
  EXPECT_EQ(read_bytes(source / "name.txt"), "new");
}

TEST(MoveFsItem, RenameFailureOtherThanCrossDeviceIsMove) {
  TempDir dir;
  auto moved = move_fs_item(dir.path() / "absent", dir.path() / "there");
  ASSERT_FALSE(moved.has_value());
  EXPECT_TRUE(moved.error().holds<FsIoError::Move>()) << moved.error().message();
}

TEST(CopyDirRecursive, ExistingDestinationIsMkDir) {
  TempDir dir;
  make_tree(dir.path() / "a", "x");
  fs::create_directory(dir.path() / "b");
  auto copied = copy_dir_recursive(dir.path() / "a", dir.path() / "b");
  ASSERT_FALSE(copied.has_value());
  EXPECT_TRUE(copied.error().holds<FsIoError::MkDir>()) << copied.error().message();
}

// A link inside the cleared directory goes; what it leads to, outside,
// stays untouched.
TEST(ClearDirContents, RemovesLinksWithoutTouchingTheirTargets) {
  TempDir dir;
  const fs::path cleared = dir.path() / "lib" / "p";
  const fs::path outside = dir.path() / "outside";
  make_tree(cleared, "x");
  make_tree(outside, "keep");
  fs::create_directory_symlink(outside, cleared / "dir-link");
  fs::create_symlink(outside / "name.txt", cleared / "sub" / "file-link");
  clear_dir_contents(cleared);
  EXPECT_TRUE(fs::is_directory(cleared));
  EXPECT_TRUE(fs::is_empty(cleared));
  EXPECT_EQ(read_bytes(outside / "name.txt"), "keep");
  EXPECT_EQ(read_bytes(outside / "sub" / "deep.txt"), "keep deep");
}

TEST(ClearDirContents, MissingDirectoryIsLoggedNotReported) {
  TempDir dir;
  log::ScopedCapture capture;
  clear_dir_contents(dir.path() / "absent");
  const auto lines = testing::messages_of(capture, {"kestro_core::env::local_directory::utils"});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "failed to read directory entries for `" + (dir.path() / "absent").string() +
                          "`: No such file or directory (os error 2)");
}

}  // namespace
}  // namespace kestro::env
