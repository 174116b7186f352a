#include "kestro/modeler/config.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config_test_support.hpp"
#include "test_support.hpp"

namespace kestro::modeler {
namespace {

namespace fs = std::filesystem;
using toml::Value;
using Strings = std::vector<std::string>;

fs::path write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

Value::Member member(std::string key, Value value) { return Value::Member{std::move(key), std::move(value)}; }

TEST(ReadConfigFile, ReadsTheListedKeys) {
  struct Case {
    std::string name;
    std::string text;
    PlovikConfig expected;
  };
  const std::vector<Case> cases = {
      {"empty file", "", {}},
      {"only unlisted keys", "other = 1\n[table]\nx = 'y'\n", {}},
      {"empty include is present", "include = []\n", config().include(Strings{})},
      {"lists in order",
       "include = ['b.sysml', 'a/**/*.sysml']\nexclude = ['z', 'a']\n",
       config().include(Strings{"b.sysml", "a/**/*.sysml"}).exclude(Strings{"z", "a"})},
      {"strings as written",
       "std = ' ../lib '\nkestro-dir = '.kestro'\n",
       config().std_dir(" ../lib ").kestro_dir(".kestro")},
      {"lsp without edit", "[lsp]\nother = 1\n", config().lsp(LspConfig{})},
      {"lsp with edit", "lsp = { edit = 'on' }\n", config().lsp(LspConfig{"on"})},
      {"byte-order mark", "\xEF\xBB\xBFstd = 'lib'\n", config().std_dir("lib")},
      {"viz ordered by key at every depth",
       "[viz]\nb = 1\n[viz.a]\ny = [{ d = 1, c = 2 }]\nx = 1979-05-27\n",
       config().viz(TomlTable{
            member("a", Value::table({member("x", Value::datetime({"1979-05-27", toml::DatetimeForm::LocalDate})),
                                      member("y", Value::array({Value::table({member("c", Value::integer(2)),
                                                                              member("d", Value::integer(1))})}))})),
            member("b", Value::integer(1))})},
  };
  TempDir tmp;
  for (const auto& c : cases) {
    const auto got = read_config_file(write_file(tmp.path() / "plovik.toml", c.text));
    ASSERT_TRUE(got.has_value()) << c.name << ": " << got.error().message();
    ASSERT_TRUE(got->has_value()) << c.name;
    EXPECT_EQ(**got, c.expected) << c.name;
  }
}

TEST(ReadConfigFile, AMissingFileIsNoFailure) {
  TempDir tmp;
  const auto got = read_config_file(tmp.path() / "plovik.toml");
  ASSERT_TRUE(got.has_value()) << got.error().message();
  EXPECT_FALSE(got->has_value());
}

TEST(ReadConfigFile, RefusesWrongTypesAndBadSyntax) {
  struct Case {
    std::string text;
    std::string reason;  // the last line of the reader's text
  };
  const std::vector<Case> cases = {
      {"include = 'a.sysml'\n", "invalid type: string \"a.sysml\", expected a sequence"},
      {"include = [1]\n", "invalid type: integer `1`, expected a string"},
      {"exclude = { a = 1 }\n", "invalid type: map, expected a sequence"},
      {"viz = [1]\n", "invalid type: sequence, expected a map"},
      {"std = 1\n", "invalid type: integer `1`, expected a string"},
      {"kestro-dir = true\n", "invalid type: boolean `true`, expected a string"},
      {"lsp = 'x'\n", "invalid type: string \"x\", expected struct LspConfig"},
      {"[lsp]\nedit = 1.5\n", "invalid type: floating point `1.5`, expected a string"},
      {"std = 'a'\nstd = 'b'\n", "duplicate key"},
      {"include = [\n", ""},
  };
  TempDir tmp;
  for (const auto& c : cases) {
    const fs::path path = write_file(tmp.path() / "plovik.toml", c.text);
    const auto got = read_config_file(path);
    ASSERT_FALSE(got.has_value()) << c.text;
    EXPECT_TRUE(got.error().holds<ConfigError::ParseFailed>()) << c.text;
    const std::string message = got.error().message();
    const std::string head = "failed to parse " + path.string() + ": TOML parse error at line ";
    EXPECT_EQ(message.substr(0, head.size()), head) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
}

TEST(ReadConfigFile, ReadFailuresAreNotParseFailures) {
  TempDir tmp;
  const fs::path bad = write_file(tmp.path() / "bad.toml", "std = '\xff'\n");
  const fs::path dir = tmp.path() / "dir.toml";
  fs::create_directory(dir);
  struct Case {
    fs::path path;
    std::string message;
  };
  const std::vector<Case> cases = {
      {bad, "failed to read " + bad.string() + ": stream did not contain valid UTF-8"},
      {dir, "failed to read " + dir.string() + ": Is a directory (os error 21)"},
  };
  for (const auto& c : cases) {
    const auto got = read_config_file(c.path);
    ASSERT_FALSE(got.has_value()) << c.path;
    EXPECT_TRUE(got.error().holds<ConfigError::ReadFailed>()) << c.path;
    EXPECT_EQ(got.error().message(), c.message);
  }
}

TEST(PlovikConfigMerge, FoldsTheLaterRecordKeyByKey) {
  const LspConfig no_edit{};
  struct Case {
    std::string name;
    PlovikConfig earlier;
    PlovikConfig later;
    PlovikConfig expected;
  };
  const std::vector<Case> cases = {
      {"include replaced, also by an empty list",
       config().include(Strings{"a"}),
       config().include(Strings{}),
       config().include(Strings{})},
      {"include kept when absent later", config().include(Strings{"a"}), {}, config().include(Strings{"a"})},
      {"exclude appended, duplicates kept",
       config().exclude(Strings{"a", "b"}),
       config().exclude(Strings{"b"}),
       config().exclude(Strings{"a", "b", "b"})},
      {"exclude from one side", {}, config().exclude(Strings{"b"}), config().exclude(Strings{"b"})},
      {"std and kestro-dir replaced",
       config().std_dir("a").kestro_dir("k"),
       config().std_dir("b"),
       config().std_dir("b").kestro_dir("k")},
      {"lsp taken whole", {}, config().lsp(no_edit), config().lsp(no_edit)},
      {"lsp edit kept when absent later", config().lsp(LspConfig{"a"}), config().lsp(no_edit), config().lsp(LspConfig{"a"})},
      {"lsp edit replaced", config().lsp(LspConfig{"a"}), config().lsp(LspConfig{"b"}), config().lsp(LspConfig{"b"})},
      {"viz from one side",
       config().viz(TomlTable{member("a", Value::integer(1))}),
       {},
       config().viz(TomlTable{member("a", Value::integer(1))})},
  };
  for (const auto& c : cases) {
    PlovikConfig merged = c.earlier;
    merged.merge(c.later);
    EXPECT_EQ(merged, c.expected) << c.name;
  }
}

TEST(MergeTomlTables, MergesTablesAtEveryDepthAndReplacesEverythingElse) {
  TomlTable base{
      member("a", Value::table({member("keep", Value::integer(1)), member("x", Value::string("old"))})),
      member("arr", Value::array({Value::integer(1), Value::integer(2)})),
      member("s", Value::string("scalar")),
      member("t", Value::table({member("k", Value::integer(1))})),
  };
  TomlTable overlay{
      member("a", Value::table({member("new", Value::boolean(true)), member("x", Value::string("new"))})),
      member("arr", Value::array({Value::integer(3)})),
      member("b", Value::integer(2)),
      member("s", Value::table({member("k", Value::integer(1))})),
      member("t", Value::string("now a string")),
  };
  merge_toml_tables(base, std::move(overlay));
  const TomlTable expected{
      member("a", Value::table({member("keep", Value::integer(1)), member("new", Value::boolean(true)),
                                member("x", Value::string("new"))})),
      member("arr", Value::array({Value::integer(3)})),
      member("b", Value::integer(2)),
      member("s", Value::table({member("k", Value::integer(1))})),
      member("t", Value::string("now a string")),
  };
  EXPECT_EQ(base, expected);
}

TEST(SoundnessTier, Words) {
  EXPECT_EQ(soundness_tier_text(SoundnessTier::Project), "project");
  EXPECT_EQ(soundness_tier_text(SoundnessTier::External), "external");
  EXPECT_EQ(soundness_tier_text(SoundnessTier::All), "all");
}

}  // namespace
}  // namespace kestro::modeler
