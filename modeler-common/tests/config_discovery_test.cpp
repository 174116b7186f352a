#include "kestro/modeler/config_discovery.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "paths_test_support.hpp"
#include "config_test_support.hpp"
#include "test_support.hpp"

namespace kestro::modeler {
namespace {

namespace fs = std::filesystem;
using toml::Value;
using Strings = std::vector<std::string>;

// A temporary tree that is the current directory, with HOME at `home/`.
// Every file written there names itself in `exclude`, so the merged list
// shows which files were read, in order.
class ConfigTree {
 public:
  explicit ConfigTree(std::optional<std::string> xdg = std::nullopt, std::optional<std::string> home = "home")
      : env_({{"HOME", home ? std::optional(subst(*home)) : std::nullopt},
              {"XDG_CONFIG_HOME", xdg ? std::optional(subst(*xdg)) : std::nullopt},
              {"USERPROFILE", (root_.path() / "profile").string()}}) {}

  fs::path path(const std::string& rel) const { return root_.path() / rel; }
  // A file named by its path relative to the tree, holding `exclude = [rel]`
  // and then `extra`.
  void file(const std::string& rel, const std::string& extra = "") const {
    fs::create_directories(path(rel).parent_path());
    std::ofstream(path(rel)) << "exclude = ['" << rel << "']\n" << extra;
  }
  void dir(const std::string& rel) const { fs::create_directories(path(rel)); }

