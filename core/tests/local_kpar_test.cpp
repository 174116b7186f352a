// KPAR projects on the local file system against archives written by
// Python's zipfile module.
#include <functional>

#include <gtest/gtest.h>

#include "kestro/project/local_kpar.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/sha256.hpp"
#include "support/records.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

namespace kestro::project {
namespace {

using testing::info_json;
using testing::kMeta;

TEST(LocalKpar, EmptyArchiveFailsEveryOperationWithoutTempDir) {
  TempDir dir;
  ScopedTmpdir tmp;
  auto path = dir.path() / "empty.kpar";
  write_text(path, "");
  LocalKparProject project(path, "empty.kpar", ArchiveRootDetect{});
  const std::string expected = "kpar at `" + path.string() + "` is an empty file";
  auto check = [&](const auto& result) {
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().template holds<LocalKparError::EmptyKpar>());
    EXPECT_EQ(result.error().message(), expected);
  };
  check(project.get_project());
  check(project.read_source("a.sysml"));
  check(project.sources({}));
  check(project.get_info());
  check(project.get_meta());
  check(project.checksum_hex());
  EXPECT_EQ(tmp.entries(), 0u);

  // A failed opening is not remembered: the next operation opens afresh.
  make_zip(path, {{".project.json", info_json("P")}});
  EXPECT_TRUE(project.get_info());
  EXPECT_EQ(tmp.entries(), 1u);
}

TEST(LocalKpar, Verification) {
  TempDir dir;
  auto path = dir.path() / "p.kpar";
  make_zip(path, {{".project.json", info_json("P", "Pub")}, {".meta.json", kMeta}});
  auto bytes = read_file(path).value();
  const std::string digest = sha256_hex(bytes);
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::uint64_t size = bytes.size();
  const std::string where = path.string();

  struct Case {
    const char* name;
    std::optional<ExpectedArchive> archive;
    std::optional<std::string> expected_name;
    std::optional<std::string> expected_publisher;
    std::string error;  // empty: opens
  };
  const Case cases[] = {
      {"all expectations met", ExpectedArchive{digest, size}, "P", "Pub", ""},
      {"size checked before digest", ExpectedArchive{std::string(64, '0'), size + 1}, {}, {},
       fmt::format("kpar at `{}` has size {} bytes but the expected size was {} bytes", where, size, size + 1)},
      {"digest compared case-sensitively", ExpectedArchive{upper, size}, {}, {},
       fmt::format("kpar at `{}` has sha256 `{}` but the expected digest was `{}`", where, digest, upper)},
      {"no expected name: record not checked", {}, {}, "Other", ""},
      {"absent expected publisher", {}, "P", {}, "project publisher `Pub` does not match expected `<none>`"},
      {"other publisher", {}, "P", "Q", "project publisher `Pub` does not match expected `Q`"},
      {"other name", {}, "Q", "Pub", "project name `P` does not match expected `Q`"},
  };
  for (const auto& c : cases) {
    LocalKparProject project(path);
    project.expected_archive = c.archive;
    project.expected_name = c.expected_name;
    project.expected_publisher = c.expected_publisher;
    auto opened = project.open_archive();
    if (c.error.empty()) {
      EXPECT_TRUE(opened) << c.name << ": " << opened.error().message();
    } else {
      ASSERT_FALSE(opened) << c.name;
      EXPECT_EQ(opened.error().message(), c.error) << c.name;
    }
  }

  auto bare = dir.path() / "bare.kpar";
  make_zip(bare, {{"src/a.sysml", "x"}});
  LocalKparProject no_info(bare);
  no_info.expected_name = "P";
  auto missing = no_info.get_project();
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "project is missing project information file `.project.json`");
}

