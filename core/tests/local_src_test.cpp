#include "kestro/project/local_src.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

constexpr const char* kInfo = R"({"name":"A","publisher":"acme","version":"1.2.0","usage":[]})";
constexpr const char* kMeta =
    R"({"index":{"A":"a.sysml"},"created":"2025-01-01T00:00:00Z",)"
    R"("checksum":{"a.sysml":{"value":"0000000000000000000000000000000000000000000000000000000000000000","algorithm":"NONE"}}})";

std::string read_all(SourceReader& reader) {
  std::string out;
  char buf[3];
  while (auto n = reader.read(buf)) {
    if (*n == 0) break;
    out.append(buf, *n);
  }
  return out;
}

TEST(LocalSrcProject, EmptyDirectory) {
  TempDir dir;
  LocalSrcProject project{dir.path()};
  auto records = project.get_project();
  ASSERT_TRUE(records);
  EXPECT_FALSE(records->first);
  EXPECT_FALSE(records->second);
  EXPECT_FALSE(project.version().value());
  EXPECT_FALSE(*project.usage());
  EXPECT_FALSE(project.checksum_canonical_hex().value());
  EXPECT_FALSE(project.is_known_unusable());
  const char* missing = "project is missing `.project.json` and/or `.meta.json` files";
  EXPECT_EQ(project.checksum_hex().error().message(), missing);
  auto sources = project.sources(ProjectContext{dir.path(), std::nullopt});
  ASSERT_FALSE(sources);
  EXPECT_TRUE(sources.error().holds<LocalSrcError::MissingInfoMeta>());
  EXPECT_EQ(sources.error().message(), missing);
}

TEST(LocalSrcProject, InfoOnly) {
  TempDir dir;
  write_text(dir.path() / ".project.json", kInfo);
  LocalSrcProject project{dir.path()};
  EXPECT_EQ(project.get_info()->value().name, "A");
  EXPECT_FALSE(*project.get_meta());
  EXPECT_EQ(project.version().value(), "1.2.0");
  ASSERT_TRUE(project.usage()->has_value());
  EXPECT_TRUE(project.usage()->value().empty());
  EXPECT_FALSE(project.checksum_canonical_hex().value());
}

TEST(LocalSrcProject, Expectations) {
  TempDir dir;
  write_text(dir.path() / ".project.json", R"({"name":"A","version":"1.0.0"})");
  LocalSrcProject project{dir.path(), std::nullopt, std::nullopt, "A", std::optional<std::string>("acme")};
  EXPECT_EQ(project.version().error().message(), "project publisher `<none>` does not match expected `acme`");
  project.expected_publisher.reset();
  project.expected_name = "B";
  EXPECT_EQ(project.checksum_canonical_hex().error().message(), "project name `A` does not match expected `B`");
}

TEST(LocalSrcProject, ReadSource) {
  TempDir dir;
  write_text(dir.path() / "a/b.sysml", "package P;");
  LocalSrcProject project{dir.path()};
  auto reader = project.read_source("a//b.sysml");
  ASSERT_TRUE(reader);
  EXPECT_EQ(read_all(**reader), "package P;");

  struct Case {
    std::string path;
    HoldsCheck<LocalSrcError> variant;
    std::string text;
  } cases[] = {
      {"../x", holds<LocalSrcError::Path>, "path `../x` is unsafe: path attempts to escape original path"},
      {"/etc/passwd", holds<LocalSrcError::Path>, "path `/etc/passwd` is absolute"},
      {"a/c.sysml", holds<LocalSrcError::Io>,
       "failed to open file\n  `" + (dir.path() / "a/c.sysml").string() + "`:\n  No such file or directory (os error 2)"},
      // Not a/b.sysml, which the name would be cut to at the NUL.
      {std::string("a/b.sysml\0x", 11), holds<LocalSrcError::Io>,
       "failed to open file\n  `" + (dir.path() / std::string("a/b.sysml\0x", 11)).string() +
           "`:\n  file name contained an unexpected NUL byte"},
  };
  for (const auto& c : cases) {
    auto r = project.read_source(c.path);
    ASSERT_FALSE(r) << c.path;
    EXPECT_TRUE(c.variant(r.error())) << r.error().debug();
    EXPECT_EQ(r.error().message(), c.text);
  }
}

