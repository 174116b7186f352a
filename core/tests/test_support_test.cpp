// The temporary directory every test stands on: made or failing with the
// reason, and removed with all it holds, even what a test locked.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "test_support.hpp"

namespace kestro {
namespace {

namespace fs = std::filesystem;

TEST(TempDir, CreationFailureSaysWhy) {
  TempDir outer;
  write_text(outer.path() / "file", "x");
  struct Case {
    std::string tmpdir;
    std::string reason;
  } cases[] = {
      {(outer.path() / "missing").string(), "No such file or directory"},
      {(outer.path() / "file").string(), "Not a directory"},
  };
  for (const Case& c : cases) {
    ScopedEnv at({{"TMPDIR", c.tmpdir}});
    try {
      TempDir dir;
      ADD_FAILURE() << c.tmpdir << ": made " << dir.path();
    } catch (const std::runtime_error& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(c.tmpdir), std::string::npos) << text;
      EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    }
  }
}

TEST(TempDir, RemovesWhatTheTestLocked) {
  // Unprivileged, since root may remove anything anyway.
  const int status = run_unprivileged([] {
    fs::path kept;
    {
      TempDir dir;
      kept = dir.path();
      write_text(dir.path() / "locked/inner/file", "x");
      write_text(dir.path() / "unsearchable/file", "x");
      fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
      fs::permissions(dir.path() / "unsearchable", fs::perms::none);
    }
    std::error_code ec;
    return fs::exists(kept, ec) || ec ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace kestro