TEST(LocalKpar, RootDetectionAndEntryLookup) {
  TempDir dir;
  struct Case {
    const char* name;
    std::vector<ZipFixtureEntry> entries;
    ArchiveRoot root;
    std::string read;
    std::string expected;  // the file's bytes, or the error text
    bool fails = false;
  };
  const std::vector<Case> cases = {
      {"one-directory prefix", {{"repo-1/.project.json", info_json("P")}, {"repo-1/src/a.sysml", "A", true}},
       ArchiveRootDetect{}, "src/a.sysml", "A"},
      {"top level", {{"src/a.sysml", "top"}, {".project.json", info_json("P")}}, ArchiveRootDetect{}, "src/a.sysml",
       "top"},
      {"unsafe names skipped", {{"../.project.json", "{}"}, {"d/.project.json", info_json("P")}, {"d/x", "dx"}},
       ArchiveRootDetect{}, "x", "dx"},
      {"named root", {{"r/x", "rx"}, {"x", "top"}}, std::string("r"), "x", "rx"},
      {"no root", {{"r/x", "rx"}}, ArchiveRootTopLevel{}, "r/x", "rx"},
      {"no project record", {{"src/a.sysml", "A"}}, ArchiveRootDetect{}, "src/a.sysml",
       "path `.project.json` not found", true},
      {"missing entry", {{"repo-1/.project.json", info_json("P")}}, ArchiveRootDetect{}, "src/b.sysml",
       "failed to retrieve file from zip archive: repo-1/src/b.sysml", true},
  };
  int i = 0;
  for (const auto& c : cases) {
    auto path = dir.path() / ("a" + std::to_string(i++) + ".kpar");
    make_zip(path, c.entries);
    LocalKparProject project(path, {}, c.root);
    auto reader = project.read_source(c.read);
    if (c.fails) {
      ASSERT_FALSE(reader) << c.name;
      EXPECT_EQ(reader.error().message(), c.expected) << c.name;
    } else {
      ASSERT_TRUE(reader) << c.name << ": " << reader.error().message();
      EXPECT_EQ(read_to_end(**reader), c.expected) << c.name;
    }
  }
}

TEST(LocalKpar, ChecksumAndSources) {
  TempDir dir;
  auto path = dir.path() / "k" / "p.kpar";
  std::filesystem::create_directories(path.parent_path());
  make_zip(path, {{".project.json", info_json("P")}, {".meta.json", kMeta}});
  const std::string digest = sha256_hex(read_file(path).value());
  const auto size = std::filesystem::file_size(path);

  LocalKparProject project(path);
  auto checksum = project.checksum_hex();
  ASSERT_TRUE(checksum);
  EXPECT_EQ(*checksum, EnvProjectChecksum::kpar(digest));
  EXPECT_EQ(kpar_file_sha256(path).value(), digest);
  EXPECT_EQ(kpar_file_size(path).value(), size);

  auto relative = project.sources({dir.path() / "ws", std::nullopt});
  ASSERT_TRUE(relative);
  EXPECT_EQ(*relative, (std::vector<Source>{LocalKparSource{"../k/p.kpar", size, digest}}));
  LocalKparProject nominal(path, "../k/p.kpar");
  EXPECT_EQ(nominal.sources({}).value(), *relative);
  EXPECT_THROW((void)project.sources({}), InternalError);

  auto missing = kpar_file_sha256(dir.path() / "none.kpar");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().holds<LocalKparError::Io>());
  EXPECT_FALSE(kpar_file_size(dir.path() / "none.kpar"));
}

TEST(LocalKpar, InvalidMetadataFailsOnlyItsReaders) {
  TempDir dir;
  auto path = dir.path() / "p.kpar";
  make_zip(path, {{".project.json", info_json("P")}, {".meta.json", "{\"index\":"}});
  LocalKparProject project(path);
  auto info = project.get_info();
  ASSERT_TRUE(info) << info.error().message();
  EXPECT_EQ((*info)->name, "P");
  for (auto err : {project.get_meta().error(), project.get_project().error()}) {
    EXPECT_TRUE(err.holds<LocalKparError::Deserialize>());
    EXPECT_NE(err.message().find("failed to deserialize `.meta.json`"), std::string::npos);
  }
}

TEST(LocalKpar, ExtractsEachPathOnce) {
  TempDir dir;
  auto path = dir.path() / "p.kpar";
  make_zip(path, {{"a", "first"}});
  LocalKparProject project(path);
  EXPECT_EQ(read_to_end(**project.read_source("a")), "first");
  // The archive changes under the project: the extracted file is served.
  make_zip(path, {{"a", "second"}, {"b", "b"}});
  EXPECT_EQ(read_to_end(**project.read_source("a")), "first");
  EXPECT_EQ(read_to_end(**project.read_source("b")), "b");
  // Another text for the same file is another cache entry and another lookup.
  auto doubled = project.read_source("./a");
  ASSERT_FALSE(doubled);
  EXPECT_EQ(doubled.error().message(), "failed to retrieve file from zip archive: ./a");
}

