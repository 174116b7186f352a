#include "kestro/model/config.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_write.hpp"
#include "test_support.hpp"

namespace kestro::model {
namespace {

using Kind = OverrideSource::Kind;

std::string reason(std::string_view text) {
  auto config = parse_config_toml(text);
  return config ? "ok" : config.error().reason();
}

TEST(ConfigParse, Documents) {
  auto empty = parse_config_toml("");
  ASSERT_TRUE(empty);
  EXPECT_EQ(*empty, Config{});
  auto other = parse_config_toml("title = 'x'\n[tool]\nindex = 5\n[other.project]\n");
  ASSERT_TRUE(other);
  EXPECT_EQ(*other, Config{});

  auto full = parse_config_toml(R"(
[[index]]
url = "https://a.example/"

[[index]]
name = "b"
url = "https://b.example/"
default = false
extra = 1267650600228229401496703205376  # 2^100 under a passed-over key

[[project]]

[[project]]
identifiers = ["pkg:kestro/a/b", "pkg:kestro/a/b"]
comment = "passed over"
sources = [{ editable = "../b" }, { kpar_path = 'C:\b.kpar', kpar_size = 3 }]

[[project]]
[[project.sources]]
remote_git = "https://git.example/b.git"
)");
  ASSERT_TRUE(full) << full.error().message();
  EXPECT_EQ(full->index, (std::vector<Index>{{std::nullopt, "https://a.example/", std::nullopt},
                                             {"b", "https://b.example/", false}}));
  ASSERT_EQ(full->project.size(), 3u);
  EXPECT_EQ(full->project[0], ConfigProject{});
  EXPECT_EQ(full->project[1].identifiers, (std::vector<std::string>{"pkg:kestro/a/b", "pkg:kestro/a/b"}));
  EXPECT_EQ(full->project[1].sources,
            (std::vector<OverrideSource>{{Kind::Editable, "../b"}, {Kind::LocalKpar, "C:\\b.kpar"}}));
  // Sources written as an array of tables read as the inline tables would.
  EXPECT_EQ(full->project[2].sources, (std::vector<OverrideSource>{{Kind::RemoteGit, "https://git.example/b.git"}}));
}

TEST(ConfigParse, ArrayForms) {
  auto three = parse_config_toml("index = [[\"n\", \"https://u/\", true]]");
  ASSERT_TRUE(three);
  EXPECT_EQ(three->index, (std::vector<Index>{{"n", "https://u/", true}}));
  auto none = parse_config_toml("index = []\nproject = []");
  ASSERT_TRUE(none);
  EXPECT_EQ(*none, Config{});
  auto projects = parse_config_toml(
      "project = [[[\"a\"], [{ src_path = \"x\" }]], [[\"b\"]], [], 1979-05-27]");
  ASSERT_TRUE(projects);
  EXPECT_EQ(projects->project, (std::vector<ConfigProject>{{{"a"}, {{Kind::LocalSrc, "x"}}}, {{"b"}, {}}, {}, {}}));
}

TEST(ConfigParse, Failures) {
  struct Case {
    std::string_view input;
    std::string_view reason;
  } cases[] = {
      {"[[index]]\nname = \"x\"", "missing field `url`"},
      {"[[index]]\nURL = \"x\"", "missing field `url`"},
      {"[[index]]\nurl = \"x\"\ndefault = \"yes\"", "invalid type: string \"yes\", expected a boolean"},
      {"[[index]]\nurl = 5", "invalid type: integer `5`, expected a string"},
      {"[[index]]\nurl = \"x\"\nname = 1979-05-27", "invalid type: map, expected a string"},
      {"index = [[\"n\", \"u\"]]", "invalid length 2, expected struct Index with 3 elements"},
      {"index = [[\"n\", \"u\", \"yes\"]]", "invalid type: string \"yes\", expected a boolean"},
      {"index = [1979-05-27]", "missing field `url`"},
      {"[index]\nurl = \"x\"", "invalid type: map, expected a sequence"},
      {"index = \"x\"", "invalid type: string \"x\", expected a sequence"},
      {"index = [\"x\"]", "invalid type: string \"x\", expected struct Index"},
      {"project = [5]", "invalid type: integer `5`, expected struct ConfigProject"},
      {"project = [true]", "invalid type: boolean `true`, expected struct ConfigProject"},
      {"[[project]]\nidentifiers = \"a\"", "invalid type: string \"a\", expected a sequence"},
      {"[[project]]\nidentifiers = [\"a\", 1.5]", "invalid type: floating point `1.5`, expected a string"},
      {"[[project]]\nsources = [{ index_kpar = \"x\" }]", "data did not match any variant of untagged enum OverrideSource"},
      {"other = 1606938044258990275541962092341162602522202993782792835301376", "integer number overflowed"},
      {"[[index]]\nurl = \"x\"\nextra = 1e999", "floating-point number overflowed"},
      {"a = 1\na = 2", "duplicate key `a`"},
  };
  for (const auto& c : cases) EXPECT_EQ(reason(c.input), c.reason) << c.input;
}

// (The caret line for a wrongly typed value is checked with the file name in
// ConfigLoad.TomlErrorNamesTheFile.)
TEST(ConfigParse, ErrorTextPointsAtTheRecord) {
  auto no_url = parse_config_toml("[[index]]\nname = \"x\"\n");
  ASSERT_FALSE(no_url);
  EXPECT_EQ(no_url.error().message(),
            "TOML parse error at line 1, column 1\n  |\n1 | [[index]]\n  | ^^^^^^^^^\nmissing field `url`\n");
  auto short_index = parse_config_toml("index = [\n  [\"n\", \"u\"],\n]\n");
  ASSERT_FALSE(short_index);
  EXPECT_EQ(short_index.error().message(),
            "TOML parse error at line 2, column 3\n  |\n2 |   [\"n\", \"u\"],\n  |   ^^^^^^^^^^\n"
            "invalid length 2, expected struct Index with 3 elements\n");
  // A table that is only implied has no text to point at: its keys are named.
  auto implied = parse_config_toml("[index.mirror]\nurl = \"x\"\n");
  ASSERT_FALSE(implied);
  EXPECT_EQ(implied.error().message(), "invalid type: map, expected a sequence\nin `index`\n");
}

TEST(ConfigLoad, MissingDirectoryAndUnreadable) {
  TempDir dir;
  EXPECT_EQ(load_config_file(dir.path() / "kestro.toml"), Config{});
  std::filesystem::create_directory(dir.path() / "kestro.toml");
  EXPECT_EQ(load_config_file(dir.path() / "kestro.toml"), Config{});

  write_text(dir.path() / "latin1.toml", "name = \"caf\xE9\"\n");
  auto latin1 = load_config_file(dir.path() / "latin1.toml");
  ASSERT_FALSE(latin1);
  ASSERT_NE(latin1.error().io(), nullptr);
  EXPECT_EQ(display_config_load_error(latin1.error()),
            "failed to read file\n  `" + (dir.path() / "latin1.toml").string() +
                "`:\n  stream did not contain valid UTF-8");
  EXPECT_EQ(latin1.error().cause(), nullptr);

  write_text(dir.path() / "file", "");
  auto not_dir = load_config_file(dir.path() / "file" / "kestro.toml");
  ASSERT_FALSE(not_dir);
  EXPECT_EQ(not_dir.error().message(), "failed to get metadata to determine if\n  `" +
                                           (dir.path() / "file" / "kestro.toml").string() +
                                           "` is a regular file:\n  Not a directory (os error 20)");
}

TEST(ConfigLoad, TomlErrorNamesTheFile) {
  TempDir dir;
  const auto path = dir.path() / "kestro.toml";
  write_text(path, "[[index]]\nurl = \"https://x/\"\ndefault = \"yes\"\n");
  auto loaded = load_config_file(path);
  ASSERT_FALSE(loaded);
  ASSERT_NE(loaded.error().toml(), nullptr);
  EXPECT_EQ(loaded.error().message(),
            "failed to deserialize TOML file `" + path.string() +
                "`: TOML parse error at line 3, column 11\n"
                "  |\n"
                "3 | default = \"yes\"\n"
                "  |           ^^^^^\n"
                "invalid type: string \"yes\", expected a boolean\n");
  EXPECT_EQ(loaded.error().cause(), nullptr);

  write_text(path, "[[index]]\nurl = \"https://x/\"\n[[project]]\nidentifiers = [\"i\"]\n");
  auto ok = load_config_file(path);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->index.size(), 1u);
  EXPECT_EQ(ok->project.size(), 1u);
}

TEST(ConfigMerge, AppendsInOrder) {
  Config a{{{std::nullopt, "a1", std::nullopt}}, {{{"p1"}, {}}}};
  Config b{{{std::nullopt, "b1", std::nullopt}, {std::nullopt, "b2", true}}, {{{"p1"}, {}}}};
  a.merge(std::move(b));
  ASSERT_EQ(a.index.size(), 3u);
  EXPECT_EQ(a.index[0].url, "a1");
  EXPECT_EQ(a.index[1].url, "b1");
  EXPECT_EQ(a.index[2].url, "b2");
  EXPECT_EQ(a.project.size(), 2u);
}

TEST(OverrideSourceRead, Kinds) {
  const std::string mismatch = "data did not match any variant of untagged enum OverrideSource";
  struct Case {
    std::string_view value;
    std::string expected;  // "kind:text" or the error reason
  } cases[] = {
      {"{ editable = \"\" }", "editable:"},
      {"{ src_path = \"../x\" }", "src_path:../x"},
      {"{ kpar_path = \"a.kpar\", kpar_size = 5, kpar_digest = \"d\" }", "kpar_path:a.kpar"},
      {"{ remote_kpar = \"https://x/a.kpar\" }", "remote_kpar:https://x/a.kpar"},
      {"{ remote_src = \"https://x/src\" }", "remote_src:https://x/src"},
      {"{ remote_git = \"https://x/r.git\" }", "remote_git:https://x/r.git"},
      {"{ src_path = \"a\", editable = \"b\" }", "editable:b"},
      {"{ editable = true, src_path = \"s\" }", "src_path:s"},
      {"{ editable = 2025-02-01, src_path = \"s\" }", "src_path:s"},
      {"{ editable = 2025-02-01 }", mismatch},
      {"{ index_kpar = \"x\" }", mismatch},
      {"{ Editable = \"x\" }", mismatch},
      {"{}", mismatch},
      {"\"x\"", mismatch},
      {"[\"x\"]", mismatch},
      {"5", mismatch},
      {"true", mismatch},
      {"2025-02-01", mismatch},
      {"{ editable = \"x\", n = 18446744073709551616 }", "integer number overflowed"},
  };
  for (const auto& c : cases) {
    auto doc = toml::parse("s = " + std::string(c.value));
    ASSERT_TRUE(doc) << c.value;
    auto source = deserialize_override_source(*doc, doc->get(doc->root(), "s"));
    std::string got = source ? std::string(OverrideSource::key(source->kind)) + ":" + source->text
                             : source.error().reason();
    EXPECT_EQ(got, c.expected) << c.value;
  }
}

TEST(OverrideSourceWrite, FormsAndRoundTrip) {
  struct Case {
    OverrideSource source;
    std::string_view text;
  } cases[] = {
      {{Kind::Editable, ""}, "{ editable = \"\" }"},
      {{Kind::LocalSrc, "../lib"}, "{ src_path = \"../lib\" }"},
      {{Kind::LocalSrc, "C:\\proj"}, "{ src_path = 'C:\\proj' }"},
      {{Kind::LocalKpar, "say \"x\".kpar"}, "{ kpar_path = 'say \"x\".kpar' }"},
      {{Kind::RemoteKpar, "a\nb"}, "{ remote_kpar = \"\"\"\na\nb\"\"\" }"},
      {{Kind::RemoteSrc, "it's \"q\""}, "{ remote_src = \"\"\"it's \"q\"\"\"\" }"},
      {{Kind::RemoteGit, "\\'\x01"}, "{ remote_git = \"\\\\'\\u0001\" }"},
  };
  for (const auto& c : cases) {
    const std::string text = toml::write_inline(override_source_to_toml(c.source));
    EXPECT_EQ(text, c.text);
    auto doc = toml::parse("s = " + text);
    ASSERT_TRUE(doc) << text;
    auto back = deserialize_override_source(*doc, doc->get(doc->root(), "s"));
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(*back, c.source);
  }
}

}  // namespace
}  // namespace kestro::model