 private:
  // `{tmp}` stands for the tree's root.
  std::string subst(std::string text) const {
    if (auto at = text.find("{tmp}"); at != std::string::npos) text.replace(at, 5, root_.path().string());
    else if (!text.empty() && text[0] != '/' && text != "rel") text = (root_.path() / text).string();
    return text;
  }
  TempDir root_;
  ScopedCwd cwd_{root_.path()};
  ScopedEnv env_;
};

constexpr const char* kHomeFile = "home/.config/plovik/plovik.toml";
constexpr const char* kXdgFile = "xdg/plovik/plovik.toml";

struct Found {
  Found(PlovikConfig c, std::optional<std::string> file = std::nullopt, std::optional<std::string> dir = std::nullopt)
      : config(std::move(c)), project_file(std::move(file)), project_dir(std::move(dir)) {}
  PlovikConfig config;
  std::optional<std::string> project_file;  // relative to the tree
  std::optional<std::string> project_dir;
};

TEST(DiscoverConfig, ReadsUserWideProjectAndPersonalFilesInOrder) {
  struct Case {
    std::string name;
    std::optional<std::string> xdg;  // XDG_CONFIG_HOME: a tree path, `{tmp}…` or "rel" (relative)
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> dirs;
    std::optional<Found> expected;
    std::optional<std::string> home = "home";  // HOME, a tree path; none unsets it
  };
  const std::vector<Case> cases = {
      {"nothing anywhere", std::nullopt, {}, {"proj/sub"}, std::nullopt},
      {"only a user-wide file, read once",
       std::nullopt,
       {{kHomeFile, ""}},
       {"proj/sub"},
       Found{config().exclude(Strings{kHomeFile})}},
      {"XDG elsewhere: both read, the HOME-based one second",
       "xdg",
       {{kXdgFile, "std = 'xdg'\nkestro-dir = 'k'\n"}, {kHomeFile, "std = 'home'\n"}},
       {"proj/sub"},
       Found{config().exclude(Strings{kXdgFile, kHomeFile}).std_dir("home").kestro_dir("k")}},
      {"XDG naming HOME/.config in other spelling: read once",
       "{tmp}/home//.config/.",
       {{kHomeFile, ""}},
       {"proj/sub"},
       Found{config().exclude(Strings{kHomeFile})}},
      {"relative XDG ignored", "rel", {{"rel/plovik/plovik.toml", ""}, {kHomeFile, ""}}, {"proj/sub"},
       Found{config().exclude(Strings{kHomeFile})}},
      {"empty HOME taken as it stands for the second file",
       "xdg",
       {{kXdgFile, ""}, {".config/plovik/plovik.toml", ""}},
       {"proj/sub"},
       Found{config().exclude(Strings{kXdgFile, ".config/plovik/plovik.toml"})},
       ""},
      {"HOME unset: only the configuration directory's file",
       "xdg",
       {{kXdgFile, ""}, {kHomeFile, ""}},
       {"proj/sub"},
       Found{config().exclude(Strings{kXdgFile})},
       std::nullopt},
      {"project file and the personal file beside it",
       std::nullopt,
       {{"proj/plovik.toml", "std = 'p'\nkestro-dir = 'p'\n"}, {"proj/plovik.user.toml", "std = 'u'\n"}},
       {"proj/sub"},
       Found{config().exclude(Strings{"proj/plovik.toml", "proj/plovik.user.toml"}).std_dir("u").kestro_dir("p"),
             "proj/plovik.toml",
             "proj"}},
      {"a lone personal file is the project file",
       std::nullopt,
       {{"proj/plovik.user.toml", ""}},
       {"proj/sub"},
       Found{config().exclude(Strings{"proj/plovik.user.toml"}), "proj/plovik.user.toml", "proj"}},
      {"all four, in order",
       "xdg",
       {{kXdgFile, ""}, {kHomeFile, ""}, {"proj/plovik.toml", ""}, {"proj/plovik.user.toml", ""}},
       {"proj/sub"},
       Found{config().exclude(Strings{kXdgFile, kHomeFile, "proj/plovik.toml", "proj/plovik.user.toml"}),
             "proj/plovik.toml",
             "proj"}},
      {"a .git directory stops the walk", std::nullopt, {{"proj/plovik.toml", ""}}, {"proj/sub/.git"}, std::nullopt},
      {"a .git file stops the walk",
       std::nullopt,
       {{"proj/plovik.toml", ""}, {"proj/sub/.git", ""}},
       {},
       std::nullopt},
      {"a lock file stops the walk",
       std::nullopt,
       {{"proj/plovik.toml", ""}, {"proj/sub/kestro-lock.toml", ""}},
       {},
       std::nullopt},
      {"a repository's own file is found",
       std::nullopt,
       {{"proj/plovik.toml", ""}},
       {"proj/.git", "proj/sub"},
       Found{config().exclude(Strings{"proj/plovik.toml"}), "proj/plovik.toml", "proj"}},
      {"a directory named plovik.toml is passed over",
       std::nullopt,
       {{"proj/plovik.toml", ""}},
       {"proj/sub/plovik.toml"},
       Found{config().exclude(Strings{"proj/plovik.toml"}), "proj/plovik.toml", "proj"}},
      {"an empty include in the project replaces the user's",
       std::nullopt,
       {{kHomeFile, "include = ['a.sysml']\n"}, {"proj/plovik.toml", "include = []\n"}},
       {"proj/sub"},
       Found{config().include(Strings{}).exclude(Strings{kHomeFile, "proj/plovik.toml"}), "proj/plovik.toml", "proj"}},
      {"viz merged at every depth",
       std::nullopt,
       {{kHomeFile, "[viz.t]\na = 1\n[viz.u]\nk = 1\n"}, {"proj/plovik.toml", "[viz.t]\nc = 2\n[viz]\nu = 's'\n"}},
       {"proj/sub"},
       Found{config()
                 .exclude(Strings{kHomeFile, "proj/plovik.toml"})
                 .viz(TomlTable{{"t", Value::table({{"a", Value::integer(1)}, {"c", Value::integer(2)}})},
                                {"u", Value::string("s")}}),
             "proj/plovik.toml",
             "proj"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigTree tree(c.xdg, c.home);
    for (const auto& d : c.dirs) tree.dir(d);
    for (const auto& [rel, extra] : c.files) tree.file(rel, extra);
    const auto got = discover_config(tree.path("proj/sub"));
    ASSERT_TRUE(got.has_value()) << got.error().message();
    ASSERT_EQ(got->has_value(), c.expected.has_value());
    if (!c.expected) continue;
    const DiscoveredConfig& found = **got;
    EXPECT_EQ(found.config, c.expected->config);
    auto in_tree = [&](const std::optional<std::string>& rel) {
      return rel ? std::optional(tree.path(*rel)) : std::nullopt;
    };
    EXPECT_EQ(found.project_file, in_tree(c.expected->project_file));
    EXPECT_EQ(found.project_dir, in_tree(c.expected->project_dir));
  }
}

TEST(DiscoverConfig, AnyBrokenFileFailsTheWholeDiscovery) {
  struct Case {
    std::string broken;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {kHomeFile, "failed to parse "},
      {"proj/plovik.toml", "failed to parse "},
      {"proj/plovik.user.toml", "failed to read "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.broken);
    ConfigTree tree;
    tree.file(kHomeFile);
    tree.file("proj/plovik.toml");
    tree.file("proj/plovik.user.toml");
    tree.dir("proj/sub");
    const std::string bytes = c.reason == "failed to read " ? "std = '\xff'\n" : "include = 'x'\n";
    std::ofstream(tree.path(c.broken), std::ios::trunc) << bytes;
    const auto got = discover_config(tree.path("proj/sub"));
    ASSERT_FALSE(got.has_value());
    EXPECT_EQ(got.error().message().rfind(c.reason + tree.path(c.broken).string() + ": ", 0), 0u)
        << got.error().message();
  }
}

TEST(LoadExplicitConfig, ReadsTheNamedFileAlone) {
  ConfigTree tree;
  tree.file(kHomeFile);
  tree.file("proj/plovik.toml", "std = 'lib'\n");
  tree.file("proj/plovik.user.toml");
  const auto got = load_explicit_config(tree.path("proj/plovik.toml"));
  ASSERT_TRUE(got.has_value()) << got.error().message();
  EXPECT_EQ(got->config, (PlovikConfig(config().exclude(Strings{"proj/plovik.toml"}).std_dir("lib"))));
  EXPECT_EQ(got->project_file, tree.path("proj/plovik.toml"));
  EXPECT_EQ(got->project_dir, std::nullopt);
}

TEST(LoadExplicitConfig, AMissingFileFailsEvenWhereOneWouldBeDiscovered) {
  ConfigTree tree;
  tree.file("proj/plovik.toml");
  const auto got = load_explicit_config("proj/other.toml");
  ASSERT_FALSE(got.has_value());
  EXPECT_EQ(got.error().message(), "config file not found: proj/other.toml");
  const auto broken = load_explicit_config(tree.path("proj"));
  ASSERT_FALSE(broken.has_value());
  EXPECT_EQ(broken.error().message(), "failed to read " + tree.path("proj").string() + ": Is a directory (os error 21)");
}

TEST(FindProjectConfig, FollowsLinksToRegularFiles) {
  ConfigTree tree;
  tree.file("real.toml");
  tree.dir("proj/sub");
  fs::create_symlink(tree.path("real.toml"), tree.path("proj/plovik.toml"));
  fs::create_symlink(tree.path("nowhere"), tree.path("proj/sub/plovik.toml"));  // dangling: passed over
  EXPECT_EQ(find_project_config(tree.path("proj/sub")), tree.path("proj/plovik.toml"));
}

}  // namespace
}  // namespace kestro::modeler
