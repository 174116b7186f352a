#include "kestro/modeler/model_sources.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace kestro::modeler {
namespace {

namespace fs = std::filesystem;

using Paths = std::vector<fs::path>;

class ScopedCwd {
 public:
  explicit ScopedCwd(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~ScopedCwd() {
    std::error_code ec;
    fs::current_path(old_, ec);
  }

 private:
  fs::path old_;
};

// A temporary tree with a home and a configuration directory of its own,
// entered as the current directory.
class ModelSources : public ::testing::Test {
 protected:
  ModelSources()
      : root_(fs::canonical(dir_.path())),
        env_({{"HOME", (root_ / "home").string()},
              {"XDG_CONFIG_HOME", (root_ / "xdg").string()},
              {"USERPROFILE", std::nullopt},
              {"GIT_CONFIG_NOSYSTEM", std::optional<std::string>("1")},
              {"GIT_CONFIG_GLOBAL", std::nullopt}}),
        cwd_((fs::create_directories(root_ / "work/.git"), root_ / "work")) {}

  fs::path write(const std::string& relative, const std::string& content = "x") {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::expected<Paths, ModelSourceError> resolve(std::vector<std::string> patterns,
                                                  std::vector<std::string> include = {},
                                                  std::vector<std::string> exclude = {},
                                                  std::optional<fs::path> config = std::nullopt) {
    return resolve_model_files({std::move(patterns), std::move(include), std::move(exclude), std::move(config)});
  }

  TempDir dir_;
  fs::path root_;
  ScopedEnv env_;
  ScopedCwd cwd_;
};

std::string error_of(const std::expected<Paths, ModelSourceError>& result) {
  return result ? std::string("no error") : result.error().message();
}

TEST_F(ModelSources, DirectoryWalkLeavesOutHiddenAndIgnoredEntriesAndListsLinksAsThemselves) {
  const fs::path w = root_ / "work";
  write("work/.gitignore", "ignored.sysml\n");
  write("work/a.sysml");
  write("work/notes.txt");
  write("work/ignored.sysml");
  write("work/.hidden/h.sysml");
  write("work/.dot.kerml");
  write("work/sub/b.kerml");
  write("work/sub/B.SYSML");
  write("target/t.sysml");
  fs::create_symlink(root_ / "target/t.sysml", w / "l.sysml");
  fs::create_directory_symlink(root_ / "target", w / "linked-dir");

  auto found = resolve({"."});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "a.sysml", w / "l.sysml", w / "sub/b.kerml"}));

  // Outside a repository `.ignore` counts and `.gitignore` does not.
  write("plain/.ignore", "skip.sysml\n");
  write("plain/.gitignore", "kept.sysml\n");
  write("plain/skip.sysml");
  write("plain/kept.sysml");
  found = resolve({(root_ / "plain").string()});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{root_ / "plain/kept.sysml"}));
}

TEST_F(ModelSources, GlobWalkReadsNoIgnoreFiles) {
  const fs::path w = root_ / "work";
  write("work/.gitignore", "ignored.sysml\n");
  write("work/ignored.sysml");
  write("work/.h.sysml");
  write("work/x/.h.sysml");
  write("work/x/y/c.kerml");
  write("work/x/y/c.txt");
  write("work/.hidden/d.sysml");

  auto found = resolve({"*.sysml"});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "ignored.sysml"}));

  found = resolve({"**/*.*ml"});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  // The star after the consumed `/` of `**/` may begin with a dot, at any depth.
  EXPECT_EQ(*found, (Paths{w / ".h.sysml", w / "ignored.sysml", w / "x/.h.sysml", w / "x/y/c.kerml"}));
}

TEST_F(ModelSources, PathsNamedDirectlyAndTheOrderOfTheList) {
  const fs::path w = root_ / "work";
  write("work/notes.txt");
  write("work/b/c.sysml");
  write("work/b.sysml");
  auto found = resolve({"b.sysml", "b", "notes.txt", "./b.sysml"}, {(w / "b/c.sysml").string()});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "b/c.sysml", w / "b.sysml", w / "notes.txt"}));
}

TEST_F(ModelSources, ExclusionsRemoveFilesOfBothLists) {
  const fs::path w = root_ / "work";
  write("work/a.sysml");
  write("work/build/b.sysml");
  write("work/gen/build/c.sysml");
  write("work/inc/d.sysml");
  auto found = resolve({"."}, {"inc"}, {"build/"});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "a.sysml", w / "inc/d.sysml"}));
  for (const std::string everything : {"./", "/"}) {
    found = resolve({"."}, {"inc"}, {everything});
    ASSERT_TRUE(found.has_value()) << error_of(found);
    EXPECT_EQ(*found, Paths{}) << everything;
  }
  EXPECT_EQ(error_of(resolve({"."}, {}, {"[{]}"})).substr(0, 36), "invalid glob pattern [{]}: regex par");
}

