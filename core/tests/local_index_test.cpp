// The local index commands on real directories and archives: the files they
// write, the texts of their failures with the notes, what stays untouched
// when they fail, and the state a process killed in the middle leaves.
#include "kestro/commands/local_index.hpp"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/log_capture.hpp"
#include "support/process.hpp"
#include "test_support.hpp"
#include "zip_fixture.hpp"

#include "kestro/model/identifiers.hpp"
#include "kestro/model/index_documents.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/model/records.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro {
namespace {

namespace fs = std::filesystem;
using commands::do_index_add;
using commands::do_index_init;
using commands::do_index_remove;
using commands::do_index_yank;
using model::IndexJson;
using model::VersionsJson;

constexpr const char* kGeo = "pkg:kestro/north-wind/geo.core";
constexpr const char* kMeta = R"({"index":{},"created":"2025-01-01T00:00:00Z"})";
constexpr const char* kEmptyIndex = "{\n  \"projects\": []\n}\n";
constexpr const char* kTail = "\nand then rebuild the KPAR before adding it to the index";
constexpr const char* kNamingRules =
    "no need to specify the IRI, as it will be derived from\nthe project publisher and name if both follow Kestro "
    "naming rules, which are:\n- between 3 and 50 ASCII characters long\n- starts and ends with a letter or "
    "number\n- may contain single spaces or hyphens (`-`); name can in addition contain dots";
constexpr const char* kJsonNote =
    "\n\nnote: either fix the JSON file to be valid or recreate the index\nfrom the same kpar archives";

// "" on success, else the whole rendered error with its note.
std::string outcome(const std::expected<void, index::IndexError>& result) {
  return result ? std::string() : result.error().message();
}

std::string info_text(std::string_view version, std::optional<std::string_view> publisher = "North Wind",
                      std::string_view name = "Geo.Core") {
  std::string json = "{\"name\":\"" + std::string(name) + "\"";
  if (publisher) json += ",\"publisher\":\"" + std::string(*publisher) + "\"";
  return json + ",\"version\":\"" + std::string(version) + "\"}";
}

// SHA-256 of a file as `sha256sum` prints it.
std::string sha256sum(const fs::path& path) {
  auto result = testing::run_command({"sha256sum", path.string()});
  return result.out.substr(0, 64);
}

std::string io_text(FsIoError err) { return err.message(); }

class LocalIndex : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(outcome(do_index_init(root)), ""); }

  // An archive holding the two records (under `prefix`, when given).
  fs::path kpar(const std::string& info, std::string_view meta = kMeta, std::string_view prefix = "",
                bool deflated = false) {
    fs::path path = dir.path() / ("archive" + std::to_string(archive_count++) + ".kpar");
    make_zip(path, {{std::string(prefix) + ".project.json", info, deflated},
                    {std::string(prefix) + ".meta.json", std::string(meta), deflated}});
    return path;
  }
  std::string add(std::string_view version, std::optional<std::string> iri = std::nullopt) {
    return outcome(do_index_add(std::move(iri), kpar(info_text(version)), root));
  }
  fs::path geo_dir() const { return root / "north-wind" / "geo.core"; }
  static VersionsJson versions_of(const fs::path& project_dir) {
    return model::parse_versions_json_text(read_bytes(project_dir / "versions.json")).value();
  }
  std::vector<std::string> listed_versions(const fs::path& project_dir) const {
    std::vector<std::string> out;
    for (const auto& v : versions_of(project_dir).versions) out.push_back(v.version);
    return out;
  }
  std::vector<model::VersionStatus> statuses(const fs::path& project_dir) const {
    std::vector<model::VersionStatus> out;
    for (const auto& v : versions_of(project_dir).versions) out.push_back(v.status);
    return out;
  }

  TempDir dir;
  fs::path root = dir.path() / "index";
  int archive_count = 0;
};

TEST(LocalIndexInit, CreatesTheRootAndItsParentsWithAnEmptyIndex) {
  TempDir dir;
  const fs::path root = dir.path() / "a" / "b" / "c";
  log::ScopedCapture capture;
  ASSERT_EQ(outcome(do_index_init(root)), "");
  EXPECT_EQ(read_bytes(root / "index.json"), kEmptyIndex);
  EXPECT_EQ(testing::messages_of(capture, {"kestro_core::commands::index::init"}),
            std::vector<std::string>{"    Creating index"});
}

