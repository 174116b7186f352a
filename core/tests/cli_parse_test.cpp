// The `kestro` command line through its parse entry: outcomes, records,
// refusals, field edits and help pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>

#include "kestro/cli/cli.hpp"

namespace kestro::cli {
namespace {

// Sets (or unsets, for nullopt) environment variables for one scope; the
// command reads them when it is built.
class EnvScope {
 public:
  explicit EnvScope(std::map<std::string, std::optional<std::string>> vars) {
    for (const char* name : {"KESTRO_NO_CONFIG", "KESTRO_CONFIG_FILE", "KESTRO_INDEX", "KESTRO_DEFAULT_INDEX"})
      if (!vars.contains(name)) vars[name] = std::nullopt;
    for (const auto& [name, value] : vars) {
      const char* old = std::getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  ~EnvScope() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::expected<Args, ParseError> parse(std::vector<std::string> words,
                                      std::map<std::string, std::optional<std::string>> env = {}) {
  EnvScope scope(std::move(env));
  words.insert(words.begin(), "kestro");
  return try_parse_args(words);
}

std::string plain_error(const std::expected<Args, ParseError>& got) {
  return got ? std::string("<parsed>") : strip_styles(got.error().text());
}

template <typename T, typename V>
const T& get_as(const V& variant) {
  const T* p = std::get_if<T>(&variant);
  if (!p) throw std::runtime_error("another variant");
  return *p;
}

TEST(CliOutcome, HelpVersionAndErrors) {
  struct Case {
    std::vector<std::string> words;
    std::map<std::string, std::optional<std::string>> env;
    ErrorKind kind;
    std::vector<std::string> contains;
    std::vector<std::string> lacks;
  } cases[] = {
      {{"-V"}, {}, ErrorKind::DisplayVersion, {}, {}},
      {{"--version"}, {}, ErrorKind::DisplayVersion, {}, {}},
      {{}, {}, ErrorKind::DisplayHelpOnMissingArgumentOrSubcommand,
       {"A package manager for SysML v2 and KerML\n", "Usage: kestro", "Commands:", "kestro v0.2.1"},
       {"Documentation:"}},
      {{}, {{"KESTRO_CONFIG_FILE", "x.toml"}}, ErrorKind::MissingSubcommand, {"needs a subcommand"}, {"Commands:"}},
      {{}, {{"KESTRO_NO_CONFIG", "true"}}, ErrorKind::MissingSubcommand, {}, {}},
      {{}, {{"KESTRO_NO_CONFIG", "1"}}, ErrorKind::InvalidValue, {"KESTRO_NO_CONFIG"}, {}},
      {{"-h"}, {}, ErrorKind::DisplayHelp, {"Documentation:\n<https://", "Global options:", "-V, --version"}, {}},
      {{"help", "add"}, {}, ErrorKind::DisplayHelp, {"Usage: kestro add"}, {"Developed by:"}},
      {{"add", "--help"}, {}, ErrorKind::DisplayHelp, {"Deprecation notice"}, {"Developed by:"}},
      {{"help", "nope"}, {}, ErrorKind::InvalidSubcommand, {"nope"}, {}},
      {{"sync", "-V"}, {}, ErrorKind::UnknownArgument, {"`-V`", "Usage: kestro sync"}, {}},
      {{"-v", "-q", "sync"}, {}, ErrorKind::ArgumentConflict, {"--verbose", "--quiet"}, {}},
      {{"-v", "sync", "-q"}, {}, ErrorKind::ArgumentConflict, {}, {}},
      {{"-v"}, {}, ErrorKind::MissingSubcommand, {}, {}},
      {{"sync"}, {{"KESTRO_NO_CONFIG", "1"}}, ErrorKind::InvalidValue, {"possible values: true, false"}, {}},
      {{"auth"}, {}, ErrorKind::DisplayHelpOnMissingArgumentOrSubcommand,
       {"Manage stored credentials", "Usage: kestro auth", "login"}, {"Developed by:"}},
      {{"index"}, {}, ErrorKind::DisplayHelpOnMissingArgumentOrSubcommand, {"Usage: kestro index"}, {}},
      {{"auth", "-v"}, {}, ErrorKind::MissingSubcommand, {}, {}},
      {{"auth", "status", "extra"}, {}, ErrorKind::TooManyValues, {"extra"}, {}},
      {{"frobnicate"}, {}, ErrorKind::InvalidSubcommand, {"frobnicate"}, {}},
      {{"print-root", "x"}, {}, ErrorKind::TooManyValues, {}, {}},
      {{"init"}, {}, ErrorKind::MissingRequiredArgument, {"--publisher <PUBLISHER>"}, {}},
      {{"init", "--publisher", "p", "--no-semver"}, {}, ErrorKind::MissingRequiredArgument, {"--version <VERSION>"}, {}},
      {{"publish"}, {}, ErrorKind::MissingRequiredArgument, {"--index <URL>"}, {}},
      {{"publish", "--index", "ftp://x/"}, {}, ErrorKind::ValueValidation, {"--index <URL>"}, {}},
      {{"add"}, {}, ErrorKind::MissingRequiredArgument, {"<IRI|--path <PATH>>"}, {}},
      {{"add", "pkg:kestro/acme/widgets", "-p", "x"}, {}, ErrorKind::ArgumentConflict, {}, {}},
      {{"add", "a:b", "--from-path", "x", "--as-editable", "y"}, {}, ErrorKind::ArgumentConflict, {}, {}},
      {{"build", "-c", "Stored"}, {}, ErrorKind::InvalidValue, {"possible values: stored, deflated"}, {}},
      {{"clone", "-p", "x"}, {}, ErrorKind::UnknownArgument, {}, {}},
      {{"clone", "loc", "--iri", "a:b"}, {}, ErrorKind::ArgumentConflict, {}, {}},
      {{"env", "install", "foo/bar"}, {}, ErrorKind::ValueValidation, {}, {}},
      {{"env", "uninstall"}, {}, ErrorKind::MissingRequiredArgument, {"<IRI>"}, {}},
      {{"env", "sources", "a:b", "not a req"}, {}, ErrorKind::ValueValidation, {}, {}},
      {{"env", "list", "x"}, {}, ErrorKind::TooManyValues, {}, {}},
      {{"index", "yank", "x"}, {}, ErrorKind::MissingRequiredArgument, {"--version <VERSION>"}, {}},
      {{"index", "remove", "x"}, {}, ErrorKind::MissingRequiredArgument, {"--version <VERSION>|--project"}, {}},
      {{"index", "remove", "x", "--version", "1", "--project"}, {}, ErrorKind::ArgumentConflict, {}, {}},
      {{"experimental"}, {}, ErrorKind::DisplayHelpOnMissingArgumentOrSubcommand, {"Usage: kestro experimental"}, {}},
      {{"experimental", "add"}, {}, ErrorKind::MissingRequiredArgument, {"<--dir <DIR>|--kpar-path <KPAR_PATH>>"}, {}},
      {{"experimental", "add", "--no-lock"}, {}, ErrorKind::MissingRequiredArgument, {"--dir"}, {}},
      {{"experimental", "remove", "pub"}, {}, ErrorKind::MissingRequiredArgument, {"<NAME>"}, {}},
      {{"sources", "--deps", "all"}, {}, ErrorKind::InvalidValue, {"none, deps, deps-std, std"}, {}},
      {{"info", "-p", "a", "-a", "b"}, {}, ErrorKind::ArgumentConflict, {"--path <PATH>", "--auto-location"}, {}},
      {{"info", "--iri", "not an iri"}, {}, ErrorKind::ValueValidation, {}, {}},
      {{"sync", "--no-prune=yes"}, {}, ErrorKind::UnexpectedValue, {}, {}},
      {{"sync", "--no-prune", "--no-prune"}, {}, ErrorKind::RepeatedArgument, {}, {}},
      {{"init", "--name"}, {}, ErrorKind::MissingValue, {"--name <NAME>"}, {}},
      {{"include", std::string("\xff")}, {}, ErrorKind::InvalidUtf8, {}, {}},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const auto& w : c.words) label += w + " ";
    auto got = parse(c.words, c.env);
    ASSERT_FALSE(got) << label;
    EXPECT_EQ(got.error().kind(), c.kind) << label << "\n" << got.error().text();
    bool success = c.kind == ErrorKind::DisplayHelp || c.kind == ErrorKind::DisplayVersion;
    EXPECT_EQ(got.error().exit_code(), success ? 0 : 2) << label;
    EXPECT_EQ(got.error().is_success(), success) << label;
    std::string text = strip_styles(got.error().text());
    for (const auto& piece : c.contains) EXPECT_NE(text.find(piece), std::string::npos) << label << "\n" << text;
    for (const auto& piece : c.lacks) EXPECT_EQ(text.find(piece), std::string::npos) << label << "\n" << text;
  }
  EXPECT_EQ(parse({"-V"}).error().text(), "kestro 0.2.1\n");
  EXPECT_EQ(parse({"--version"}).error().text(), "kestro 0.2.1\n");
  // The top-level long help ends with the footer of its template.
  std::string help = strip_styles(parse({"--help"}).error().text());
  EXPECT_TRUE(help.ends_with("\n\nkestro v0.2.1\nDeveloped by: Quellgard <kestro@quellgard.dev>\n")) << help;
  EXPECT_TRUE(help.starts_with("A package manager for SysML v2 and KerML\n\nDocumentation:\n")) << help;
  EXPECT_EQ(help, strip_styles(parse({"-h"}).error().text()));
  EXPECT_NE(parse({"--help"}).error().text().find("\x1b["), std::string::npos) << "the help is styled";
}

TEST(CliOutcome, ProgramPathShowsItsLastComponent) {
  EnvScope scope({});
  std::vector<std::string> words = {"/usr/local/bin/kestro", "sync", "--bogus"};
  auto got = try_parse_args(words);
  ASSERT_FALSE(got);
  std::string text = strip_styles(got.error().text());
  EXPECT_NE(text.find("Usage: kestro sync"), std::string::npos) << text;
  EXPECT_EQ(text.find("/usr/local"), std::string::npos) << text;
}

TEST(CliRecords, CommandsAndOptions) {
  struct Case {
    std::vector<std::string> words;
    std::map<std::string, std::optional<std::string>> env;
    std::function<void(const Args&)> check;
  } cases[] = {
      {{"build"}, {}, [](const Args& a) {
         auto& b = get_as<CliCommand::Build>(a.command.command);
         EXPECT_EQ(b.compression, KparCompression::Deflated);
         EXPECT_FALSE(b.path);
         EXPECT_FALSE(b.allow_path_usage || b.keep_index);
       }},
      {{"build", "-c", "stored", "out.kpar", "-a"}, {}, [](const Args& a) {
         auto& b = get_as<CliCommand::Build>(a.command.command);
         EXPECT_EQ(b.compression, KparCompression::Stored);
         EXPECT_EQ(b.path, "out.kpar");
         EXPECT_TRUE(b.allow_path_usage);
       }},
      {{"sync", "--index", "a,b", "--index", "c"}, {}, [](const Args& a) {
         auto& s = get_as<CliCommand::Sync>(a.command.command);
         EXPECT_EQ(s.resolution.index, (std::vector<std::string>{"a", "b", "c"}));
         EXPECT_FALSE(s.no_prune);
       }},
      {{"sync"}, {{"KESTRO_INDEX", "a,b"}}, [](const Args& a) {
         auto& s = get_as<CliCommand::Sync>(a.command.command);
         EXPECT_EQ(s.resolution.index, (std::vector<std::string>{"a", "b"}));
       }},
      {{"sync", "--index", "c", "--no-prune"}, {{"KESTRO_INDEX", "a,b"}}, [](const Args& a) {
         auto& s = get_as<CliCommand::Sync>(a.command.command);
         EXPECT_EQ(s.resolution.index, (std::vector<std::string>{"c"}));
         EXPECT_TRUE(s.no_prune);
       }},
      {{"lock", "--default-index", "x", "y", "--include-std"}, {}, [](const Args& a) {
         auto& l = get_as<CliCommand::Lock>(a.command.command);
         EXPECT_EQ(l.resolution.default_index, (std::vector<std::string>{"x", "y"}));
         EXPECT_TRUE(l.resolution.include_std);
       }},
      {{"add", "acme/widgets"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Add>(a.command.command);
         ASSERT_TRUE(r.locator.iri);
         EXPECT_EQ(r.locator.iri->as_str(), "pkg:kestro/acme/widgets");
         EXPECT_FALSE(r.locator.path);
         ASSERT_TRUE(r.source);
         EXPECT_EQ(*r.source, ProjectSourceOptions{});
       }},
      {{"add", "https://example.com/p", "^1.2", "--no-lock", "--as-remote-git", "https://example.com/p.git"}, {},
       [](const Args& a) {
         auto& r = get_as<CliCommand::Add>(a.command.command);
         EXPECT_EQ(r.locator.iri->as_str(), "https://example.com/p");
         EXPECT_EQ(r.version_constraint, "^1.2");
         EXPECT_TRUE(r.no_lock);
         EXPECT_FALSE(r.no_sync);
         EXPECT_EQ(r.source->as_remote_git->as_str(), "https://example.com/p.git");
       }},
      {{"add", "x:y/z", "--index", "i1", "i2"}, {}, [](const Args& a) {
         // Words after `--index` are indexes, not the version constraint;
         // `x:y/z` is an IRI before it is shorthand.
         auto& r = get_as<CliCommand::Add>(a.command.command);
         EXPECT_EQ(r.locator.iri->as_str(), "x:y/z");
         EXPECT_EQ(r.resolution.index, (std::vector<std::string>{"i1", "i2"}));
         EXPECT_FALSE(r.version_constraint);
       }},
      {{"rm", "acme/widgets"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Remove>(a.command.command);
         EXPECT_EQ(r.locator.iri->as_str(), "pkg:kestro/acme/widgets");
       }},
      {{"remove", "-p", "../lib"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Remove>(a.command.command);
         EXPECT_EQ(r.locator.path, "../lib");
         EXPECT_FALSE(r.locator.iri);
       }},
      {{"info", "--url", "https://example.com/x", "--no-normalize"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Info>(a.command.command);
         EXPECT_EQ(r.iri->as_str(), "https://example.com/x");
         EXPECT_TRUE(r.no_normalise);
         EXPECT_FALSE(r.command);
       }},
      {{"info", "--iri", "https://example.com/x"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Info>(a.command.command);
         EXPECT_EQ(r.iri->as_str(), "https://example.com/x");
         EXPECT_FALSE(r.no_normalise);
       }},
      {{"info", "name", "--include-std"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Info>(a.command.command);
         EXPECT_TRUE(r.resolution.include_std);
         ASSERT_TRUE(r.command);
         EXPECT_FALSE(get_as<InfoCommand::Name>(r.command->command).set);
       }},
      {{"publish", "--index", "https://example.com/index/", "--trusted-publishing", "false"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Publish>(a.command.command);
         EXPECT_EQ(r.trusted_publishing, TrustedPublishingMode::Never);
       }},
      {{"publish", "--index=https://example.com/index/"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Publish>(a.command.command);
         EXPECT_EQ(r.trusted_publishing, TrustedPublishingMode::Auto);
       }},
      {{"init", "dir", "--publisher", "Acme", "--version", "1.0.0", "--no-semver", "--licence", "MIT"}, {},
       [](const Args& a) {
         auto& r = get_as<CliCommand::Init>(a.command.command);
         EXPECT_EQ(r.path, "dir");
         EXPECT_EQ(r.publisher, "Acme");
         EXPECT_EQ(r.version, "1.0.0");
         EXPECT_TRUE(r.no_semver);
         EXPECT_EQ(r.license, "MIT");
       }},
      {{"new", "--name", "x", "--help"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::New>(a.command.command);
         EXPECT_EQ(r.args, (std::vector<std::string>{"--name", "x", "--help"}));
       }},
      {{"include", "a.sysml", "--compute-checksum", "b.sysml", "c.kerml"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Include>(a.command.command);
         EXPECT_EQ(r.paths, (std::vector<std::string>{"a.sysml", "b.sysml", "c.kerml"}));
         EXPECT_TRUE(r.compute_checksum);
       }},
      {{"include"}, {}, [](const Args& a) {
         EXPECT_TRUE(get_as<CliCommand::Include>(a.command.command).paths.empty());
       }},
      {{"clone", "-V", "1.2.3", "-t", "dest", "--uri", "https://example.com/p"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Clone>(a.command.command);
         EXPECT_EQ(r.version, "1.2.3");
         EXPECT_EQ(r.target, "dest");
         EXPECT_EQ(r.locator.iri->as_str(), "https://example.com/p");
       }},
      {{"clone", "somedir"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Clone>(a.command.command);
         EXPECT_EQ(r.locator.auto_location, "somedir");
         EXPECT_FALSE(r.locator.iri || r.locator.path);
       }},
      {{"env"}, {}, [](const Args& a) {
         EXPECT_FALSE(get_as<CliCommand::Env>(a.command.command).command);
       }},
      {{"env", "install", "pkg:kestro/a/b", "1.0", "--path", "p", "--no-deps", "--allow-multiple"}, {},
       [](const Args& a) {
         auto& e = get_as<CliCommand::Env>(a.command.command);
         auto& i = get_as<EnvCommand::Install>(e.command->command);
         EXPECT_EQ(i.version, "1.0");
         EXPECT_EQ(i.path, "p");
         EXPECT_EQ(i.install, (InstallOptions{false, true, true}));
       }},
      {{"env", "sources", "pkg:kestro/a/b", "1.2"}, {}, [](const Args& a) {
         auto& e = get_as<CliCommand::Env>(a.command.command);
         auto& s = get_as<EnvCommand::Sources>(e.command->command);
         ASSERT_TRUE(s.version);
         EXPECT_EQ(s.sources.deps, DependencySources::Deps);
       }},
      {{"sources", "--deps", "none", "--only-deps"}, {}, [](const Args& a) {
         auto& s = get_as<CliCommand::Sources>(a.command.command);
         EXPECT_EQ(s.sources, (SourcesOptions{DependencySources::None, true}));
       }},
      {{"auth", "login", "https://example.com/i/", "--token-stdin"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Auth>(a.command.command);
         EXPECT_EQ(get_as<AuthCommand::Login>(r.command.command),
                   (AuthCommand::Login{"https://example.com/i/", true}));
       }},
      {{"index", "remove", "x", "--project"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Index>(a.command.command);
         auto& rm = get_as<IndexCommand::Remove>(r.command.command);
         EXPECT_TRUE(rm.target.project);
         EXPECT_FALSE(rm.target.version);
       }},
      {{"index", "add", "--kpar-path", "k.kpar", "not an iri"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Index>(a.command.command);
         EXPECT_EQ(get_as<IndexCommand::Add>(r.command.command).iri, "not an iri");
       }},
      {{"experimental", "add", "--kpar-path", "a.kpar", "--no-lock"}, {}, [](const Args& a) {
         auto& r = get_as<CliCommand::Experimental>(a.command.command);
         auto& add = get_as<ExperimentalCommand::Add>(r.command.command);
         EXPECT_EQ(add.locator.kpar_path, "a.kpar");
         EXPECT_TRUE(add.no_lock);
         EXPECT_FALSE(add.no_sync);
       }},
      {{"print-root", "--quiet"}, {{"KESTRO_CONFIG_FILE", "env.toml"}}, [](const Args& a) {
         EXPECT_TRUE(std::holds_alternative<CliCommand::PrintRoot>(a.command.command));
         EXPECT_TRUE(a.global.quiet);
         EXPECT_EQ(a.global.config_file, "env.toml");
       }},
      {{"--config-file", "cli.toml", "sync", "-v"}, {{"KESTRO_CONFIG_FILE", "env.toml"}, {"KESTRO_NO_CONFIG", "true"}},
       [](const Args& a) {
         EXPECT_EQ(a.global.config_file, "cli.toml");
         EXPECT_TRUE(a.global.verbose);
         EXPECT_TRUE(a.global.no_config);
         EXPECT_FALSE(a.global.help);
         EXPECT_FALSE(a.version);
       }},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const auto& w : c.words) label += w + " ";
    auto got = parse(c.words, c.env);
    ASSERT_TRUE(got) << label << "\n" << plain_error(got);
    c.check(*got);
  }
}

TEST(CliRecords, ValueRefusals) {
  struct Case {
    std::vector<std::string> words;
    std::string contains;
  } cases[] = {
      {{"add", "./some/dir"}, "\nhint: if you wanted to use a path, use `--path` instead"},
      {{"add", "acme/Widgets"}, "can be normalized to `pkg:kestro/acme/widgets`"},
      {{"add", "a/b/c"}, "hint:"},
      {{"sync", "--index", "a", "--no-index"}, "cannot be used together with"},
      {{"sync", "--index", "--no-index"}, "cannot be used together with"},
      {{"publish", "--index", "https://example.com/", "--trusted-publishing", "False"}, "auto, always, never"},
      {{"info", "metamodel", "--set", "sysml", "--release-custom", "4294967296"}, "is not in 0..=4294967295"},
      {{"info", "topic", "--remove", "-1"}, "--remove <REMOVE>"},
      {{"info", "topic", "--remove", "two"}, "--remove <REMOVE>"},
      {{"info", "topic", "--remove", "18446744073709551616"}, "exceeds"},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const auto& w : c.words) label += w + " ";
    auto got = parse(c.words);
    ASSERT_FALSE(got) << label;
    EXPECT_EQ(got.error().exit_code(), 2) << label;
    std::string text = strip_styles(got.error().text());
    EXPECT_NE(text.find(c.contains), std::string::npos) << label << "\n" << text;
  }
  // The usage-IRI hint is styled apart from the message.
  std::string styled = parse({"add", "./some/dir"}).error().text();
  EXPECT_NE(styled.find("\x1b[1m\x1b[32mhint:\x1b[0m"), std::string::npos) << styled;
  // A value from the variable counts as given, so it conflicts as well.
  EXPECT_FALSE(parse({"sync", "--no-index"}, {{"KESTRO_INDEX", "a"}}));
  EXPECT_TRUE(parse({"sync", "--no-index"}));
}

TEST(CliRefusals, EveryRefusalNamesItsOptionWithItsMessage) {
  struct Case {
    const char* sub;
    const char* option;  // as the error names it
    const char* message;
  } cases[] = {
      {"name", "--clear", "`name` cannot be unset"},
      {"name", "--add <ADD>", "`name` is not a list, consider using `kestro info name --set`?"},
      {"name", "--remove <REMOVE>", "`name` is not a list, and cannot be unset"},
      {"publisher", "--clear", "`publisher` cannot be unset"},
      {"publisher", "--add <ADD>", "`publisher` is not a list, consider using `kestro info publisher --set`?"},
      {"publisher", "--remove <REMOVE>", "`publisher` is not a list, and cannot be unset"},
      {"description", "--add <ADD>", "`description` is not a list, consider using `kestro info description --set`?"},
      {"description", "--remove <REMOVE>",
       "`description` is not a list, consider using `kestro info description --clear`?"},
      {"version", "--clear", "`version` cannot be unset"},
      {"version", "--add <ADD>", "`version` is not a list, consider using `kestro info version --set`?"},
      {"version", "--remove <REMOVE>", "`version` is not a list, and cannot be unset"},
      {"license", "--add <ADD>", "`license` is not a list, consider using `kestro info license --set`?"},
      {"license", "--remove <REMOVE>", "`license` is not a list, consider using `kestro info license --clear`?"},
      {"website", "--add <ADD>", "`website` is not a list, consider using `kestro info website --set`?"},
      {"website", "--remove <REMOVE>", "`website` is not a list, consider using `kestro info website --clear`?"},
      {"usage", "--set <SET>", "`usage` cannot be set directly, please use `kestro add` and `kestro remove`"},
      {"usage", "--clear", "`usage` cannot be cleared directly, please use `kestro remove`"},
      {"usage", "--add <ADD>", "`usage` cannot be added to directly, please use `kestro add`"},
      {"usage", "--remove <REMOVE>", "`usage` cannot be removed from directly, please use `kestro remove`"},
      {"index", "--set <SET>", "`index` cannot be set directly, please use `kestro include` and `kestro exclude`"},
      {"index", "--clear", "`index` cannot be cleared directly, please use `kestro exclude`"},
      {"index", "--add <ADD>",
       "`index` cannot be added to directly, please use `kestro include` and `kestro exclude`"},
      {"index", "--remove <REMOVE>", "`index` cannot be removed from directly, please use `kestro exclude`"},
      {"created", "--set <SET>", "`created` cannot be set directly, it is automatically updated"},
      {"created", "--clear", "`created` cannot be cleared, it is automatically updated"},
      {"created", "--add <ADD>", "`created` cannot be added to, it is automatically updated"},
      {"created", "--remove <REMOVE>", "`created` cannot be removed from, it is automatically updated"},
      {"metamodel", "--add <ADD>", "`metamodel` is not a list, consider using `kestro info metamodel --set`?"},
      {"metamodel", "--remove <REMOVE>",
       "`metamodel` is not a list, consider using `kestro info metamodel --clear`?"},
      {"includes-derived", "--add <ADD>",
       "`include_derived` is not a list, consider using `kestro info includes-derived --set`?"},
      {"includes-derived", "--remove <REMOVE>",
       "`include_derived` is not a list, consider using `kestro info includes-derived --clear`?"},
      {"includes-implied", "--add <ADD>",
       "`include_implied` is not a list, consider using `kestro info includes-implied --set`?"},
      {"includes-implied", "--remove <REMOVE>",
       "`include_implied` is not a list, consider using `kestro info includes-implied --clear`?"},
      {"checksum", "--set <SET>",
       "`checksum` cannot be set directly, please use `kestro include` and `kestro exclude`"},
      {"checksum", "--clear", "`checksum` cannot be cleared directly, please use `kestro exclude`"},
      {"checksum", "--add <ADD>", "`checksum` cannot be added to directly, please use `kestro include`"},
      {"checksum", "--remove <REMOVE>", "`checksum` cannot be removed from directly, please use `kestro exclude`"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"info", c.sub};
    std::string option = c.option;
    auto space = option.find(' ');
    words.push_back(option.substr(0, space));
    if (space != std::string::npos) words.push_back("x");
    auto got = parse(words);
    ASSERT_FALSE(got) << c.sub << " " << c.option;
    EXPECT_EQ(got.error().kind(), ErrorKind::UnknownArgument) << c.sub << " " << c.option;
    std::string text = strip_styles(got.error().text());
    EXPECT_TRUE(text.starts_with(std::string("error: ") + c.option + " is not accepted here\n\n  tip: " + c.message +
                                 "\n"))
        << text;
    // Refusals are hidden from the field's help.
    std::string help = strip_styles(parse({"info", c.sub, "--help"}).error().text());
    EXPECT_EQ(help.find(option.substr(0, space) + " "), std::string::npos) << help;
  }
  // A refusal fails while the words are read, before the constraints.
  auto got = parse({"info", "name", "--set", "Foo", "--clear"});
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().kind(), ErrorKind::UnknownArgument);
  EXPECT_NE(strip_styles(got.error().text()).find("`name` cannot be unset"), std::string::npos);
}

InfoFieldEdit edit_of(std::vector<std::string> words, bool* numbered = nullptr) {
  words.insert(words.begin(), "info");
  auto got = parse(words);
  if (!got) throw std::runtime_error(plain_error(got));
  auto& info = std::get<CliCommand::Info>(got->command.command);
  if (numbered) *numbered = info_field_numbered(*info.command);
  return info_field_edit(std::move(*info.command));
}

TEST(CliInfoEdits, RecordsBecomeEdits) {
  using E = InfoFieldEdit;
  using FV = FieldValue;
  struct Case {
    std::vector<std::string> words;
    InfoFieldEdit edit;
    bool numbered;
  } cases[] = {
      {{"name", "--set", "Foo"}, E{E::Set{FV{FV::Name{"Foo"}}}}, false},
      {{"name"}, E{E::Get{InfoField::Name}}, false},
      {{"version", "--set", "1.2.3", "--no-semver"}, E{E::Set{FV{FV::Version{"1.2.3"}}}}, false},
      {{"licence", "--clear"}, E{E::Clear{ClearableField::License}}, false},
      {{"description", "--clear"}, E{E::Clear{ClearableField::Description}}, false},
      {{"maintainer", "--add", "a"}, E{E::Add{ListField::Maintainer, {"a"}}}, false},
      {{"maintainer", "--set", "Bob"}, E{E::Set{FV{FV::Maintainer{{"Bob"}}}}}, false},
      {{"maintainer", "--numbered"}, E{E::Get{InfoField::Maintainer}}, true},
      {{"topic", "--remove", "2"}, E{E::Remove{ListField::Topic, 2}}, false},
      {{"topic", "--remove", "0"}, E{E::Remove{ListField::Topic, 0}}, false},
      {{"usage", "--numbered"}, E{E::Get{InfoField::Usage}}, true},
      {{"created"}, E{E::Get{MetaField::Created}}, false},
      {{"checksum", "--numbered"}, E{E::Get{MetaField::Checksum}}, true},
      {{"website", "--set", "example.com"}, E{E::Set{FV{FV::Website{"https://example.com"}}}}, false},
      {{"website", "--set", "example.com:8080"}, E{E::Set{FV{FV::Website{"example.com:8080"}}}}, false},
      {{"metamodel", "--set", "sysml"},
       E{E::Set{FV{FV::Metamodel{"https://www.omg.org/spec/SysML/20250201"}}}}, false},
      {{"metamodel", "--set", "kerml", "--release-custom", "1"},
       E{E::Set{FV{FV::Metamodel{"https://www.omg.org/spec/KerML/1"}}}}, false},
      {{"metamodel", "--set", "kerml", "--release-custom", "4294967295"},
       E{E::Set{FV{FV::Metamodel{"https://www.omg.org/spec/KerML/4294967295"}}}}, false},
      {{"metamodel", "--set-custom", "x"}, E{E::Set{FV{FV::Metamodel{"x"}}}}, false},
      {{"metamodel", "--clear"}, E{E::Clear{ClearableField::Metamodel}}, false},
      {{"metamodel"}, E{E::Get{MetaField::Metamodel}}, false},
      {{"includes-implied", "--set", "false"}, E{E::Set{FV{FV::IncludesImplied{false}}}}, false},
      {{"includes-derived", "--set", "true"}, E{E::Set{FV{FV::IncludesDerived{true}}}}, false},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const auto& w : c.words) label += w + " ";
    bool numbered = !c.numbered;
    EXPECT_EQ(edit_of(c.words, &numbered), c.edit) << label;
    EXPECT_EQ(numbered, c.numbered) << label;
  }
  auto sysml = std::get<FV::Metamodel>(
      std::get<E::Set>(edit_of({"metamodel", "--set", "sysml"}).edit).value.value);
  EXPECT_EQ(sysml.value.size(), 39u);
  auto kerml = std::get<FV::Metamodel>(
      std::get<E::Set>(edit_of({"metamodel", "--set", "kerml", "--release-custom", "1"}).edit).value.value);
  EXPECT_EQ(kerml.value.size(), 32u);
  // A record the parser never yields is an internal fault.
  EXPECT_THROW(list_field_edit(ListField::Topic, "a", true, std::nullopt, std::nullopt), InternalError);
  EXPECT_THROW(info_field_edit(InfoCommand{InfoCommand::Description{"x", true}}), InternalError);
}