TEST(LocalSrcProject, Sources) {
  TempDir dir;
  auto root = dir.path() / "ws/p";
  testing::write_project(root, kInfo, kMeta);
  write_text(root / "a.sysml", "package A;");
  LocalSrcProject project{root};

  auto checksum = project.checksum_hex();
  ASSERT_TRUE(checksum) << checksum.error().message();
  EXPECT_EQ(checksum->kind, EnvProjectChecksum::Kind::Src);
  EXPECT_EQ(checksum->hex, *project.checksum_canonical_hex().value());
  EXPECT_EQ(checksum->hex.size(), 64u);
  EXPECT_EQ(checksum->hex.find_first_not_of("0123456789abcdef"), std::string::npos);

  struct Case {
    std::optional<std::string> nominal;
    ProjectContext context;
    std::string src_path;
  } cases[] = {
      {std::nullopt, {dir.path() / "ws", root}, "p"},
      {std::nullopt, {std::nullopt, root}, "."},
      {std::nullopt, {std::nullopt, dir.path() / "other/q"}, "../../ws/p"},
      {"../lib/p", {}, "../lib/p"},
  };
  for (const auto& c : cases) {
    project.nominal_path = c.nominal;
    auto sources = project.sources(c.context);
    ASSERT_TRUE(sources) << sources.error().message();
    ASSERT_EQ(sources->size(), 1u);
    EXPECT_EQ(std::get<LocalSrcSource>((*sources)[0]), (LocalSrcSource{c.src_path, checksum->hex}));
  }

  project.nominal_path.reset();
  EXPECT_THROW((void)project.sources(ProjectContext{}), InternalError);
  // A relative root, or a root spelt with `..`, has no relative path to the
  // project: an error value the caller can report.
  for (std::filesystem::path base : {std::filesystem::path("ws"), dir.path() / "ws/../ws"}) {
    auto relative = project.sources(ProjectContext{std::nullopt, base});
    ASSERT_FALSE(relative) << base;
    EXPECT_TRUE(relative.error().holds<LocalSrcError::ImpossibleRelativePath>()) << base;
  }
}

TEST(LocalSrcProject, KnownChecksumReadsNothing) {
  TempDir dir;
  // Neither record exists, and the directory itself cannot be searched.
  LocalSrcProject project{dir.path() / "missing", "lib/p", "ab12"};
  auto sources = project.sources(ProjectContext{});
  ASSERT_TRUE(sources) << sources.error().message();
  EXPECT_EQ(std::get<LocalSrcSource>((*sources)[0]), (LocalSrcSource{"lib/p", "ab12"}));
}

TEST(LocalSrcProject, ListedFileUnreadable) {
  TempDir dir;
  testing::write_project(dir.path(), kInfo, kMeta);
  LocalSrcProject project{dir.path()};
  // Missing: the open fails, which is the project's own error.
  auto missing = project.checksum_hex();
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "failed to open file\n  `" + (dir.path() / "a.sysml").string() +
                                           "`:\n  No such file or directory (os error 2)");
  // A directory opens but cannot be read: the read failure becomes ReadFile.
  std::filesystem::create_directory(dir.path() / "a.sysml");
  auto canonical = project.checksum_canonical_hex();
  ASSERT_FALSE(canonical);
  EXPECT_EQ(canonical.error().message(), "failed to read from file\n  `a.sysml`:\n  Is a directory (os error 21)");
  for (const auto& r : {project.checksum_hex().error(), project.sources(ProjectContext{}).error()}) {
    EXPECT_TRUE(r.holds<LocalSrcError::Io>());
    EXPECT_EQ(r.message(), "failed to read file\n  `a.sysml`:\n  Is a directory (os error 21)");
  }
}

// The canonical checksum reads the record files once, and gives what the
// generic reading through `get_info` and `get_meta` gives, failures included.
TEST(LocalSrcProject, CanonicalChecksumReadsTheRecordsOnce) {
  struct Counting : LocalSrcProject {
    using LocalSrcProject::LocalSrcProject;
    Result<ProjectRecords> get_project() const override {
      ++reads;
      return LocalSrcProject::get_project();
    }
    mutable int reads = 0;
  };
  struct Case {
    const char* info;
    const char* meta;
  } cases[] = {
      {kInfo, kMeta},
      {kInfo, nullptr},
      {nullptr, kMeta},
      {"{", kMeta},
      {kInfo, R"({"index":{}})"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.info) write_text(dir.path() / ".project.json", c.info);
    if (c.meta) write_text(dir.path() / ".meta.json", c.meta);
    write_text(dir.path() / "a.sysml", "part a;");
    Counting project{dir.path()};
    auto once = project.checksum_canonical_hex();
    EXPECT_EQ(project.reads, 1);
    auto generic = canonical_checksum_hex(project);
    ASSERT_EQ(once.has_value(), generic.has_value());
    if (once) {
      EXPECT_EQ(*once, *generic);
    } else {
      EXPECT_EQ(once.error().message(), generic.error().message());
    }
  }
}

}  // namespace
}  // namespace kestro::project