TEST(LocalIndexInit, RefusesAnExistingIndexAndLeavesItAsItWas) {
  TempDir dir;
  const std::string before = R"({"projects":[{"iri":"urn:x"}]})";
  write_text(dir.path() / "index.json", before);
  EXPECT_EQ(outcome(do_index_init(dir.path())), "`kestro index init` cannot be run on an existing index");
  EXPECT_EQ(read_bytes(dir.path() / "index.json"), before);
}

TEST_F(LocalIndex, AddNamesTheProjectByItsNormalisedPublisherAndName) {
  const std::string info =
      R"({"name":"Geo.Core","publisher":"North Wind","version":"1.0.0","usage":[{"resource":"urn:kestro:dep/x","versionConstraint":"^1"}]})";
  const fs::path archive = kpar(info);
  log::ScopedCapture capture;
  ASSERT_EQ(outcome(do_index_add(std::nullopt, archive, root)), "");
  EXPECT_EQ(testing::messages_of(capture, {"kestro_core::commands::index::add"}),
            std::vector<std::string>{std::string("      Adding ") + kGeo + " version 1.0.0"});
  EXPECT_EQ(read_bytes(root / "index.json"),
            std::string("{\n  \"projects\": [\n    {\n      \"iri\": \"") + kGeo + "\"\n    }\n  ]\n}\n");
  EXPECT_EQ(read_bytes(geo_dir() / "versions.json"),
            "{\n  \"versions\": [\n    {\n      \"version\": \"1.0.0\",\n      \"usage\": [\n        {\n"
            "          \"resource\": \"urn:kestro:dep/x\",\n          \"versionConstraint\": \"^1\"\n        }\n"
            "      ],\n      \"kpar_size\": " +
                std::to_string(fs::file_size(archive)) + ",\n      \"kpar_digest\": \"sha256:" + sha256sum(archive) +
                "\"\n    }\n  ]\n}\n");
  const fs::path version_dir = geo_dir() / "1.0.0";
  EXPECT_EQ(read_bytes(version_dir / "project.kpar"), read_bytes(archive));
  EXPECT_EQ(read_bytes(version_dir / ".project.json"),
            "{\n  \"name\": \"Geo.Core\",\n  \"publisher\": \"North Wind\",\n  \"version\": \"1.0.0\",\n  \"usage\": [\n"
            "    {\n      \"resource\": \"urn:kestro:dep/x\",\n      \"versionConstraint\": \"^1\"\n    }\n  ]\n}\n");
  EXPECT_EQ(read_bytes(version_dir / ".meta.json"), "{\n  \"index\": {},\n  \"created\": \"2025-01-01T00:00:00Z\"\n}\n");
}

TEST_F(LocalIndex, AZeroByteIndexIsAnIndexWithoutProjects) {
  write_text(root / "index.json", "");
  ASSERT_EQ(add("1.0.0"), "");
  EXPECT_EQ(*model::parse_index_json_text(read_bytes(root / "index.json")), (IndexJson{{{kGeo}}}));
}

TEST_F(LocalIndex, AnyOtherIriGoesToTheDigestBucketWhateverThePublisher) {
  ASSERT_EQ(outcome(do_index_add("urn:kestro:north/geo", kpar(info_text("1.0.0", "x")), root)), "");
  write_text(dir.path() / "iri.txt", "urn:kestro:north/geo");
  const fs::path project_dir = root / "_iri" / sha256sum(dir.path() / "iri.txt");
  EXPECT_EQ(listed_versions(project_dir), std::vector<std::string>{"1.0.0"});
  EXPECT_TRUE(fs::exists(project_dir / "1.0.0" / "project.kpar"));
  EXPECT_EQ(*model::parse_index_json_text(read_bytes(root / "index.json")), (IndexJson{{{"urn:kestro:north/geo"}}}));
}