TEST(CliInfoEdits, FieldConstraints) {
  for (std::vector<std::string> words : std::vector<std::vector<std::string>>{
           {"info", "description", "--set", "a", "--clear"},
           {"info", "maintainer", "--add", "a", "--numbered"},
           {"info", "version", "--no-semver"},
           {"info", "license", "--no-spdx"},
           {"info", "metamodel", "--release-custom", "1"},
           {"info", "metamodel", "--release", "20250201"},
           {"info", "metamodel", "--set", "sysml", "--release", "20250201", "--release-custom", "1"},
           {"info", "metamodel", "--set", "sysml", "--set-custom", "x"},
           {"info", "metamodel", "--clear", "--set-custom", "x"},
           {"info", "includes-derived", "--set", "yes"},
           {"info", "includes-derived", "--set"},
           {"info", "created", "--numbered"},
       }) {
    std::string label;
    for (const auto& w : words) label += w + " ";
    auto got = parse(words);
    ASSERT_FALSE(got) << label;
    EXPECT_EQ(got.error().exit_code(), 2) << label;
  }
}

TEST(CliHelp, ShownAndHiddenNames) {
  auto help = [](std::vector<std::string> words) {
    words.push_back("--help");
    auto got = parse(words);
    EXPECT_FALSE(got);
    EXPECT_EQ(got.error().kind(), ErrorKind::DisplayHelp);
    return strip_styles(got.error().text());
  };
  std::string top = help({});
  EXPECT_EQ(top.find("\n  new "), std::string::npos) << top;
  EXPECT_EQ(top.find("\n  rm "), std::string::npos) << top;
  EXPECT_EQ(top.find("aliases: rm"), std::string::npos) << top;
  EXPECT_NE(top.find("\n  print-root "), std::string::npos) << top;
  std::string init = help({"init"});
  EXPECT_EQ(init.find("licence"), std::string::npos) << init;
  EXPECT_NE(init.find("--license <LICENSE>"), std::string::npos) << init;
  std::string publish = help({"publish"});
  EXPECT_EQ(publish.find("false"), std::string::npos) << publish;
  EXPECT_NE(publish.find("- never: Disable trusted publishing"), std::string::npos) << publish;
  std::string info = help({"info"});
  for (const char* shown : {"licence", "--uri", "--url", "--no-normalize", "Resolution options:"})
    EXPECT_NE(info.find(shown), std::string::npos) << shown << "\n" << info;
  std::string add = help({"add"});
  EXPECT_NE(add.find("Deprecation notice: using this flag makes the project not portable"), std::string::npos) << add;
  EXPECT_NE(add.find("[env: KESTRO_INDEX]"), std::string::npos) << add;
  for (std::vector<std::string> path : std::vector<std::vector<std::string>>{
           {}, {"init"}, {"add"}, {"env", "install"}, {"info", "metamodel"}, {"auth", "login"}, {"experimental", "add"},
           {"index", "remove"}, {"print-root"}}) {
    std::string text = help(path);
    EXPECT_NE(text.find("Global options:\n"), std::string::npos) << text;
    EXPECT_NE(text.find("-h, --help"), std::string::npos) << text;
  }
  // Options from further up the tree come last.
  std::string metamodel = help({"info", "metamodel"});
  EXPECT_LT(metamodel.find("Resolution options:"), metamodel.find("Global options:")) << metamodel;
  std::string install = help({"env", "install"});
  EXPECT_NE(install.find("Usage: kestro env install [OPTIONS] <IRI> [VERSION]"), std::string::npos) << install;
  EXPECT_NE(help({"new"}).find("Usage: kestro new [OPTIONS] [ARGS]..."), std::string::npos);
}