TEST_F(ModelSources, MissingPathsFailWithTheirLabels) {
  const std::string cwd = (root_ / "work").string();
  struct Case {
    std::vector<std::string> patterns, include;
    std::string message;
  };
  const std::vector<Case> cases = {
      // A positional miss fails at once, before any include entry.
      {{"models/x.sysml"}, {"also-missing.sysml"},
       "failed to canonicalize positional pattern models/x.sysml: No such file or directory (os error 2)"},
      // A missing include entry waits until every pattern was tried.
      {{}, {"nope.sysml", "gone/*.sysml"},
       "failed to canonicalize `include` entry nope.sysml from --include / plovik.include setting: No such file or "
       "directory (os error 2)"},
      {{}, {"nope.sysml", "[{]}"}, "invalid glob pattern [{]}: "},
      // A glob's missing walk root is a miss of the root's text.
      {{"gone/*.sysml"}, {}, "failed to canonicalize positional pattern gone/: No such file or directory (os error 2)"},
  };
  for (const auto& c : cases) {
    const std::string message = error_of(resolve(c.patterns, c.include));
    EXPECT_EQ(message.substr(0, c.message.size()), c.message);
  }
}

TEST_F(ModelSources, CallListsReplaceTheConfigurationsLists) {
  const fs::path w = root_ / "work";
  write("work/plovik.toml", "include = [\"cfg\"]\nexclude = [\"skip.sysml\"]\n");
  write("work/cfg/a.sysml");
  write("work/cfg/skip.sysml");
  write("work/call/b.sysml");
  write("work/call/skip.sysml");

  auto found = resolve({});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "cfg/a.sysml"}));

  found = resolve({}, {"call"});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "call/b.sysml"}));

  found = resolve({}, {}, {"a.sysml"});
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "cfg/skip.sysml"}));

  write("work/plovik.toml", "include = [\"nope.sysml\"]\n");
  EXPECT_EQ(error_of(resolve({})), "failed to canonicalize `include` entry " + (w / "nope.sysml").string() + " from " +
                                       (w / "plovik.toml").string() + ": No such file or directory (os error 2)");
  EXPECT_EQ(error_of(resolve({}, {"nope.sysml"})),
            "failed to canonicalize `include` entry nope.sysml from --include / plovik.include setting: No such file or "
            "directory (os error 2)");
}

TEST_F(ModelSources, ConfigurationFailuresAndTheUserWideLabel) {
  const fs::path w = root_ / "work";
  write("xdg/plovik/plovik.toml", "include = [\"nope.sysml\", \"/abs/gone.sysml\"]\n");
  EXPECT_EQ(error_of(resolve({})), "failed to canonicalize `include` entry " + (w / "nope.sysml").string() +
                                       " from a user-wide plovik.toml configuration (no project-level plovik.toml was "
                                       "found): No such file or directory (os error 2)");

  write("work/plovik.toml", "include = \"lone\"\n");
  EXPECT_EQ(error_of(resolve({})).substr(0, 70),
            "failed to canonicalize path plovik.toml: failed to parse " + (w / "plovik.toml").string().substr(0, 13));

  const fs::path missing = root_ / "none.toml";
  EXPECT_EQ(error_of(resolve({}, {}, {}, missing)),
            "failed to canonicalize path " + missing.string() + ": config file not found: " + missing.string());

  // An explicit file's entries are resolved against the current directory.
  write("other/explicit.toml", "include = [\"a.sysml\"]\n");
  write("work/a.sysml");
  auto found = resolve({}, {}, {}, root_ / "other/explicit.toml");
  ASSERT_TRUE(found.has_value()) << error_of(found);
  EXPECT_EQ(*found, (Paths{w / "a.sysml"}));
}

TEST(ModelSourceLists, IncludeEntriesAndMerging) {
  EXPECT_EQ(resolve_include_entry("/p", "a/*.sysml"), "/p/a/*.sysml");
  EXPECT_EQ(resolve_include_entry("/", "a.sysml"), "/a.sysml");
  EXPECT_EQ(resolve_include_entry("/p", "/abs.sysml"), "/abs.sysml");
  EXPECT_EQ(resolve_include_entry("/p", "~/x.sysml"), "/p/~/x.sysml");
  EXPECT_EQ(merge_source_lists({"/m/b.sysml", "/m/b/c.sysml"}, {"/m/b/c.sysml", "/m/a.sysml"}),
            (Paths{"/m/a.sysml", "/m/b/c.sysml", "/m/b.sysml"}));
}

}  // namespace
}  // namespace kestro::modeler