TEST_F(LocalIndex, ARootThatIsNoDirectoryIsNamedTwiceInTheNoteTheSecondTimeQuoted) {
  const fs::path file = dir.path() / "it's a file";
  write_text(file, "");
  const std::string shown = file.string();
  const std::string quoted = "'" + dir.path().string() + "/it'\\''s a file'";
  EXPECT_EQ(outcome(do_index_add(std::nullopt, kpar(info_text("1.0.0")), file)),
            "index root directory `" + shown + "` not found\n\nnote: before adding packages, create a new index at `" +
                shown + "` with:\nkestro index init --index-root " + quoted);
  EXPECT_EQ(outcome(do_index_add(std::nullopt, kpar(info_text("1.0.0")), dir.path() / "absent")),
            "index root directory `" + (dir.path() / "absent").string() +
                "` not found\n\nnote: before adding packages, create a new index at `" +
                (dir.path() / "absent").string() + "` with:\nkestro index init --index-root '" +
                (dir.path() / "absent").string() + "'");
}

TEST_F(LocalIndex, RefusesWhatCannotBeAddedAndWritesNothing) {
  const std::string before = read_bytes(root / "index.json");
  const fs::path nested = kpar(info_text("1.0.0"), kMeta, "proj/");
  const fs::path built = kpar(info_text("2.1.0-beta.2+ci.9"));
  const fs::path invalid = kpar(info_text("1.0"));
  const auto invalid_version =
      model::validate_project_info(model::parse_project_info(info_text("1.0")).value()).error();
  const fs::path no_meta = dir.path() / "no-meta.kpar";
  make_zip(no_meta, {{".project.json", info_text("1.0.0")}});
  const fs::path no_info = dir.path() / "no-info.kpar";
  make_zip(no_info, {{"src/.meta.json", kMeta}, {"src/a.sysml", ""}});
  struct Case {
    const char* name;
    std::optional<std::string> iri;
    fs::path archive;
    std::string expected;
  } cases[] = {
      {"project in a subdirectory", std::nullopt, nested,
       "archive `" + nested.string() +
           "` does not contain a project at its root,\nthe project is at `proj` within the archive;\nproject must be "
           "at the root of the archive\n\nnote: to fix this, rebuild the kpar with kestro:\nif you have access to the "
           "original project, run:\n                kestro build\nif not, clone and rebuild the project by running "
           "in an empty directory:\n                kestro clone '" +
           nested.string() + "'\nkestro build\nand then try adding the built KPAR to the index"},
      {"build metadata", std::nullopt, built,
       "Version 2.1.0-beta.2+ci.9 is not allowed to have build metadata in (from .project.json in KPAR `" +
           built.string() +
           "`)\n\nnote: remove the build metadata by running in the original project:\nkestro info version --set "
           "2.1.0-beta.2" +
           kTail},
      {"invalid record", std::nullopt, invalid,
       "KPAR `" + invalid.string() + "` is invalid\n  caused by: " + render_error_chain(invalid_version)},
      {"no metadata", std::nullopt, no_meta, ".meta.json file is missing from the KPAR `" + no_meta.string() + "`"},
      {"no information entry anywhere", std::nullopt, no_info,
       project::LocalKparError(project::LocalKparError::NotFound{".project.json"}).message()},
      {"IRI that is no index identifier", "pkg:kestro/north", kpar(info_text("1.0.0")),
       "malformed `pkg:kestro` IRI `pkg:kestro/north`\n  caused by: " +
           model::split_index_iri("pkg:kestro/north").error().cause()->message() + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(outcome(do_index_add(c.iri, c.archive, root)), c.expected);
    EXPECT_EQ(read_bytes(root / "index.json"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), {}), 1);
  }
}

