// Git checkouts against bare repositories made with the git command and
// reached through file URLs.
#include <stdlib.h>

#include <map>

#include <gtest/gtest.h>

#include "git_fixture.hpp"
#include "support/records.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/remote/remote_git.hpp"
#include "test_support.hpp"

namespace kestro::remote {
namespace {

using testing::kInfo;

constexpr const char* kMeta =
    R"({"index":{},"created":"2025-01-01T00:00:00Z","checksum":{"a.sysml":{"value":"00","algorithm":"SHA1"}}})";

bool cloned(const RemoteGitProject& project) {
  return std::filesystem::exists(project.checkout().project_path / ".git");
}

TEST(RemoteGit, SourcesMakeNoClone) {
  TempDir dir;
  auto url = "file://" + (dir.path() / "missing.git").string();
  auto project = RemoteGitProject::create(url).value();
  EXPECT_EQ(project.sources({}).value(), (std::vector<Source>{RemoteGitSource{url}}));
  EXPECT_FALSE(cloned(project));
}

TEST(RemoteGit, ClonesOnceAndReadsTheWorkTree) {
  TempDir dir;
  auto url = make_repo(dir.path(), {{".project.json", kInfo}, {".meta.json", kMeta}, {"a.sysml", "part a;"}},
                       {{"b.sysml", "a.sysml"}});
  auto project = RemoteGitProject::create(url).value();
  auto records = project.get_project();
  ASSERT_TRUE(records) << records.error().message();
  EXPECT_EQ(records->first->name, "P");
  // The repository is gone: later reads are answered by the one checkout.
  std::filesystem::remove_all(dir.path() / "repo.git");
  EXPECT_EQ(read_to_end(**project.read_source("a.sysml")), "part a;");
  EXPECT_EQ(read_to_end(**project.read_source("b.sysml")), "part a;");
  auto checksum = project.checksum_hex();
  ASSERT_TRUE(checksum) << checksum.error().message();
  EXPECT_EQ(*checksum, LocalSrcProject(dir.path() / "work").checksum_hex().value());
}

TEST(RemoteGit, FailedCloneLeavesNoCheckoutAndIsRetried) {
  TempDir dir;
  auto path = dir.path() / "later.git";
  auto url = "file://" + path.string();
  auto project = RemoteGitProject::create(url).value();
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto records = project.get_project();
    ASSERT_FALSE(records);
    EXPECT_TRUE(records.error().holds<RemoteGitError::Clone>());
    EXPECT_TRUE(records.error().message().starts_with("git clone from `" + url + "` failed: "))
        << records.error().message();
    EXPECT_EQ(records.error().cause(), nullptr);
    EXPECT_FALSE(cloned(project));
  }
  make_repo(dir.path(), {{".project.json", kInfo}}, {}, "later.git");
  auto records = project.get_project();
  ASSERT_TRUE(records) << records.error().message();
  EXPECT_EQ(records->first->name, "P");
}

TEST(RemoteGit, RepositoryWithoutRecords) {
  TempDir dir;
  auto project = RemoteGitProject::create(make_repo(dir.path(), {{"README", "x"}})).value();
  auto records = project.get_project();
  ASSERT_TRUE(records) << records.error().message();
  EXPECT_FALSE(records->first);
  EXPECT_FALSE(records->second);
  auto checksum = project.checksum_hex();
  ASSERT_FALSE(checksum);
  EXPECT_EQ(checksum.error().message(), "project is missing `.project.json` and/or `.meta.json` files");
}

TEST(RemoteGit, LinksLeadingOutsideTheCheckoutAreRefused) {
  TempDir dir;
  write_text(dir.path() / "secret", "secret");
  auto outside = (dir.path() / "secret").string();
  struct Case {
    const char* name;
    std::map<std::string, std::string> links;
    std::string read;  // empty: get_project
  };
  const Case cases[] = {
      {"absolute link", {{"src/a.sysml", outside}}, "src/a.sysml"},
      {"relative link climbing out", {{"a.sysml", "../../../../../../../../.." + outside}}, "a.sysml"},
      {"link to a directory outside", {{"d", dir.path().string()}}, "d/secret"},
      {"record file", {{".project.json", outside}}, ""},
  };
  int i = 0;
  for (const auto& c : cases) {
    auto sub = dir.path() / std::to_string(i++);
    auto project = RemoteGitProject::create(make_repo(sub, {{"x", "x"}}, c.links)).value();
    std::string message;
    if (c.read.empty()) {
      auto records = project.get_project();
      ASSERT_FALSE(records) << c.name;
      message = records.error().message();
    } else {
      auto reader = project.read_source(c.read);
      ASSERT_FALSE(reader) << c.name;
      EXPECT_TRUE(reader.error().holds<RemoteGitError::Io>()) << c.name;
      message = reader.error().message();
    }
    std::string shown = c.read.empty() ? ".project.json" : c.read;
    EXPECT_NE(message.find((project.checkout().project_path / shown).string()), std::string::npos)
        << c.name << ": " << message;
    EXPECT_NE(message.find("outside the git checkout"), std::string::npos) << c.name << ": " << message;
  }
}

TEST(RemoteGit, Creation) {
  ScopedTmpdir tmp;
  auto bad = RemoteGitProject::create("https://exa mple.com/r.git");
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().message().starts_with("failed to parse git URL `https://exa mple.com/r.git`: "))
      << bad.error().message();
  EXPECT_EQ(tmp.entries(), 0u);
  for (const char* accepted : {"git@host.example:team/r.git", "/srv/git/r.git", "https://host.example/r.git"}) {
    auto project = RemoteGitProject::create(accepted);
    ASSERT_TRUE(project) << accepted;
    EXPECT_EQ(project->url().text, accepted);
    EXPECT_TRUE(project->checkout().project_path.filename().string().starts_with(".tmp"));
    EXPECT_EQ(project->checkout().project_path.filename().string().size(), 10u);
  }
  EXPECT_EQ(tmp.entries(), 0u);
}

}  // namespace
}  // namespace kestro::remote