TEST(CliHelp, LongHelpForTheHost) {
  EnvScope scope({});
  auto text = [](std::vector<std::string> words) {
    words.insert(words.begin(), "kestro");
    auto got = render_long_help(words);
    return std::holds_alternative<std::string>(got) ? std::get<std::string>(got) : std::string("<matches>");
  };
  std::vector<std::vector<std::string>> lists = {
      {"add", "--help"}, {"--help"}, {"frob", "--help"}, {"new", "--help"}, {"env", "install", "--help"},
      {"-V"},          {"info", "metamodel", "--help"}, {"sync", "--bogus"}, {"new", "x", "--help"}};
  for (const auto& words : lists) EXPECT_EQ(text(words).find('\x1b'), std::string::npos);
  EXPECT_EQ(text({"-V"}), "kestro 0.2.1\n");
  EXPECT_NE(text({"frob", "--help"}).find("`frob`"), std::string::npos);
  EXPECT_EQ(text({"new", "x", "--help"}), "<matches>");
  auto chain = render_long_help(std::vector<std::string>{"kestro", "new", "x", "--help"});
  EXPECT_EQ(std::get<std::vector<std::string>>(chain), std::vector<std::string>{"new"});

  std::vector<std::string> none;
  std::string top = host_long_help("kestro", none);
  EXPECT_TRUE(top.ends_with("kestro v0.2.1\nDeveloped by: Quellgard <kestro@quellgard.dev>\n")) << top;
  std::vector<std::string> new_x = {"new", "x"};
  std::string new_help = host_long_help("kestro", new_x);
  EXPECT_NE(new_help.find("Usage: kestro new"), std::string::npos) << new_help;
  std::vector<std::string> env_install = {"env", "install"};
  EXPECT_NE(host_long_help("/opt/bin/kestro", env_install).find("Usage: kestro env install"), std::string::npos);
}

