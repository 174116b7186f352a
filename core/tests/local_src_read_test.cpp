#include <sys/stat.h>

#include <gtest/gtest.h>

#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

using testing::kMeta;

TEST(ReadLocalSrcProject, AbsentDocuments) {
  TempDir dir;
  auto both = read_local_src_project(LocalSrcProject{dir.path()});
  ASSERT_TRUE(both);
  EXPECT_FALSE(both->first);
  EXPECT_FALSE(both->second);
  write_text(dir.path() / ".meta.json", kMeta);
  auto only_meta = read_local_src_project(LocalSrcProject{dir.path(), {}, {}, "x", std::optional<std::string>("p")});
  ASSERT_TRUE(only_meta);
  EXPECT_FALSE(only_meta->first);
  EXPECT_TRUE(only_meta->second);
  write_text(dir.path() / "file", "");
  auto not_dir = read_local_src_project(LocalSrcProject{dir.path() / "file"});
  ASSERT_TRUE(not_dir);
  EXPECT_FALSE(not_dir->first);
}

TEST(ReadLocalSrcProject, Expectations) {
  TempDir dir;
  write_text(dir.path() / ".project.json", R"({"name":"A","publisher":"Acme","version":"1.0.0"})");
  using Publisher = std::optional<std::optional<std::string>>;
  struct Case {
    std::optional<std::string> name;
    Publisher publisher;
    std::string message;  // empty: reads
  } cases[] = {
      {"a", std::nullopt, "project name `A` does not match expected `a`"},
      {"a", Publisher(std::in_place), "project publisher `Acme` does not match expected `<none>`"},
      {"x", Publisher("acme"), "project publisher `Acme` does not match expected `acme`"},
      {"A", Publisher("Acme"), ""},
      {std::nullopt, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    LocalSrcProject project{dir.path()};
    project.expected_name = c.name;
    project.expected_publisher = c.publisher;
    auto r = read_local_src_project(project);
    if (c.message.empty()) {
      ASSERT_TRUE(r) << r.error().message();
      EXPECT_EQ(r->first->name, "A");
    } else {
      ASSERT_FALSE(r);
      EXPECT_EQ(r.error().message(), c.message);
    }
  }
  write_text(dir.path() / ".project.json", R"({"name":"A","version":"1.0.0"})");
  LocalSrcProject none_expected{dir.path()};
  none_expected.expected_publisher = Publisher("acme");
  EXPECT_EQ(read_local_src_project(none_expected).error().message(),
            "project publisher `<none>` does not match expected `acme`");
}

TEST(ReadLocalSrcProject, BrokenDocuments) {
  TempDir dir;
  write_text(dir.path() / ".project.json", R"({"name":"A","version":"1.0.0"})");
  write_text(dir.path() / ".meta.json", "{\"index\":{}");
  auto r = read_local_src_project(LocalSrcProject{dir.path()});
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().holds<LocalSrcError::Deserialize>());
  EXPECT_EQ(r.error().message(),
            "project deserialization error: failed to deserialize `.meta.json`: EOF while parsing an object at line 1 "
            "column 11");
  std::filesystem::remove(dir.path() / ".meta.json");
  std::filesystem::create_directory(dir.path() / ".meta.json");
  auto as_dir = read_local_src_project(LocalSrcProject{dir.path()});
  ASSERT_FALSE(as_dir);
  EXPECT_EQ(as_dir.error().message(),
            "project deserialization error: failed to deserialize `.meta.json`: Is a directory (os error 21)");
}

}  // namespace
}  // namespace kestro::project

namespace kestro::project {
namespace {

TEST(ReadLocalSrcProject, PermissionFailures) {
  TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  auto locked = dir.path() / "locked";
  write_text(locked / ".project.json", R"({"name":"A","version":"1.0.0"})");
  auto unsearchable = dir.path() / "unsearchable";
  write_text(unsearchable / "p" / ".project.json", R"({"name":"A","version":"1.0.0"})");
  std::filesystem::permissions(locked, std::filesystem::perms::all);
  std::filesystem::permissions(locked / ".project.json", std::filesystem::perms::none);
  std::filesystem::permissions(unsearchable, std::filesystem::perms::owner_all);

  int result = run_unprivileged([&] {
    auto unreadable = read_local_src_project(LocalSrcProject{locked});
    if (unreadable || !unreadable.error().holds<LocalSrcError::Io>()) return 1;
    if (!unreadable.error().message().starts_with("failed to open file\n  `")) return 2;
    if (!unreadable.error().message().ends_with("Permission denied (os error 13)")) return 3;
    auto hidden = read_local_src_project(LocalSrcProject{unsearchable / "p"});
    if (!hidden || hidden->first || hidden->second) return 4;
    return 0;
  });
  EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace kestro::project

namespace kestro::project {
namespace {

TEST(ReadLocalSrcProject, RecordThatIsNoPlainFile) {
  // What a hostile directory can put at `.project.json`: each is refused at
  // once with the file's path, the reader neither waiting for a writer nor
  // reading without end. Each read runs in a child with an alarm and an
  // address-space bound, so that a reader that waits or grows fails the
  // test instead of stopping the run.
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path& record)> make;
    const char* io_text;
  } cases[] = {
      {"FIFO", [](const std::filesystem::path& r) { ::mkfifo(r.c_str(), 0600); }, "not a regular file"},
      {"link to /dev/zero", [](const std::filesystem::path& r) { std::filesystem::create_symlink("/dev/zero", r); },
       "not a regular file"},
      {"sparse file past the size bound",
       [](const std::filesystem::path& r) {
         write_text(r, "{");
         std::filesystem::resize_file(r, kMaxDocumentFileSize + 1);
       },
       "file too large"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto record = dir.path() / ".project.json";
    c.make(record);
    std::string expected = "failed to read file\n  `" + record.string() + "`:\n  " + c.io_text;
    // 1 GiB more than the child already maps (a sanitizer's shadow included).
    int status = run_with_memory_limit(std::uint64_t{1} << 30, [&] {
      ::alarm(10);
      auto r = read_local_src_project(LocalSrcProject{dir.path()});
      if (r) return 1;
      return r.error().holds<LocalSrcError::Io>() && r.error().message() == expected ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << c.name;
  }
}

}  // namespace
}  // namespace kestro::project