TEST_F(LocalIndex, TheIdentifierComesFromTheIriOrTheRecordFollowingTheNamingRules) {
  const std::string before = read_bytes(root / "index.json");
  const std::string publisher_rules =
      "publisher has to follow the following rules:\n- between 3 and 50 ASCII characters long\n- starts and ends "
      "with a letter or number\n- may contain single spaces or hyphens (`-`)\nset the publisher that follows the "
      "above rules with:\n                kestro info publisher --set <publisher>" +
      std::string(kTail);
  const std::string name_rules =
      "name has to follow the following rules:\n- between 3 and 50 ASCII characters long\n- starts and ends with a "
      "letter or number\n- may contain single spaces, dots or hyphens (`-`)\nset the name that follows the above "
      "rules with:\n                kestro info name --set <name>" +
      std::string(kTail);
  struct Case {
    const char* name;
    std::optional<std::string> iri;
    std::optional<std::string_view> publisher;
    std::string_view project_name;
    std::string expected;  // {} stands for the archive's path
  } cases[] = {
      {"IRI against another publisher", "pkg:kestro/north/geo.core", "North Wind", "Geo.Core",
       "pkg:kestro/north/geo.core specifies project publisher north, which must be the same as normalized publisher "
       "north-wind from .project.json (if the latter is present)\n\nnote: " +
           std::string(kNamingRules)},
      {"IRI against another name", "pkg:kestro/north-wind/geo", "North Wind", "Geo.Core",
       "pkg:kestro/north-wind/geo specifies project name geo, which must be the same as normalized name geo.core "
       "from .project.json\n\nnote: " +
           std::string(kNamingRules)},
      {"IRI without a publisher in the record", "pkg:kestro/north-wind/geo.core", std::nullopt, "Geo.Core",
       "IRI pkg:kestro/north-wind/geo.core is of the form pkg:kestro/<publisher>/<name>, but that's only allowed for "
       "projects which specify publisher in .project.json\n\nnote: set a project publisher with:\nkestro info "
       "publisher --set north-wind" +
           std::string(kTail)},
      {"no IRI and no publisher", std::nullopt, std::nullopt, "Geo.Core",
       "project iri is unclear, either it must be provided, or .project.json needs to specify publisher (in which "
       "case the iri would be pkg:kestro/<publisher>/<name>)\n\nnote: set a project publisher with:\nkestro info "
       "publisher --set <publisher>" +
           std::string(kTail)},
      {"invalid publisher", std::nullopt, "No", "Geo.Core",
       "invalid publisher `No` in .project.json of KPAR {}\n\nnote: " + publisher_rules},
      {"invalid name", std::nullopt, "North Wind", "Geo..Core",
       "invalid name `Geo..Core` in .project.json of KPAR {}\n\nnote: " + name_rules},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path archive = kpar(info_text("1.0.0", c.publisher, c.project_name));
    std::string expected = c.expected;
    if (auto at = expected.find("{}"); at != std::string::npos) expected.replace(at, 2, archive.string());
    EXPECT_EQ(outcome(do_index_add(c.iri, archive, root)), expected);
    EXPECT_EQ(read_bytes(root / "index.json"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), {}), 1);
  }
}