TEST(LocalKpar, FailedExtractionIsNeverServed) {
  TempDir dir;
  auto path = dir.path() / "p.kpar";
  std::string big(1 << 20, 'x');
  make_zip(path, {{"big", big, true}});
  LocalKparProject project(path);
  ASSERT_TRUE(project.checksum_hex());
  auto cut = with_file_size_limit(64 * 1024, [&] { return project.read_source("big"); });
  ASSERT_FALSE(cut);
  EXPECT_TRUE(cut.error().holds<LocalKparError::Io>());
  EXPECT_TRUE(cut.error().message().starts_with("failed to write file\n")) << cut.error().message();
  auto whole = project.read_source("big");
  ASSERT_TRUE(whole) << whole.error().message();
  EXPECT_EQ(read_to_end(**whole), big);
}

TEST(LocalKpar, BombsAreRefusedBeforeExtraction) {
  TempDir dir;
  ScopedTmpdir tmp;
  auto path = dir.path() / "bomb.kpar";
  const std::string info = info_json("P");
  auto make = [&] {
    make_zip(path, {{".project.json", info}, {"a.sysml", "package A;"}, {"b.sysml", "package B;"},
                    {"c.sysml", "package C;"}, {"d.sysml", "package D;"}, {"e.sysml", "package E;"}});
  };
  const std::string where = "failed to parse zip archive `" + path.string() + "`: ";
  struct Case {
    const char* what;
    std::function<void()> patch;
    std::string message;
  } cases[] = {
      {"two entries share their data",
       [&] { patch_central_field(path, 2, 42, static_cast<std::uint32_t>(30 + 13 + info.size())); },
       where + "invalid zip archive: entries `a.sysml` and `b.sysml` overlap"},
      {"declared sizes past the bound",
       [&] {
         for (std::size_t i = 1; i <= 5; ++i) patch_central_field(path, i, 24, 0xFFFFFFF0u);
       },
       where + "unsupported zip archive: entries declare " + std::to_string(info.size() + 5 * 0xFFFFFFF0ull) +
           " bytes in all, more than the limit of 17179869184 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    make();
    c.patch();
    for (auto root : {ArchiveRoot{ArchiveRootDetect{}}, ArchiveRoot{std::string()}}) {
      LocalKparProject project(path, "bomb.kpar", root);
      auto read = project.read_source("a.sysml");
      ASSERT_FALSE(read);
      EXPECT_TRUE(read.error().holds<LocalKparError::Zip>());
      EXPECT_EQ(read.error().message(), c.message);
      auto info_read = project.get_info();
      ASSERT_FALSE(info_read);
      EXPECT_EQ(info_read.error().message(), c.message);
    }
    // Nothing was extracted: at most the empty directory of the opened archive.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(::getenv("TMPDIR")))
      EXPECT_TRUE(entry.is_directory()) << entry.path();
  }
}

TEST(LocalPath, DispatchesAndConvertsErrors) {
  TempDir dir;
  write_text(dir.path() / "src" / ".project.json", "{");
  LocalPathProject src(LocalSrcProject(dir.path() / "src", "src"));
  auto records = src.get_project();
  ASSERT_FALSE(records);
  EXPECT_TRUE(records.error().holds<LocalPathProjectError::Deserialize>());
  auto sources = src.sources({});
  ASSERT_FALSE(sources);
  EXPECT_TRUE(sources.error().holds<LocalPathProjectError::LocalSrc>());
  EXPECT_NE(src.src(), nullptr);

  write_text(dir.path() / "e.kpar", "");
  LocalPathProject kpar(LocalKparProject(dir.path() / "e.kpar", "e.kpar"));
  EXPECT_EQ(kpar.src(), nullptr);
  for (auto err : {kpar.get_project().error(), kpar.sources({}).error(), kpar.checksum_hex().error()})
    EXPECT_TRUE(err.holds<LocalPathProjectError::EmptyKpar>());
}

}  // namespace
}  // namespace kestro::project