TEST(CliReaders, GuardTexts) {
  EnvScope scope({});
  Command command = build_cli_command();
  // A parse result without a subcommand, handed to the reader directly.
  ArgMatches empty(&command);
  auto no_sub = CliCommand::from_arg_matches(empty);
  ASSERT_FALSE(no_sub);
  EXPECT_EQ(no_sub.error().kind(), ErrorKind::MissingSubcommand);
  EXPECT_EQ(no_sub.error().text(), "a subcommand is required but one was not provided");
  // `init` matches that lack `publisher`.
  std::vector<std::string> words = {"kestro", "init", "--publisher", "p"};
  auto parsed = parse_args(command, words);
  ASSERT_TRUE(parsed);
  parsed->subcommand()->matches->remove_one<std::string>("publisher");
  auto init = CliCommand::from_arg_matches(*parsed);
  ASSERT_FALSE(init);
  EXPECT_EQ(init.error().kind(), ErrorKind::MissingRequiredArgument);
  EXPECT_EQ(init.error().text(), "the following required argument was not provided: publisher");
  // The parse entry formats such a failure against a fresh command.
  ParseError formatted = format_error(command, "kestro", init.error().kind(), init.error().text());
  EXPECT_TRUE(strip_styles(formatted.text()).starts_with(
      "error: the following required argument was not provided: publisher\n\nUsage: kestro [OPTIONS] <COMMAND>"))
      << formatted.text();
  EXPECT_FALSE(InfoCommand::has_subcommand("help"));
  EXPECT_TRUE(InfoCommand::has_subcommand("includes-implied"));
  EXPECT_FALSE(EnvCommand::has_subcommand("help"));
}

}  // namespace
}  // namespace kestro::cli