TEST_F(LocalIndex, VersionsAreListedNewestFirstAndASecondVersionLeavesTheIndexAlone) {
  ASSERT_EQ(add("3.0.0"), "");
  const std::string index_before = read_bytes(root / "index.json");
  struct stat before {};
  ASSERT_EQ(::stat((root / "index.json").c_str(), &before), 0);
  ASSERT_EQ(add("1.0.0"), "");
  ASSERT_EQ(add("2.5.0"), "");
  EXPECT_EQ(listed_versions(geo_dir()), (std::vector<std::string>{"3.0.0", "2.5.0", "1.0.0"}));
  struct stat after {};
  ASSERT_EQ(::stat((root / "index.json").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(read_bytes(root / "index.json"), index_before);
  // A new project is appended.
  ASSERT_EQ(outcome(do_index_add(std::nullopt, kpar(info_text("1.0.0", "Acme", "Tool")), root)), "");
  EXPECT_EQ(*model::parse_index_json_text(read_bytes(root / "index.json")),
            (IndexJson{{{kGeo}, {"pkg:kestro/acme/tool"}}}));
}

TEST_F(LocalIndex, AVersionOnceAddedCanNeverBeAddedAgain) {
  ASSERT_EQ(add("1.0.0"), "");
  ASSERT_EQ(add("2.0.0"), "");
  ASSERT_EQ(add("3.0.0"), "");
  ASSERT_EQ(outcome(do_index_yank(kGeo, "1.0.0", root)), "");
  ASSERT_EQ(outcome(do_index_remove(kGeo, "2.0.0", root)), "");
  const std::string g = kGeo;
  EXPECT_EQ(add("3.0.0"), g + " version 3.0.0 already exists");
  EXPECT_EQ(add("1.0.0"), g + " version 1.0.0 is yanked so it cannot be added again; yanked version can only stay "
                              "yanked or be removed");
  EXPECT_EQ(add("2.0.0"),
            g + " version 2.0.0 is removed so it cannot be added again; removed version can only stay removed");
  ASSERT_EQ(outcome(do_index_remove(kGeo, std::nullopt, root)), "");
  EXPECT_EQ(add("4.0.0"), "project " + g + " is removed so no new version can be added");
}

TEST_F(LocalIndex, AHandEditedVersionListIsCheckedBeforeAnythingIsAdded) {
  const fs::path versions_path = geo_dir() / "versions.json";
  auto entry = [](std::string_view version) {
    return "{\"version\":\"" + std::string(version) +
           "\",\"usage\":[],\"kpar_size\":1,\"kpar_digest\":\"sha256:00\"}";
  };
  const std::string index_before = read_bytes(root / "index.json");
  struct Case {
    const char* name;
    std::string versions;
    std::string expected;
  } cases[] = {
      {"not a semantic version", "{\"versions\":[" + entry("1.0.0") + "," + entry("2.0") + "]}",
       "`" + versions_path.string() + "` contains invalid semantic version 2.0\n  caused by: " +
           semver::Version::parse("2.0").error().message() + "\n"},
      {"the same version twice, apart", "{\"versions\":[" + entry("1.0.0") + "," + entry("2.0.0") + "," +
                                            entry("1.0.0") + "]}",
       "file `" + versions_path.string() + " contains duplicate version 1.0.0"},
      {"invalid JSON", "{\"versions\":", "patching json `" + versions_path.string() +
                                             "` failed as the current contents are invalid\n  caused by: " +
                                             model::parse_versions_json_text("{\"versions\":").error().message() +
                                             "\n" + kJsonNote},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_text(versions_path, c.versions);
    EXPECT_EQ(add("3.0.0"), c.expected);
    EXPECT_EQ(read_bytes(versions_path), c.versions);
    EXPECT_EQ(read_bytes(root / "index.json"), index_before);
    EXPECT_FALSE(fs::exists(geo_dir() / "3.0.0"));
  }
}

TEST_F(LocalIndex, ALeftoverVersionDirectoryStopsTheAdd) {
  fs::create_directories(geo_dir() / "1.0.0");
  const std::string index_before = read_bytes(root / "index.json");
  EXPECT_EQ(add("1.0.0"), io_text(FsIoError::MkDir{geo_dir() / "1.0.0", IoError::from_errno(EEXIST)}));
  EXPECT_EQ(read_bytes(root / "index.json"), index_before);
  EXPECT_EQ(read_bytes(geo_dir() / "versions.json"), "");
}

TEST_F(LocalIndex, AFailedWriteIntoTheVersionDirectoryRemovesIt) {
  // A metadata record far larger than the compressed archive: the archive is
  // copied, writing the record then fails at the file-size limit.
  std::string meta = R"({"index":{)";
  for (int i = 0; i < 400; ++i) meta += (i ? "," : "") + std::string("\"Symbol") + std::to_string(i) + "\":\"a.sysml\"";
  meta += R"(},"created":"2025-01-01T00:00:00Z"})";
  const fs::path archive = kpar(info_text("1.0.0"), meta, "", true);
  const auto limit = static_cast<rlim_t>(fs::file_size(archive) + 64);
  ASSERT_GT(meta.size(), limit);
  const std::string index_before = read_bytes(root / "index.json");
  auto result = with_file_size_limit(limit, [&] { return do_index_add(std::nullopt, archive, root); });
  EXPECT_EQ(outcome(result),
            "adding version failed; no files changed\n  caused by: " +
                io_text(FsIoError::WriteFile{geo_dir() / "1.0.0" / ".meta.json", IoError::from_errno(EFBIG)}) + "\n");
  EXPECT_FALSE(fs::exists(geo_dir() / "1.0.0"));
  EXPECT_EQ(read_bytes(root / "index.json"), index_before);
  EXPECT_EQ(read_bytes(geo_dir() / "versions.json"), "");
}

TEST_F(LocalIndex, YankMovesMatchingVersionsForwardAndWarnsOnRepeats) {
  ASSERT_EQ(add("1.0.0"), "");
  ASSERT_EQ(add("2.0.0"), "");
  const std::string g = kGeo;
  const auto yank_target = {std::string_view("kestro_core::commands::index::yank")};
  {
    log::ScopedCapture capture;
    ASSERT_EQ(outcome(do_index_yank(kGeo, "1.0.0", root)), "");
    EXPECT_EQ(testing::leveled_messages_of(capture, yank_target),
              std::vector<std::string>{"info:      Yanking " + g + " version 1.0.0"});
  }
  using model::VersionStatus;
  EXPECT_EQ(statuses(geo_dir()), (std::vector<VersionStatus>{VersionStatus::Available, VersionStatus::Yanked}));
  const std::string yanked = read_bytes(geo_dir() / "versions.json");
  {
    log::ScopedCapture capture;
    ASSERT_EQ(outcome(do_index_yank(kGeo, "1.0.0", root)), "");
    EXPECT_EQ(testing::leveled_messages_of(capture, yank_target),
              (std::vector<std::string>{"info:      Yanking " + g + " version 1.0.0",
                                        "warn: " + g + " version 1.0.0 is already yanked"}));
  }
  EXPECT_EQ(read_bytes(geo_dir() / "versions.json"), yanked);
  // Texts are compared as written.
  EXPECT_EQ(outcome(do_index_yank(kGeo, "2.0", root)), g + " version 2.0 does not exist");
  EXPECT_EQ(outcome(do_index_remove(kGeo, "2.0", root)), g + " version 2.0 does not exist");
  ASSERT_EQ(outcome(do_index_remove(kGeo, "2.0.0", root)), "");
  EXPECT_EQ(outcome(do_index_yank(kGeo, "2.0.0", root)),
            g + " version 2.0.0 is removed so it cannot be yanked; removed version can only stay removed");
}

TEST_F(LocalIndex, YankMarksEveryDuplicateEntry) {
  ASSERT_EQ(add("1.0.0"), "");
  VersionsJson versions = *model::parse_versions_json_text(read_bytes(geo_dir() / "versions.json"));
  versions.versions.push_back(versions.versions.front());
  write_text(geo_dir() / "versions.json", model::to_pretty_json(versions));
  log::ScopedCapture capture;
  ASSERT_EQ(outcome(do_index_yank(kGeo, "1.0.0", root)), "");
  using model::VersionStatus;
  EXPECT_EQ(statuses(geo_dir()), (std::vector<VersionStatus>{VersionStatus::Yanked, VersionStatus::Yanked}));
  EXPECT_EQ(testing::leveled_messages_of(capture, {"kestro_core::commands::index::yank"}).back(),
            std::string("warn: ") + kGeo + " had duplicate versions 1.0.0, all are yanked");
}

TEST_F(LocalIndex, RemovingOneVersionLeavesTheProjectAvailable) {
  ASSERT_EQ(add("1.0.0"), "");
  ASSERT_EQ(add("2.0.0"), "");
  const std::string index_before = read_bytes(root / "index.json");
  ASSERT_EQ(outcome(do_index_remove(kGeo, "2.0.0", root)), "");
  EXPECT_FALSE(fs::exists(geo_dir() / "2.0.0"));
  EXPECT_TRUE(fs::exists(geo_dir() / "1.0.0" / "project.kpar"));
  using model::VersionStatus;
  EXPECT_EQ(statuses(geo_dir()), (std::vector<VersionStatus>{VersionStatus::Removed, VersionStatus::Available}));
  EXPECT_EQ(read_bytes(root / "index.json"), index_before);
  log::ScopedCapture capture;
  ASSERT_EQ(outcome(do_index_remove(kGeo, "2.0.0", root)), "");
  EXPECT_EQ(testing::leveled_messages_of(capture, {"kestro_core::commands::index::remove"}),
            (std::vector<std::string>{std::string("info:     Removing ") + kGeo + " version 2.0.0",
                                      std::string("warn: ") + kGeo + " version 2.0.0 is already removed"}));
}

TEST_F(LocalIndex, RemovingAWholeProjectTwiceWarnsTheSecondTime) {
  ASSERT_EQ(add("1.0.0"), "");
  ASSERT_EQ(add("2.0.0"), "");
  ASSERT_EQ(outcome(do_index_yank(kGeo, "1.0.0", root)), "");
  ASSERT_EQ(outcome(do_index_remove(kGeo, std::nullopt, root)), "");
  EXPECT_EQ(*model::parse_index_json_text(read_bytes(root / "index.json")),
            (IndexJson{{{kGeo, model::IndexProjectStatus::Removed}}}));
  using model::VersionStatus;
  EXPECT_EQ(statuses(geo_dir()), (std::vector<VersionStatus>{VersionStatus::Removed, VersionStatus::Removed}));
  EXPECT_FALSE(fs::exists(geo_dir() / "1.0.0"));
  EXPECT_FALSE(fs::exists(geo_dir() / "2.0.0"));
  const std::string index_before = read_bytes(root / "index.json");
  const std::string versions_before = read_bytes(geo_dir() / "versions.json");
  log::ScopedCapture capture;
  ASSERT_EQ(outcome(do_index_remove(kGeo, std::nullopt, root)), "");
  EXPECT_EQ(testing::leveled_messages_of(capture, {"kestro_core::commands::index::remove"}),
            (std::vector<std::string>{std::string("warn: ") + kGeo + " is already removed",
                                      std::string("info:     Removing ") + kGeo}));
  EXPECT_EQ(read_bytes(root / "index.json"), index_before);
  EXPECT_EQ(read_bytes(geo_dir() / "versions.json"), versions_before);
}

TEST_F(LocalIndex, AProjectWithoutVersionListGetsAnEmptyOne) {
  write_text(root / "index.json", R"({"projects":[{"iri":"pkg:kestro/acme/lonely"}]})");
  const fs::path project_dir = root / "acme" / "lonely";
  fs::create_directories(project_dir);
  EXPECT_EQ(outcome(do_index_yank("pkg:kestro/acme/lonely", "1.0.0", root)),
            "pkg:kestro/acme/lonely version 1.0.0 does not exist");
  EXPECT_EQ(read_bytes(project_dir / "versions.json"), "");
  fs::remove(project_dir / "versions.json");
  EXPECT_EQ(outcome(do_index_remove("pkg:kestro/acme/lonely", "1.0.0", root)),
            "pkg:kestro/acme/lonely version 1.0.0 does not exist");
  fs::remove(project_dir / "versions.json");
  ASSERT_EQ(outcome(do_index_remove("pkg:kestro/acme/lonely", std::nullopt, root)), "");
  EXPECT_EQ(read_bytes(project_dir / "versions.json"), "");
  EXPECT_EQ(*model::parse_index_json_text(read_bytes(root / "index.json")),
            (IndexJson{{{"pkg:kestro/acme/lonely", model::IndexProjectStatus::Removed}}}));
}

TEST_F(LocalIndex, YankAndRemoveShareTheirStartFailures) {
  ASSERT_EQ(add("1.0.0"), "");
  const fs::path bare = dir.path() / "bare";
  fs::create_directories(bare);
  const fs::path broken = dir.path() / "broken";
  write_text(broken / "index.json", "{");
  struct Case {
    const char* name;
    std::string iri;
    fs::path root;
    std::string expected;
  } cases[] = {
      {"unknown project", "pkg:kestro/acme/missing", root, "Project pkg:kestro/acme/missing doesn't exist"},
      {"root missing", kGeo, dir.path() / "absent",
       "index root directory `" + (dir.path() / "absent").string() + "` not found"},
      {"not an index", kGeo, bare,
       "directory `" + bare.string() +
           "` is not an index as it doesn't have index.json file; make sure you run `kestro index init` in this "
           "directory before adding any packages\n  caused by: " +
           io_text(FsIoError::OpenFile{bare / "index.json", IoError::from_errno(ENOENT)}) + "\n"},
      {"invalid JSON", kGeo, broken,
       "patching json `" + (broken / "index.json").string() + "` failed as the current contents are invalid\n"
       "  caused by: " + model::parse_index_json_text("{").error().message() + "\n" + kJsonNote},
      {"malformed IRI", "pkg:kestro/acme", root,
       "malformed `pkg:kestro` IRI `pkg:kestro/acme`\n  caused by: " +
           model::split_index_iri("pkg:kestro/acme").error().cause()->message() + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(outcome(do_index_yank(c.iri, "1.0.0", c.root)), c.expected);
    EXPECT_EQ(outcome(do_index_remove(c.iri, "1.0.0", c.root)), c.expected);
    EXPECT_EQ(outcome(do_index_remove(c.iri, std::nullopt, c.root)), c.expected);
  }
  EXPECT_EQ(statuses(geo_dir()), std::vector<model::VersionStatus>{model::VersionStatus::Available});
}

// A version text names a directory: one that is not a single path
// component is refused before anything changes.
TEST_F(LocalIndex, RemoveRefusesVersionTextsThatLeaveTheProjectDirectory) {
  ASSERT_EQ(add("1.0.0"), "");
  write_text(dir.path() / "index" / "north-wind" / "keep", "");
  VersionsJson original = *model::parse_versions_json_text(read_bytes(geo_dir() / "versions.json"));
  for (std::string bad : {"..", "../..", ".", "a/b", ""}) {
    SCOPED_TRACE(bad);
    VersionsJson versions = original;
    versions.versions.push_back(versions.versions.front());
    versions.versions.back().version = bad;
    write_text(geo_dir() / "versions.json", model::to_pretty_json(versions));
    const std::string versions_before = read_bytes(geo_dir() / "versions.json");
    const std::string index_before = read_bytes(root / "index.json");
    const std::string expected = io_text(FsIoError::RmDir{
        geo_dir() / bad, IoError::custom("invalid input: version is not a single path component")});
    EXPECT_EQ(outcome(do_index_remove(kGeo, std::nullopt, root)), expected);
    EXPECT_EQ(outcome(do_index_remove(kGeo, bad, root)), expected);
    EXPECT_EQ(read_bytes(geo_dir() / "versions.json"), versions_before);
    EXPECT_EQ(read_bytes(root / "index.json"), index_before);
    EXPECT_TRUE(fs::exists(geo_dir() / "1.0.0" / "project.kpar"));
    EXPECT_TRUE(fs::exists(root / "north-wind" / "keep"));
  }
}

// What a reader of the index may rely on at any moment: both lists parse,
// never shrink, and every listed version has its files.
struct IndexState {
  std::size_t projects = 0;
  std::map<fs::path, std::size_t> versions;  // per versions.json
};

::testing::AssertionResult check_index(const fs::path& root, IndexState& last) {
  const std::string index_text = read_bytes(root / "index.json");
  auto index = index_text.empty() ? json::Result<IndexJson>(IndexJson{}) : model::parse_index_json_text(index_text);
  if (!index) return ::testing::AssertionFailure() << "index.json: " << index.error().message();
  if (index->projects.size() < last.projects)
    return ::testing::AssertionFailure() << "index.json lost projects: " << index_text;
  last.projects = index->projects.size();
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() != "versions.json") continue;
    const std::string text = read_bytes(entry.path());
    auto versions = text.empty() ? json::Result<VersionsJson>(VersionsJson{}) : model::parse_versions_json_text(text);
    if (!versions) return ::testing::AssertionFailure() << entry.path() << ": " << versions.error().message();
    std::size_t& seen = last.versions[entry.path()];
    if (versions->versions.size() < seen) return ::testing::AssertionFailure() << entry.path() << " lost versions";
    seen = versions->versions.size();
    for (const auto& v : versions->versions) {
      const fs::path version_dir = entry.path().parent_path() / v.version;
      std::error_code ec;
      if (fs::file_size(version_dir / "project.kpar", ec) != v.kpar_size || ec ||
          !model::parse_project_info(read_bytes(version_dir / ".project.json")) ||
          !model::parse_project_meta(read_bytes(version_dir / ".meta.json")))
        return ::testing::AssertionFailure() << version_dir << " is listed but incomplete";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(LocalIndex, AProcessKilledAtAnyPointLeavesEveryListReadable) {
  // Killed children leave their working directories behind: here.
  ScopedTmpdir tmp;
  const std::vector<fs::path> archives = {kpar(info_text("1.0.0")), kpar(info_text("1.1.0")),
                                          kpar(info_text("2.0.0-rc.1"))};
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> delay_us(0, 20000);
  IndexState state;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < until) {
    const std::size_t first = state.projects;
    // The child forks before any thread runs in it and is killed whatever it
    // is doing, so it cannot hold the test up.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (std::size_t i = first;; ++i)
        for (const auto& archive : archives)
          (void)do_index_add("urn:kestro:kill/p" + std::to_string(i), archive, root);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(check_index(root, state)) << "after round " << rounds;
    ++rounds;
  }
  EXPECT_GE(rounds, 10);
  EXPECT_GT(state.projects, 0u) << "no add completed";
}

}  // namespace
}  // namespace kestro
