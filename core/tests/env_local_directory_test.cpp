#include "kestro/env/local_directory.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"
#include "test_support.hpp"

namespace kestro::env {
namespace {

namespace fs = std::filesystem;

EnvProject entry_at(std::string path, bool editable = false, std::optional<EnvProjectChecksum> checksum = {}) {
  EnvProject e;
  e.name = "p";
  e.version = "1";
  e.path = std::move(path);
  e.editable = editable;
  e.checksum = std::move(checksum);
  return e;
}

TEST(EnvEntryProject, RootsAndNominalPaths) {
  struct Case {
    std::string path;
    bool editable;
    std::string root;
    std::string nominal;
  };
  const Case cases[] = {
      {"../shared/lib", true, "/w/shared/lib", "../shared/lib"},
      {"a/../b", true, "/w/app/b", "a/../b"},
      {"a/./b", true, "/w/app/a/b", "a/./b"},
      {"a//b/", true, "/w/app/a/b", "a//b/"},
      {"../../../../../x", true, "/x", "../../../../../x"},
      {"../../../..", true, "/", "../../../.."},
      // Outside the rules: read, never refused.
      {"./lib", true, "/w/app/lib", "./lib"},
      {".", true, "/w/app", "."},
      {"/abs/p", true, "/abs/p", "/abs/p"},
      {"lib/acme-widgets", false, "/w/app/.kestro/lib/acme-widgets", ".kestro/lib/acme-widgets"},
      {"lib//x/", false, "/w/app/.kestro/lib//x/", ".kestro/lib//x/"},
  };
  for (const Case& c : cases) {
    const LocalSrcProject p = env_entry_project("/w/app/.kestro", entry_at(c.path, c.editable));
    EXPECT_EQ(p.project_path, fs::path(c.root)) << c.path;
    EXPECT_EQ(p.nominal_path, c.nominal) << c.path;
    EXPECT_EQ(p.known_checksum, std::nullopt) << c.path;
  }
}

TEST(EnvEntryProject, OnlyInstalledSourceChecksumIsKnown) {
  const fs::path env = "/w/app/.kestro";
  EXPECT_EQ(env_entry_project(env, entry_at("lib/a", false, EnvProjectChecksum::src("abc"))).known_checksum, "abc");
  EXPECT_EQ(env_entry_project(env, entry_at("lib/a", false, EnvProjectChecksum::kpar("abc"))).known_checksum,
            std::nullopt);
  EXPECT_EQ(env_entry_project(env, entry_at("../a", true, EnvProjectChecksum::src("abc"))).known_checksum,
            std::nullopt);
}

LocalDirectoryEnv listing_env() {
  LocalDirectoryEnv env{"/w/app/.kestro", {}};
  const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
      {{"A"}, "1.0"}, {{"B", "A"}, "2.0"}, {{"A"}, "0.5"}, {{}, "9"}, {{"A"}, "1.0"}};
  int n = 0;
  for (const auto& [ids, version] : rows) {
    EnvProject e = entry_at("lib/e" + std::to_string(n++));
    e.identifiers = ids;
    e.version = version;
    env.metadata.projects.push_back(e);
  }
  return env;
}

TEST(LocalDirectoryEnvRead, IrisVersionsAndProjects) {
  const LocalDirectoryEnv env = listing_env();
  EXPECT_EQ(env.uris(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(env.versions("A"), (std::vector<std::string>{"1.0", "2.0", "0.5", "1.0"}));
  EXPECT_EQ(env.versions("B"), (std::vector<std::string>{"2.0"}));
  EXPECT_TRUE(env.versions("a").empty());
  EXPECT_TRUE(env.versions("").empty());

  // A repeated version opens the first entry of it both times.
  const std::vector<std::string> versions = env.versions("A");
  auto projects = env.projects("A", versions);
  ASSERT_TRUE(projects.has_value());
  std::vector<std::string> nominal;
  for (const LocalSrcProject& p : *projects) nominal.push_back(*p.nominal_path);
  EXPECT_EQ(nominal, (std::vector<std::string>{".kestro/lib/e0", ".kestro/lib/e1", ".kestro/lib/e2",
                                               ".kestro/lib/e0"}));

  // A version listed under another identifier only is not found, and the
  // error names the identifier.
  const std::vector<std::string> missing = {"2.0", "0.5"};
  auto none = env.projects("B", missing);
  ASSERT_FALSE(none.has_value());
  EXPECT_EQ(none.error().message(), "prioject B is not present in environment");
  EXPECT_TRUE(env.projects("B", {}).value().empty());
}

TEST(LocalDirectoryEnvRead, NullEnvironmentHoldsNothing) {
  const NullEnvironment env;
  EXPECT_TRUE(env.uris().empty());
  EXPECT_TRUE(env.versions("A").empty());
  EXPECT_TRUE(env.projects("A", {}).value().empty());
  const std::vector<std::string> one = {"1.0"};
  auto r = env.projects("A", one);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().message(), "null environment contains no packages");
}

const std::string kEnvText = "version = \"0.1\"\n\n[[project]]\nname = \"w\"\nversion = \"1\"\npath = \"lib/w\"\n";

TEST(LocalDirectoryEnvOpen, OutcomesOfBothForms) {
  TempDir tmp;
  const fs::path root = fs::canonical(tmp.path());
  fs::create_directories(root / "empty/.kestro");
  write_text(root / "good/.kestro/env.toml", kEnvText);
  write_text(root / "bad/.kestro/env.toml", "version = \"0.2\"\n");
  write_text(root / "latin1/.kestro/env.toml", "version = \"0.1\"\n# \xe9\n");
  fs::create_directories(root / "dir/.kestro/env.toml");
  fs::create_directory_symlink(root / "good/.kestro", root / "link");
  write_text(root / "file", "");

  struct Case {
    std::string what;
    fs::path path;
    std::string open;      // render_error_chain of `open`; empty: opens
    std::string try_open;  // the same for try_open; "none": no environment
  };
  const std::string read_head = "failed to read environment metadata\n  caused by: ";
  auto read_file = [&](const fs::path& p, std::string_view io) {
    return read_head + fmt::format("failed to read file\n  `{}`:\n  {}\n", (p / "env.toml").string(), io);
  };
  const fs::path missing = root / "missing/.kestro";
  const Case cases[] = {
      {"environment", root / "good/.kestro", "", ""},
      {"link to an environment", root / "link", "", ""},
      {"no env.toml", root / "empty/.kestro", read_file(root / "empty/.kestro", "No such file or directory (os error 2)"),
       "none"},
      {"no directory", missing,
       read_head + fmt::format("failed to canonicalize path\n  `{}`:\n  No such file or directory (os error 2)\n",
                               missing.string()),
       "none"},
      {"env.toml a directory", root / "dir/.kestro",
       read_file(root / "dir/.kestro", "Is a directory (os error 21)"),
       read_file(root / "dir/.kestro", "Is a directory (os error 21)")},
      {"not UTF-8", root / "latin1/.kestro", read_file(root / "latin1/.kestro", "stream did not contain valid UTF-8"),
       read_file(root / "latin1/.kestro", "stream did not contain valid UTF-8")},
      {"invalid", root / "bad/.kestro",
       fmt::format("failed to parse environment metadata loaded from `{}`\n  caused by: env metadata version `0.2` is "
                   "not supported\n",
                   (root / "bad/.kestro/env.toml").string()),
       fmt::format("failed to parse environment metadata loaded from `{}`\n  caused by: env metadata version `0.2` is "
                   "not supported\n",
                   (root / "bad/.kestro/env.toml").string())},
  };
  for (const Case& c : cases) {
    auto opened = LocalDirectoryEnv::open(c.path);
    if (c.open.empty()) {
      ASSERT_TRUE(opened.has_value()) << c.what << ": " << render_error_chain(opened.error());
      EXPECT_EQ(opened->environment_path, root / "good/.kestro") << c.what;
      EXPECT_EQ(opened->metadata.projects.at(0).path, "lib/w") << c.what;
    } else {
      ASSERT_FALSE(opened.has_value()) << c.what;
      EXPECT_EQ(render_error_chain(opened.error()), c.open) << c.what;
    }
    auto tried = LocalDirectoryEnv::try_open(c.path);
    if (c.try_open == "none") {
      ASSERT_TRUE(tried.has_value()) << c.what;
      EXPECT_FALSE(tried->has_value()) << c.what;
    } else if (c.try_open.empty()) {
      ASSERT_TRUE(tried.has_value() && tried->has_value()) << c.what;
      EXPECT_EQ((*tried)->environment_path, root / "good/.kestro") << c.what;
    } else {
      ASSERT_FALSE(tried.has_value()) << c.what;
      EXPECT_EQ(render_error_chain(tried.error()), c.try_open) << c.what;
    }
  }
}

TEST(LocalDirectoryEnvOpen, UnreadableFileUnprivileged) {
  TempDir tmp;
  const fs::path env = tmp.path() / ".kestro";
  write_text(env / "env.toml", kEnvText);
  ::chmod((env / "env.toml").c_str(), 0);
  ::chmod(tmp.path().c_str(), 0755);
  const int status = run_unprivileged([&] {
    auto tried = LocalDirectoryEnv::try_open(env);
    if (tried.has_value()) return 1;
    return render_error_chain(tried.error()).find("Permission denied") != std::string::npos ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
}

TEST(LocalDirectoryEnvOpen, LegacyDirectoryWarnsOnlyForADirectory) {
  TempDir tmp;
  const fs::path env = tmp.path() / ".kestro";
  write_text(env / "env.toml", kEnvText);
  auto warnings = [&] {
    log::ScopedCapture capture;
    EXPECT_TRUE(LocalDirectoryEnv::open(env).has_value());
    EXPECT_TRUE(LocalDirectoryEnv::try_open(env).has_value());
    std::vector<std::string> out;
    for (const log::Record& r : capture.records())
      out.push_back(fmt::format("{} {} {}", log::level_name(r.level), r.target, r.message));
    return out;
  };
  EXPECT_TRUE(warnings().empty());
  write_text(tmp.path() / "kestro_env", "");
  EXPECT_TRUE(warnings().empty());
  fs::remove(tmp.path() / "kestro_env");
  fs::create_directory(tmp.path() / "kestro_env");
  const std::string warn =
      "WARN kestro_core::env::local_directory `kestro_env` directory was found; it is no longer used by kestro and "
      "should be removed";
  EXPECT_EQ(warnings(), (std::vector<std::string>{warn, warn}));
}

TEST(LocalDirectoryEnvWrite, RewritesWholeAndReadsBack) {
  TempDir tmp;
  const fs::path env_dir = tmp.path() / ".kestro";
  write_text(env_dir / "env.toml", "# a comment that goes\n" + kEnvText + "unknown = 1\n");
  auto env = LocalDirectoryEnv::open(env_dir);
  ASSERT_TRUE(env.has_value());
  env->metadata.projects.push_back(entry_at("lib/second"));
  ASSERT_TRUE(write_env_metadata(*env).has_value());
  auto again = LocalDirectoryEnv::open(env_dir);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->metadata, env->metadata);

  // A write that fails midway (the disk fills up) leaves the previous file
  // whole.
  const std::string before = read_bytes(env_dir / "env.toml");
  for (int i = 0; i < 200; ++i) env->metadata.projects.push_back(entry_at("lib/more" + std::to_string(i)));
  auto full = with_file_size_limit(before.size() + 16, [&] { return write_env_metadata(*env); });
  ASSERT_FALSE(full.has_value());
  EXPECT_EQ(read_bytes(env_dir / "env.toml"), before);

  // An environment that cannot be written is CreateFile naming env.toml;
  // the metadata in memory stays.
  ::chmod((env_dir / "env.toml").c_str(), 0444);
  const int status = run_unprivileged([&] {
    auto w = write_env_metadata(*env);
    if (w.has_value()) return 1;
    const std::string expected =
        fmt::format("failed to create file\n  `{}`:\n  Permission denied (os error 13)", env->metadata_path().string());
    return w.error().message() == expected ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace kestro::env
