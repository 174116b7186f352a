// The file helpers against what a directory can hold besides plain files:
// links, FIFOs, devices, huge sparse files, and a refused fchmod.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <type_traits>

#include <gtest/gtest.h>

#include "kestro/utils/fs.hpp"
#include "test_support.hpp"

namespace kestro {
namespace {

static_assert(std::is_same_v<decltype(open_fd("", 0))::value_type, UniqueFd>);
static_assert(!std::is_copy_constructible_v<UniqueFd> && std::is_nothrow_move_constructible_v<UniqueFd>);

bool is_open(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(UniqueFd, OwnsOneDescriptor) {
  TempDir dir;
  write_text(dir.path() / "f", "x");
  int raw = -1;
  {
    auto opened = open_fd(dir.path() / "f", O_RDONLY);
    ASSERT_TRUE(opened);
    raw = opened->get();
    UniqueFd moved = std::move(*opened);
    EXPECT_FALSE(*opened);
    EXPECT_EQ(moved.get(), raw);
    EXPECT_TRUE(is_open(raw));
  }
  EXPECT_FALSE(is_open(raw));  // closed with its owner
  UniqueFd owner = std::move(*open_fd(dir.path() / "f", O_RDONLY));
  raw = owner.release();
  EXPECT_FALSE(owner);
  owner = UniqueFd();
  EXPECT_TRUE(is_open(raw));  // released: the caller's to close
  owner.reset(raw);
  owner.reset();
  EXPECT_FALSE(is_open(raw));
}

mode_t mode_of(const fs::path& path) {
  struct stat st;
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

std::size_t entries(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(AtomicWrite, ThroughSymbolicLinks) {
  // The link stays a link, the file it leads to gets the bytes and keeps its
  // permission bits, and no temporary is left on either side.
  struct Case {
    const char* name;
    std::function<void(const fs::path& dir)> make;  // makes dir/link
    const char* written;                            // the file that gets the bytes, under dir
  } cases[] = {
      {"absolute link to another directory",
       [](const fs::path& d) { fs::create_symlink(d / "real/target.json", d / "link"); }, "real/target.json"},
      {"relative link", [](const fs::path& d) { fs::create_symlink("real/target.json", d / "link"); },
       "real/target.json"},
      {"chain of two links",
       [](const fs::path& d) {
         fs::create_symlink("real/hop", d / "link");
         fs::create_symlink("target.json", d / "real/hop");
       },
       "real/target.json"},
      {"dangling link: the file it names is created",
       [](const fs::path& d) { fs::create_symlink("real/new.json", d / "link"); }, "real/new.json"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir.path() / "real/target.json", "previous");
    ::chmod((dir.path() / "real/target.json").c_str(), 0600);
    c.make(dir.path());
    std::size_t real_entries = entries(dir.path() / "real");
    ASSERT_TRUE(write_file_atomic(dir.path() / "link", "new bytes")) << c.name;
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link")) << c.name;
    EXPECT_EQ(*read_file(dir.path() / c.written), "new bytes") << c.name;
    if (std::string(c.written) == "real/target.json") {
      EXPECT_EQ(mode_of(dir.path() / c.written), 0600u) << c.name;
      EXPECT_EQ(entries(dir.path() / "real"), real_entries) << c.name;
    }
    EXPECT_EQ(entries(dir.path()), 2u) << c.name;  // link and real/
  }
  TempDir loop;
  fs::create_symlink("b", loop.path() / "a");
  fs::create_symlink("a", loop.path() / "b");
  auto looped = write_file_atomic(loop.path() / "a", "x");
  ASSERT_FALSE(looped);
  EXPECT_EQ(looped.error().io().code(), ELOOP);
}

TEST(AtomicWrite, KeepRefusesAnExistingTargetAtTheRename) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& target)> make;
    bool exists;
  } cases[] = {
      {"absent", [](const fs::path&) {}, false},
      {"file", [](const fs::path& t) { write_text(t, "previous"); }, true},
      {"directory", [](const fs::path& t) { fs::create_directory(t); }, true},
      {"link to a file",
       [](const fs::path& t) {
         write_text(t.parent_path() / "other", "previous");
         fs::create_symlink("other", t);
       },
       true},
      {"dangling link", [](const fs::path& t) { fs::create_symlink("other", t); }, false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto target = dir.path() / "t";
    c.make(target);
    std::size_t before = entries(dir.path());
    auto r = write_file_atomic(target, "new", ExistingFile::Keep);
    if (c.exists) {
      ASSERT_FALSE(r) << c.name;
      EXPECT_TRUE(r.error().holds<FsIoError::CreateFile>()) << c.name;
      EXPECT_EQ(r.error().io().code(), EEXIST) << c.name;
      EXPECT_EQ(entries(dir.path()), before) << c.name;  // the temporary is gone
      if (fs::is_regular_file(target)) {
        EXPECT_EQ(*read_file(target), "previous") << c.name;
      }
    } else {
      ASSERT_TRUE(r) << c.name << ": " << r.error().message();
      EXPECT_EQ(*read_file(target), "new") << c.name;
    }
  }
}

// Makes every later fchmod(2) of this process fail with EPERM.
bool refuse_fchmod() {
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fchmod, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {static_cast<unsigned short>(std::size(filter)), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST(AtomicWrite, FailedModeCopyFailsTheWrite) {
  // A replaced file whose permission bits cannot be carried over is not
  // replaced by one with other bits.
  TempDir dir;
  auto target = dir.path() / "t.json";
  write_text(target, "previous");
  ::chmod(target.c_str(), 0640);
  int status = run_in_child([&] {
    if (!refuse_fchmod()) return 2;
    auto r = write_file_atomic(target, "new");
    if (r) return 3;
    return r.error().holds<FsIoError::WriteFile>() && r.error().io().code() == EPERM ? 0 : 4;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(*read_file(target), "previous");
  EXPECT_EQ(mode_of(target), 0640u);
  EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(OpenForReading, RefusesWhatIsNoRecord) {
  TempDir dir;
  auto fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.path() / "zero");
  auto sparse = dir.path() / "sparse";
  {
    UniqueFd f = std::move(*open_fd(sparse, O_WRONLY | O_CREAT, 0600));
    ASSERT_EQ(::ftruncate(f.get(), static_cast<off_t>(kMaxDocumentFileSize + 1)), 0);
  }
  write_text(dir.path() / "plain", "{}");
  fs::create_directory(dir.path() / "dir");
  struct Case {
    const char* name;
    const char* error;  // null: opened
  } cases[] = {
      {"fifo", "not a regular file"},
      {"zero", "not a regular file"},
      {"sparse", "file too large"},
      {"plain", nullptr},
      {"dir", nullptr},  // reading it fails, as reading a directory does
  };
  // In a child with an alarm, so that an opening that waits fails the test
  // instead of hanging it.
  for (const auto& c : cases) {
    int status = run_in_child([&] {
      ::alarm(10);
      auto opened = open_for_reading(dir.path() / c.name, kMaxDocumentFileSize);
      if (!c.error) return opened && (::fcntl(opened->get(), F_GETFL) & O_NONBLOCK) == 0 ? 0 : 1;
      if (opened) return 2;
      return opened.error().holds<FsIoError::ReadFile>() && opened.error().io().message() == c.error ? 0 : 3;
    });
    EXPECT_EQ(status, 0) << c.name;
  }
  // A file that grows past the bound while it is read.
  UniqueFd zero = std::move(*open_fd("/dev/zero", O_RDONLY));
  auto content = read_fd(zero.get(), 1 << 20);
  ASSERT_FALSE(content);
  EXPECT_EQ(content.error().message(), "file too large");
}

}  // namespace
}  // namespace kestro
